// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of CRiffReader: descents, the pad byte, chunk bounds, and positions after each step.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "stream/RiffReader.h"
#include "support/StreamVariants.h"
#include "support/TestFiles.h"

// Catches a descent that lands on the wrong byte, an ascent that forgets the pad byte, and a
// search that finds a chunk outside its parent or before the current position.
TEST(RiffReader, DescendsAscendsAndStaysInsideTheParent)
{
    CTempDir dir;
    // 0 RIFF size WAVE | 12 "odd " 3 AA BB CC pad | 24 "two " 2 11 22 | 34 "tail" 1 99 pad | 44 end
    const Bytes chunks = Concat({Chunk("odd ", {0xAA, 0xBB, 0xCC}), Chunk("two ", {0x11, 0x22}),
                                 Chunk("tail", {0x99})});
    // The RIFF's declared size stops before "tail", which lies outside it.
    const Bytes file = Concat({RawChunk("RIFF", 4 + 22, Concat({Bytes{'W', 'A', 'V', 'E'}})), chunks});
    CRiffReader reader;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> pFile(std::fopen(dir.Write("a.wav", file).c_str(), "rb"), std::fclose);
    ASSERT_NE(pFile, nullptr);
    reader.Attach(pFile.get());

    CRiffReader::Chunk riff;
    ASSERT_TRUE(reader.DescendRiff("WAVE", riff));
    EXPECT_EQ(riff.nDataOffset, 8);
    EXPECT_EQ(riff.nSize, 26);
    EXPECT_EQ(reader.Seek(0, SEEK_CUR), 12);

    CRiffReader::Chunk odd;
    ASSERT_TRUE(reader.DescendChunk(riff, "odd ", odd));
    EXPECT_EQ(odd.nSize, 3);
    EXPECT_EQ(reader.Seek(0, SEEK_CUR), 20);
    uint8_t bytes[3];
    ASSERT_EQ(reader.Read(bytes, 3), 3);
    EXPECT_EQ(Bytes(bytes, bytes + 3), (Bytes{0xAA, 0xBB, 0xCC}));
    ASSERT_TRUE(reader.Ascend(odd));
    EXPECT_EQ(reader.Seek(0, SEEK_CUR), 24);  // past the pad byte

    CRiffReader::Chunk found;
    EXPECT_FALSE(reader.DescendChunk(riff, "tail", found));
    // "odd " lies behind the current position.
    ASSERT_EQ(reader.Seek(24, SEEK_SET), 24);
    EXPECT_FALSE(reader.DescendChunk(riff, "odd ", found));
    ASSERT_EQ(reader.Seek(24, SEEK_SET), 24);
    ASSERT_TRUE(reader.DescendChunk(riff, "two ", found));
    EXPECT_EQ(found.nDataOffset, 32);

    // Read at the end gives 0; a seek before the start fails.
    ASSERT_EQ(reader.Seek(0, SEEK_END), static_cast<int64_t>(file.size()));
    EXPECT_EQ(reader.Read(bytes, 3), 0);
    EXPECT_EQ(reader.Seek(-1000, SEEK_CUR), -1);
}
