// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of CWaveSource: the walk to the data chunk, the sync scan, byte order, and hostile structure.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "dts/input/WaveSource.h"
#include "support/FileWaveSource.h"
#include "support/StreamVariants.h"
#include "support/TestFiles.h"

namespace {

// Everything the source hands out until it reports the end.
Bytes ReadAll(CWaveSource& source, int nChunk = 2048)
{
    Bytes all;
    Bytes block(static_cast<size_t>(nChunk));
    for (int nGuard = 0; nGuard < 100000; ++nGuard) {
        const int n = source.Read(block.data(), nChunk);
        if (n <= 0)
            break;
        all.insert(all.end(), block.begin(), block.begin() + n);
    }
    return all;
}

const Bytes kSync16Le = {0xFE, 0x7F, 0x01, 0x80};  // words 7FFE 8001
const Bytes kSync = {0x7F, 0xFE, 0x80, 0x01};

}  // namespace

// Catches a missing byte swap, a wrong 14-bit word order, and a wrong sync offset.
TEST(WaveSource, FindsTheSyncAndHandsOutBigEndianBytes)
{
    CTempDir dir;
    CFileWaveSource source;

    // FE 7F 01 80 | 34 12 | AB: 16-bit words, and a final odd byte (the file ends without the
    // pad byte) handed out as it is.
    const Bytes oddEnd = Riff("WAVE", Concat({Chunk("fmt ", PcmFormat()),
                                              RawChunk("data", 7, Concat({kSync16Le, Bytes{0x34, 0x12, 0xAB}}))}));
    ASSERT_TRUE(source.Open(dir.Write("a.wav", oddEnd)));
    EXPECT_EQ(source.GetSyncOffset(), 0);
    EXPECT_EQ(ReadAll(source), (Bytes{0x7F, 0xFE, 0x80, 0x01, 0x12, 0x34, 0xAB}));

    // FF 1F 00 E8 F0 07 FF 3F: little-endian 14-bit words 1FFF E800 07F0 3FFF.
    ASSERT_TRUE(source.Open(dir.Write("b.wav", WrapWave({0xFF, 0x1F, 0x00, 0xE8, 0xF0, 0x07, 0xFF, 0x3F}))));
    EXPECT_EQ(source.GetSyncOffset(), 0);
    EXPECT_EQ(ReadAll(source), kSyncAndHeader);

    // Six bytes of other data first: the offset is 6 and the first bytes out are the sync.
    ASSERT_TRUE(source.Open(dir.Write("c.wav", WrapWave(Concat({Bytes{1, 2, 3, 4, 5, 6}, kSync16Le})))));
    EXPECT_EQ(source.GetSyncOffset(), 6);
    EXPECT_EQ(ReadAll(source), kSync);
}

