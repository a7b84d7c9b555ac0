// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of CBitStream: the kind of input, bit order, the byte counter, refills and the end of input.
#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "stream/BitStream.h"
#include "support/MemoryByteSource.h"
#include "support/FileBitStream.h"
#include "support/MachineTraits.h"
#include "support/StreamVariants.h"
#include "support/TestFiles.h"

namespace {

Bytes ReadBytes(CBitStream& stream, size_t nCount)
{
    Bytes bytes;
    for (size_t i = 0; i < nCount; ++i)
        bytes.push_back(static_cast<uint8_t>(stream.GetBits(8)));
    return bytes;
}

}  // namespace

// Catches a counter that moves before the eighth bit of a byte, a wrong bit order, and a
// GetBits(0) or negative count that consumes bits.
TEST(BitStream, HandsOutBitsMostSignificantFirstAndCountsWholeBytes)
{
    // 7F FE 80 01 | A5 = 1010 0101
    const Bytes bytes = {0x7F, 0xFE, 0x80, 0x01, 0xA5};
    CMemoryByteSource source(bytes.data(), bytes.size());
    CBitStream stream;
    stream.Open(source);
    EXPECT_TRUE(stream.IsOpen());
    EXPECT_EQ(stream.GetBytePos(), 0);
    // 0111 111: seven bits leave the counter alone, the eighth moves it.
    for (int nExpected : {0, 1, 1, 1, 1, 1, 1}) {
        EXPECT_EQ(stream.GetBit(), nExpected);
        EXPECT_EQ(stream.GetBytePos(), 0);
    }
    EXPECT_EQ(stream.GetBit(), 1);
    EXPECT_EQ(stream.GetBytePos(), 1);

    EXPECT_EQ(stream.GetBits(0), 0u);
    EXPECT_EQ(stream.GetBits(-5), 0u);
    EXPECT_EQ(stream.GetBytePos(), 1);
    EXPECT_EQ(stream.GetBits(24), 0xFE8001u);
    EXPECT_EQ(stream.GetBytePos(), 4);
    EXPECT_EQ(stream.GetBits(3), 0b101u);
    EXPECT_EQ(stream.GetBits(5), 0b00101u);

    CMemoryByteSource again(bytes.data(), bytes.size());
    stream.Open(again);
    EXPECT_EQ(stream.GetBits(32), 0x7FFE8001u);
    EXPECT_EQ(stream.GetBytePos(), 4);

    // Above 32 only the last 32 bits read are kept: 40 bits 7F FE 80 01 A5 -> FE 80 01 A5.
    CMemoryByteSource wide(bytes.data(), bytes.size());
    stream.Open(wide);
    EXPECT_EQ(stream.GetBits(40), 0xFE8001A5u);
    EXPECT_EQ(stream.GetBytePos(), 5);
}

// Catches a stream that hands out stale bytes at the end, moves the counter on a failed read,
// crosses a refill of its buffer wrongly, or stops throwing after the first end. The stream's
// buffer is 16 bytes, so a few hundred bytes cross many refills.
TEST(BitStream, EndOfInputThrowsEveryTime)
{
    CBitStream stream(16);

    CMemoryByteSource empty(nullptr, 0);
    stream.Open(empty);
    EXPECT_THROW(stream.GetBit(), EOFBSException);
    EXPECT_EQ(stream.GetBytePos(), 0);

    CMemoryByteSource four(kSyncAndHeader.data(), 4);
    stream.Open(four);
    EXPECT_EQ(stream.GetBits(32), 0x7FFE8001u);
    EXPECT_THROW(stream.GetBit(), EOFBSException);
    EXPECT_EQ(stream.GetBytePos(), 4);
    EXPECT_THROW(stream.GetBit(), EOFBSException);
    EXPECT_THROW(stream.GetBits(8), EOFBSException);
    EXPECT_EQ(stream.GetBytePos(), 4);

    // 257 bytes: the 256th and 257th straddle the sixteenth refill; bit 2057 is past the end.
    const Bytes bytes = RandomBytes(257, 1);
    CMemoryByteSource refill(bytes.data(), bytes.size());
    stream.Open(refill);
    EXPECT_EQ(ReadBytes(stream, 257), bytes);
    EXPECT_EQ(stream.GetBytePos(), 257);
    EXPECT_THROW(stream.GetBit(), EOFBSException);
    EXPECT_EQ(stream.GetBytePos(), 257);

    // A read in the middle of a byte that runs out: the partial byte is not counted.
    const uint8_t nOnes = 0xFF;
    CMemoryByteSource one(&nOnes, 1);
    stream.Open(one);
    EXPECT_THROW(stream.GetBits(12), EOFBSException);
    EXPECT_EQ(stream.GetBytePos(), 1);
}

// Catches a wrong 14-bit sniff (too loose or too strict), a wrong word order or bit order in
// the unpacker, padding bits taken as payload, and state lost across the unpacker's refills.
TEST(BitStream, UnpacksFourteenBitFilesRecognisedByTheirFirstBytes)
{
    CTempDir dir;
    CFileBitStream stream;

    // Words 1FFF E800 07F0 3FFF: 01 1111 1111 1111 | 10 1000 0000 0000 | 00 0111 1111 0000 | 11 1111 1111 1111
    // Payload bits 0111 1111 1111 1110 1000 0000 0000 0001 1111 1100 0011 1111 1111 1111.
    ASSERT_TRUE(stream.Open(dir.Write("short.cpt", {0x1F, 0xFF, 0xE8, 0x00, 0x07, 0xF0, 0x3F, 0xFF})));
    EXPECT_EQ(stream.GetBits(32), 0x7FFE8001u);
    EXPECT_EQ(stream.GetBytePos(), 4);
    EXPECT_EQ(ReadBytes(stream, 3), (Bytes{0xFC, 0x3F, 0xFF}));
    EXPECT_THROW(stream.GetBit(), EOFBSException);
    EXPECT_EQ(stream.GetBytePos(), 7);

    // Sixth byte E0: its high nibble is not all ones, so this is a plain 16-bit stream.
    ASSERT_TRUE(stream.Open(dir.Write("not14.dts", {0x1F, 0xFF, 0xE8, 0x00, 0x07, 0xE0, 0x3F, 0xFF})));
    EXPECT_EQ(stream.GetBits(32), 0x1FFFE800u);

    // 16 bytes = 8 words = 112 bits = 14 stream bytes; nothing more.
    const Bytes sixteen = Concat({Bytes{0x1F, 0xFF, 0xE8, 0x00, 0x07, 0xF0, 0x3F, 0xFF},
                                  Pack14({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE}, true)});
    ASSERT_EQ(sixteen.size(), 16u);
    ASSERT_TRUE(stream.Open(dir.Write("sixteen.cpt", sixteen)));
    EXPECT_EQ(ReadBytes(stream, 14),
              Concat({kSyncAndHeader, Bytes{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE}}));
    EXPECT_THROW(stream.GetBit(), EOFBSException);
    EXPECT_EQ(stream.GetBytePos(), 14);

    // With a 10-byte buffer, every refill asks the unpacker for a few bytes, so its words are
    // taken in small portions and a group of four words is split across refills over and over;
    // both padding bits are set in every payload word, and a trailing odd byte carries no whole word.
    const Bytes payload = RandomBytes(7 * 1000, 2);
    const Bytes file = Concat({Pack14(kSyncAndHeader, true), Pack14(payload, true, 3), Bytes{0xAA}});
    CFileBitStream small(10);
    ASSERT_TRUE(small.Open(dir.Write("long.cpt", file)));
    EXPECT_EQ(ReadBytes(small, 7 + payload.size()), Concat({kSyncAndHeader, payload}));
    EXPECT_THROW(small.GetBit(), EOFBSException);
    EXPECT_EQ(small.GetBytePos(), static_cast<int64_t>(7 + payload.size()));
}

// Catches content being rejected or reordered: anything that is neither RIFF nor the start of
// a frame in another word layout is read exactly as stored, including near misses of "RIFF".
TEST(BitStream, ReadsOtherContentAsStored)
{
    CTempDir dir;
    CFileBitStream stream;
    for (const Bytes& bytes : {Bytes{'R', 'I', 'F', 'X', 0x10, 0, 0, 0, 'W', 'A', 'V', 'E'},
                               Bytes{'r', 'i', 'f', 'f', 0x10, 0, 0, 0, 'W', 'A', 'V', 'E'},
                               Bytes{'R', 'I', 'F'}}) {
        ASSERT_TRUE(stream.Open(dir.Write("other.bin", bytes)));
        EXPECT_EQ(ReadBytes(stream, bytes.size()), bytes);
        EXPECT_THROW(stream.GetBit(), EOFBSException);
    }

    // A frame start in little-endian words is read in that layout.
    ASSERT_TRUE(stream.Open(dir.Write("le.dts", {0xFE, 0x7F, 0x01, 0x80, 0xFC, 0x3F})));
    EXPECT_EQ(stream.GetInputKind(), EInputKind::Words16LE);
    EXPECT_EQ(ReadBytes(stream, 6), (Bytes{0x7F, 0xFE, 0x80, 0x01, 0x3F, 0xFC}));
}