// Catches a scan that looks at odd offsets, misses a sync right after a word that looked like
// its start, or matches without both words.
TEST(WaveSource, ScansOnlyWholeWordsForBothSyncs)
{
    CTempDir dir;
    CFileWaveSource source;

    // 00 | FE 7F 01 80 | 00: the sync starts at offset 1 and is not found.
    ASSERT_TRUE(source.Open(dir.Write("odd.wav", WrapWave({0x00, 0xFE, 0x7F, 0x01, 0x80, 0x00}))));
    EXPECT_EQ(source.GetSyncOffset(), 0);
    uint8_t buffer[16];
    EXPECT_LE(source.Read(buffer, 16), 0);

    // Words 1FFF 1FFF E800: the second 1FFF breaks the first match and is not a first word,
    // so the scan goes on to the 16-bit sync at offset 6.
    ASSERT_TRUE(source.Open(dir.Write("repeat.wav", WrapWave({0xFF, 0x1F, 0xFF, 0x1F, 0x00, 0xE8, 0xFE, 0x7F, 0x01, 0x80}))));
    EXPECT_EQ(source.GetSyncOffset(), 6);
    EXPECT_EQ(ReadAll(source), kSync);

    // Words 7FFE 7FFE 8001: the second 7FFE starts the sync, though the first broke off.
    ASSERT_TRUE(source.Open(dir.Write("repeat16.wav", WrapWave({0xFE, 0x7F, 0xFE, 0x7F, 0x01, 0x80, 0xFE, 0x7F, 0x00, 0xE8}))));
    EXPECT_EQ(source.GetSyncOffset(), 2);
    EXPECT_EQ(ReadAll(source), (Bytes{0x7F, 0xFE, 0x80, 0x01, 0x7F, 0xFE, 0xE8, 0x00}));

    // A 7FFE then E800, and 1FFF then 8001: no sync at all.
    ASSERT_TRUE(source.Open(dir.Write("none.wav", WrapWave({0xFE, 0x7F, 0x00, 0xE8, 0xFF, 0x1F, 0x01, 0x80}))));
    EXPECT_EQ(source.GetSyncOffset(), 0);
    EXPECT_LE(source.Read(buffer, 16), 0);

    // Big-endian words in a WAVE file are found as well.
    ASSERT_TRUE(source.Open(dir.Write("be.wav", WrapWave(Concat({Bytes{0, 0}, kSync})))));
    EXPECT_EQ(source.GetSyncOffset(), 2);
    EXPECT_EQ(source.GetLayout(), EWordLayout::Words16BE);
    EXPECT_EQ(ReadAll(source), kSync);
}

// Catches an unpacker that drops the whole words of a short last read, hands out a partial
// byte, or does not report the end on the following call.
TEST(WaveSource, FourteenBitDataEndsOnWholeBytes)
{
    CTempDir dir;
    CFileWaveSource source;
    // 5 words = 70 payload bits: 8 whole bytes, 6 bits never handed out; then an odd byte.
    const Bytes stream = Concat({kSyncAndHeader, Bytes{0x5A}});
    Bytes data = Pack14(Concat({stream, Bytes{0xFC}}), false, 2);
    data.resize(10);
    data[0] = 0xFF;  // the sync words must be exactly 1FFF E800
    data[1] = 0x1F;
    data[2] = 0x00;
    data[3] = 0xE8;
    data.push_back(0x77);
    // The file ends with the odd byte: no pad byte after the data.
    const Bytes file = Riff("WAVE", Concat({Chunk("fmt ", PcmFormat()), RawChunk("data", 11, data)}));
    ASSERT_TRUE(source.Open(dir.Write("short.wav", file)));
    uint8_t buffer[2048];
    ASSERT_EQ(source.Read(buffer, 2048), 8);
    EXPECT_EQ(Bytes(buffer, buffer + 8), stream);
    EXPECT_EQ(source.Read(buffer, 2048), -1);
    EXPECT_EQ(source.Read(buffer, 2048), -1);

    // Small reads carry the unpacker's state from one call to the next.
    const Bytes payload = RandomBytes(7000, 4);
    ASSERT_TRUE(source.Open(dir.Write("long.wav", WrapWave(Concat({Pack14(kSyncAndHeader, false),
                                                                Pack14(payload, false, 1)})))));
    EXPECT_EQ(ReadAll(source, 5), Concat({kSyncAndHeader, payload}));
}

// Catches a source that reads the chunks after the data chunk as audio (a frame cut by the
// data's end would be filled from a LIST), and one that trusts a data size of 0 or 0xFFFFFFFF
// or one past the file's end, which streamed and over-long files carry: the file's end ends those.
TEST(WaveSource, TheDataChunkEndsTheStream)
{
    CTempDir dir;
    CFileWaveSource source;
    const Bytes file = Riff("WAVE", Concat({Chunk("fmt ", PcmFormat()), Chunk("data", kSync16Le),
                                            Chunk("LIST", {0x01, 0x02})}));
    ASSERT_TRUE(source.Open(dir.Write("after.wav", file)));
    EXPECT_EQ(ReadAll(source), kSync);

    const Bytes tail = {0x34, 0x12};
    for (uint32_t nSize : {0u, 0xFFFFFFFFu, 1000u}) {
        SCOPED_TRACE(nSize);
        ASSERT_TRUE(source.Open(dir.Write("open.wav", Riff("WAVE", Concat({Chunk("fmt ", PcmFormat()), RawChunk("data", nSize, Concat({kSync16Le, tail}))})))));
        EXPECT_EQ(ReadAll(source), (Bytes{0x7F, 0xFE, 0x80, 0x01, 0x12, 0x34}));
    }
}