// Catches a WAVE counter that does not start at the sync offset, bytes handed out from before
// the sync, and a 14-bit WAVE counted in packed rather than unpacked bytes after the sync.
TEST(BitStream, WaveInputStartsCountingAtTheSync)
{
    CTempDir dir;
    CFileBitStream stream;

    // Data: 6 bytes of other words, then the 16-bit sync as little-endian words FE 7F 01 80.
    const Bytes data16 = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xFE, 0x7F, 0x01, 0x80, 0x34, 0x12};
    ASSERT_TRUE(stream.Open(dir.Write("sixteen.wav", WrapWave(data16))));
    EXPECT_EQ(stream.GetBytePos(), 6);
    EXPECT_EQ(stream.GetBits(32), 0x7FFE8001u);
    EXPECT_EQ(stream.GetBits(16), 0x1234u);
    EXPECT_EQ(stream.GetBytePos(), 12);
    EXPECT_THROW(stream.GetBit(), EOFBSException);

    // 14-bit data, little-endian words: the start counts packed bytes, what follows stream bytes.
    const Bytes data14 = Concat({Bytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}, Pack14(kSyncAndHeader, false)});
    ASSERT_TRUE(stream.Open(dir.Write("fourteen.wav", WrapWave(data14))));
    EXPECT_EQ(stream.GetBytePos(), 6);
    EXPECT_EQ(ReadBytes(stream, 7), kSyncAndHeader);
    EXPECT_EQ(stream.GetBytePos(), 13);
    EXPECT_THROW(stream.GetBit(), EOFBSException);

    // A WAVE without a sync opens and ends at once.
    ASSERT_TRUE(stream.Open(dir.Write("nosync.wav", WrapWave(Bytes(64, 0x55)))));
    EXPECT_EQ(stream.GetBytePos(), 0);
    EXPECT_THROW(stream.GetBit(), EOFBSException);

    // A RIFF that is not a usable WAVE fails to open and leaves nothing open.
    ASSERT_FALSE(stream.Open(dir.Write("avi.wav", Riff("AVI ", Chunk("data", data16)))));
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_THROW(stream.GetBit(), EOFBSException);
}

// Catches state of one file leaking into the next: a half-used 14-bit word, a half-read byte,
// buffered bytes, the counter, or the WAVE flag.
TEST(BitStream, ReopeningStartsAfresh)
{
    CTempDir dir;
    const std::string packed = dir.Write("a.cpt", Pack14(Concat({kSyncAndHeader, RandomBytes(70, 3)}), true));
    const std::string wave = dir.Write("b.wav", WrapWave({0xFE, 0x7F, 0x01, 0x80}));
    const std::string plain = dir.Write("c.dts", {0x7F, 0xFE, 0x80, 0x01, 0x00});
    CFileBitStream stream;

    ASSERT_TRUE(stream.Open(packed));
    stream.GetBits(13);
    ASSERT_TRUE(stream.Open(packed));
    EXPECT_EQ(ReadBytes(stream, 7), kSyncAndHeader);
    stream.GetBits(3);
    ASSERT_TRUE(stream.Open(wave));
    EXPECT_EQ(stream.GetBits(32), 0x7FFE8001u);
    EXPECT_EQ(stream.GetBytePos(), 4);
    ASSERT_TRUE(stream.Open(plain));
    EXPECT_EQ(stream.GetBytePos(), 0);
    EXPECT_EQ(stream.GetBits(32), 0x7FFE8001u);
    EXPECT_EQ(stream.GetBits(8), 0u);
    EXPECT_THROW(stream.GetBit(), EOFBSException);

    stream.Close();
    stream.Close();
    EXPECT_FALSE(stream.IsOpen());
    // A read on a closed stream ends rather than handing out the old file's bytes.
    EXPECT_THROW(stream.GetBit(), EOFBSException);
}

// Catches inputs that open as if they were files, or that hang or crash the open: every one
// must give false and leave nothing open, and the stream must still open a good file after.
TEST(BitStream, RefusesWhatIsNotAReadableFile)
{
    CTempDir dir;
    const std::string good = dir.Write("good.dts", {0x7F, 0xFE, 0x80, 0x01});
    CFileBitStream stream;

    EXPECT_FALSE(stream.Open(dir.Path("missing.dts")));
    EXPECT_FALSE(stream.IsOpen());
    std::filesystem::create_directories(dir.Path("folder.dts"));
    EXPECT_FALSE(stream.Open(dir.Path("folder.dts")));
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_FALSE(stream.Open(""));

#ifndef _WIN32
    // A fifo with no writer would block a plain open for ever.
    ASSERT_EQ(mkfifo(dir.Path("fifo.dts").c_str(), 0600), 0);
    EXPECT_FALSE(stream.Open(dir.Path("fifo.dts")));
    // A device that never ends.
    if (std::filesystem::exists("/dev/zero")) {
        EXPECT_FALSE(stream.Open("/dev/zero"));
    }
#endif

    const std::string locked = dir.Write("locked.dts", {0x7F, 0xFE, 0x80, 0x01});
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    if (PermissionsDenyAccess()) {
        EXPECT_FALSE(stream.Open(locked));
        EXPECT_FALSE(stream.IsOpen());
    }

    ASSERT_TRUE(stream.Open(good));
    EXPECT_EQ(stream.GetBits(32), 0x7FFE8001u);
    if (!PermissionsDenyAccess())
        GTEST_SKIP() << kPermissionsDoNotDeny;
}