// Catches a walk that misses "data" behind odd-sized chunks (pad byte), overflows the format
// record on a long "fmt ", or finds "data" outside the rules.
TEST(WaveSource, WalksTheChunksToTheData)
{
    CTempDir dir;
    CFileWaveSource source;

    // A 40-byte extensible format record, then an odd-sized chunk with its pad byte.
    const Bytes extensible = Riff("WAVE", Concat({Chunk("fmt ", Concat({PcmFormat(), Bytes(24, 0xEE)})),
                                                  Chunk("junk", {1, 2, 3}), Chunk("data", kSync16Le)}));
    ASSERT_TRUE(source.Open(dir.Write("ext.wav", extensible)));
    EXPECT_EQ(source.GetSyncOffset(), 0);
    EXPECT_EQ(ReadAll(source), kSync);

    // An odd-sized fmt chunk with its pad byte.
    ASSERT_TRUE(source.Open(dir.Write("oddfmt.wav", Riff("WAVE", Concat({Chunk("fmt ", Bytes(17, 0)), Chunk("data", kSync16Le)})))));
    EXPECT_EQ(ReadAll(source), kSync);

    // Other chunks before "fmt " are stepped over.
    ASSERT_TRUE(source.Open(dir.Write("first.wav", Riff("WAVE", Concat({Chunk("bext", Bytes(5, 0)), Chunk("fmt ", PcmFormat()), Chunk("data", kSync16Le)})))));
    EXPECT_EQ(ReadAll(source), kSync);

    // Failures: another form type, no "fmt ", "data" before "fmt ", no "data".
    EXPECT_FALSE(source.Open(dir.Write("avi.wav", Riff("AVI ", Concat({Chunk("fmt ", PcmFormat()), Chunk("data", kSync16Le)})))));
    EXPECT_FALSE(source.Open(dir.Write("nofmt.wav", Riff("WAVE", Chunk("data", kSync16Le)))));
    EXPECT_FALSE(source.Open(dir.Write("order.wav", Riff("WAVE", Concat({Chunk("data", kSync16Le), Chunk("fmt ", PcmFormat())})))));
    EXPECT_FALSE(source.Open(dir.Write("nodata.wav", Riff("WAVE", Chunk("fmt ", PcmFormat())))));
    EXPECT_FALSE(source.Open(dir.Path("missing.wav")));
    uint8_t buffer[8];
    EXPECT_LE(source.Read(buffer, 8), 0);

    // No sync: opens, and the first read delivers nothing.
    ASSERT_TRUE(source.Open(dir.Write("nosync.wav", WrapWave(Bytes(100, 0)))));
    EXPECT_LE(source.Read(buffer, 8), 0);

    // Thousands of small chunks of every size parity: headers straddle the blocks the walk reads
    // the file in, and the data after them is still found and read from its first byte.
    Bytes many = Chunk("fmt ", PcmFormat());
    for (uint8_t i = 0; many.size() < 300000; ++i) {
        const Bytes pad = Chunk("pad ", Bytes(i % 13, i));
        many.insert(many.end(), pad.begin(), pad.end());
    }
    ASSERT_TRUE(source.Open(dir.Write("many.wav", Riff("WAVE", Concat({many, Chunk("data", kSync16Le)})))));
    EXPECT_EQ(ReadAll(source), kSync);
}