// FFmpeg-encoded streams and their 14-bit and WAVE variants (made apart from this reader, and
// checked by FFmpeg's decoder): every variant must hand out exactly its source's bytes, with
// the WAVE variants' counters starting at their sync offsets.
TEST(BitStream, VariantsOfRealStreamsGiveTheirSourceBytes)
{
    const std::string dataDir = KESTRUNE_TEST_DATA_DIR;
    struct Case {
        const char* variant;
        const char* source;
        int64_t nStart;
    };
    for (const Case& c : {Case{"stereo_48k.cpt", "stereo_48k.dts", 0},
                          Case{"stereo_44k_cd.cpt", "stereo_44k_cd.dts", 0},
                          Case{"stereo_48k_16le.wav", "stereo_48k.dts", 6},
                          Case{"stereo_44k_cd_14le.wav", "stereo_44k_cd.dts", 4},
                          Case{"stereo_48k.dts", "stereo_48k.dts", 0}}) {
        SCOPED_TRACE(c.variant);
        const Bytes source = ReadFileBytes(dataDir + "/" + c.source);
        ASSERT_FALSE(source.empty());
        CFileBitStream stream;
        ASSERT_TRUE(stream.Open(dataDir + "/" + c.variant));
        EXPECT_EQ(stream.GetBytePos(), c.nStart);
        EXPECT_EQ(ReadBytes(stream, source.size()), source);
        EXPECT_EQ(stream.GetBytePos(), c.nStart + static_cast<int64_t>(source.size()));
        // A packing may leave at most one zero byte of padding bits after the last frame.
        try {
            EXPECT_EQ(stream.GetBits(8), 0u);
            EXPECT_THROW(stream.GetBit(), EOFBSException);
        } catch (const EOFBSException&) {
        }
    }
}

// Catches byte reads that lose or repeat bits when the position is inside a byte (frames of
// 14-bit words padded to whole words start anywhere): at every bit position and across refills of
// tiny buffers, peeks (with and without bits skipped first) and skips hand out the bytes a
// bit-by-bit reference gives, and skipping past the end reports it.
TEST(BitStream, BytesAtAnyBitPositionAcrossRefills)
{
    const Bytes bytes = RandomBytes(97, 11);
    auto bitAt = [&bytes](size_t n) { return (bytes[n / 8] >> (7 - n % 8)) & 1; };
    auto byteAt = [&bitAt](size_t nBit) {
        int n = 0;
        for (size_t i = 0; i < 8; ++i)
            n = (n << 1) | bitAt(nBit + i);
        return static_cast<uint8_t>(n);
    };
    for (int nBuffer : {6, 8, 64}) {
        for (size_t nLead = 0; nLead < 16; ++nLead) {
            SCOPED_TRACE(testing::Message() << "buffer " << nBuffer << ", lead " << nLead);
            CMemoryByteSource source(bytes.data(), bytes.size());
            CBitStream stream(nBuffer);
            stream.Open(source);
            stream.GetBits(static_cast<int>(nLead));
            size_t nBit = nLead;
            for (int nSkip : {0, 1, 5, 13}) {
                uint8_t peeked[2] = {};
                ASSERT_EQ(stream.PeekBytes(peeked, 2, nSkip), 2);
                EXPECT_EQ(peeked[0], byteAt(nBit + static_cast<size_t>(nSkip)));
                EXPECT_EQ(peeked[1], byteAt(nBit + static_cast<size_t>(nSkip) + 8));
                ASSERT_TRUE(stream.SkipBytes(3));
                nBit += 24;
                EXPECT_EQ(stream.GetBytePos(), static_cast<int64_t>(nBit / 8));
            }
            EXPECT_EQ(stream.GetBits(8), byteAt(nBit));
            nBit += 8;
            // Fewer whole bytes are left than asked for: the skip fails and nothing more comes.
            EXPECT_FALSE(stream.SkipBytes(static_cast<int64_t>(bytes.size())));
            uint8_t after = 0;
            EXPECT_EQ(stream.PeekBytes(&after, 1), 0);
        }
    }
}