// Hostile sizes and truncations must fail or end early without reading or writing out of
// bounds or looping (run under the sanitizers to see the former).
TEST(WaveSource, SurvivesHostileStructure)
{
    CTempDir dir;
    CFileWaveSource source;
    const Bytes fmt = Chunk("fmt ", PcmFormat());
    const Bytes wave = {'W', 'A', 'V', 'E'};
    struct Case {
        const char* name;
        Bytes file;
    };
    const Case failures[] = {
        {"fmt size FFFFFFFF", RawChunk("RIFF", 0xFFFFFFFF, Concat({wave, RawChunk("fmt ", 0xFFFFFFFF, PcmFormat()), Chunk("data", kSync16Le)}))},
        {"fmt size FFFFFFFE", RawChunk("RIFF", 0xFFFFFFFF, Concat({wave, RawChunk("fmt ", 0xFFFFFFFE, PcmFormat()), Chunk("data", kSync16Le)}))},
        {"fmt past the end", RawChunk("RIFF", 100, Concat({wave, RawChunk("fmt ", 40, PcmFormat())}))},
        {"junk size FFFFFFF0", RawChunk("RIFF", 0xFFFFFFFF, Concat({wave, fmt, RawChunk("junk", 0xFFFFFFF0, {}), Chunk("data", kSync16Le)}))},
        {"truncated chunk header", RawChunk("RIFF", 100, Concat({wave, fmt, Bytes{'d', 'a', 't', 'a', 4}}))},
        {"RIFF header only", Bytes{'R', 'I', 'F', 'F'}},
        {"RIFF without form type", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A'}},
        {"RIFF ends before data", RawChunk("RIFF", 4 + static_cast<uint32_t>(fmt.size()), Concat({wave, fmt, Chunk("data", kSync16Le)}))},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(source.Open(dir.Write("hostile.wav", c.file)));
        uint8_t buffer[8];
        EXPECT_LE(source.Read(buffer, 8), 0);
    }

    // Sizes that do not fit the file but still lead to the data; a RIFF size of 0 is a streamed file.
    const Case successes[] = {
        {"data size FFFFFFFF", RawChunk("RIFF", 0xFFFFFFFF, Concat({wave, fmt, RawChunk("data", 0xFFFFFFFF, kSync16Le)}))},
        {"RIFF size past the end", RawChunk("RIFF", 0x7FFFFFFF, Concat({wave, fmt, RawChunk("data", 1000, kSync16Le)}))},
        {"RIFF size 0", RawChunk("RIFF", 0, Concat({wave, fmt, Chunk("data", kSync16Le)}))},
    };
    for (const Case& c : successes) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(source.Open(dir.Write("hostile.wav", c.file)));
        EXPECT_EQ(ReadAll(source), kSync);
    }
}

// Catches 32-bit chunk offsets: a data chunk beyond 2 GiB (a sparse file, so nearly free) must
// be found and read. Skipped where the temp directory cannot hold such a file.
TEST(WaveSource, FindsDataBeyondTwoGiB)
{
    CTempDir dir;
    const uint32_t nJunk = 0x90000000u;  // 2.25 GiB
    const Bytes head = RawChunk("RIFF", 0xFFFFFFFF, Concat({Bytes{'W', 'A', 'V', 'E'}, Chunk("fmt ", PcmFormat()),
                                                            RawChunk("junk", nJunk, {})}));
    const std::string path = dir.Write("big.wav", head);
    std::error_code error;
    std::filesystem::resize_file(path, head.size() + nJunk, error);
    if (error)
        GTEST_SKIP() << "cannot make a sparse file here: " << error.message();
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        const Bytes data = Chunk("data", Concat({Bytes{1, 2, 3, 4, 5, 6}, kSync16Le}));
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    CFileWaveSource source;
    ASSERT_TRUE(source.Open(path));
    EXPECT_EQ(source.GetSyncOffset(), 6);
    EXPECT_EQ(ReadAll(source), kSync);
}
