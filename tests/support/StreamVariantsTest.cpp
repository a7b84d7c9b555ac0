// SPDX-License-Identifier: GPL-3.0-or-later
// Checks of the stream-variant builders where a fault would silently corrupt the tests that rely on them.
#include "support/StreamVariants.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// Two hand-typed frames of 16 and 20 bytes (FSIZE 15 and 19), CPF 0.
// Bytes 4..12: 1 11111 0 0001111 | 00000000001111 (FSIZE 15) | 000010 (AMODE 2) | 1101 (SFREQ 13) |
// 01111 (RATE 15) | MIX..HFLAG all 0 (12 bits) | FILTS 0 | 0111 (VERNUM 7) | 00 | 110 (PCMR 6) | 0 0 |
// 1001 (DIALNORM 9). The second frame differs in FSIZE (19) and DIALNORM (5).
std::vector<uint8_t> TwoFrames()
{
    std::vector<uint8_t> a = {0x7F, 0xFE, 0x80, 0x01, 0xFC, 0x3C, 0x00, 0xF0, 0xB5, 0xE0, 0x00, 0x39, 0x89,
                              0xA1, 0xA2, 0xA3};
    std::vector<uint8_t> b = {0x7F, 0xFE, 0x80, 0x01, 0xFC, 0x3C, 0x01, 0x30, 0xB5, 0xE0, 0x00, 0x39, 0x85,
                              0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7};
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

// Wrong field offsets or bit order would make every patched sample describe something else.
TEST(StreamVariants, FieldsAndFramesOfHandTypedStream)
{
    std::vector<uint8_t> s = TwoFrames();
    EXPECT_EQ(GetHeaderField(s, 0, 32), 0x7FFE8001u);
    EXPECT_EQ(GetHeaderField(s, DtsBits::kFSIZE, 14), 15u);
    EXPECT_EQ(GetHeaderField(s, DtsBits::kAMODE, 6), 2u);
    EXPECT_EQ(GetHeaderField(s, DtsBits::kSFREQ, 4), 13u);
    EXPECT_EQ(GetRate(s, 0), 15u);
    EXPECT_EQ(GetVernum(s, 0), 7u);
    EXPECT_EQ(GetHeaderField(s, DtsBits::kPCMR, 3), 6u);
    EXPECT_EQ(GetDialNorm(s, 0), 9u);
    EXPECT_EQ(GetDialNorm(s, 16), 5u);
    EXPECT_EQ(SplitFrames(s), (std::vector<size_t>{0, 16}));
    EXPECT_EQ(TakeFrames(s, 1).size(), 16u);

    SetDialNorm(s, 16, 0xA);
    EXPECT_EQ(s[16 + 12], 0x8A); // only the low nibble changed
    SetVernum(s, 0, 6);
    EXPECT_EQ(s[11], 0x31);
    SetRate(s, 0, 29);
    EXPECT_EQ(GetRate(s, 0), 29u);
    EXPECT_EQ(GetHeaderField(s, DtsBits::kSFREQ, 4), 13u); // neighbours untouched
    EXPECT_EQ(GetHeaderField(s, DtsBits::kRATE + 5, 1), 0u);
    EXPECT_THROW(GetHeaderField(s, s.size() * 8 - 3, 4), std::out_of_range);
}

// The HCRC must land at byte 11 and everything else must survive; the DIALNORM and VERNUM setters
// must follow the 16-bit shift, or CRC-carrying variants would be patched in the wrong place.
TEST(StreamVariants, HeaderCrcInsertAndRemoveRoundTrip)
{
    const std::vector<uint8_t> plain = TwoFrames();
    std::vector<uint8_t> withCrc = InsertHeaderCrc(plain);
    ASSERT_EQ(withCrc.size(), plain.size() + 4);
    EXPECT_EQ(SplitFrames(withCrc), (std::vector<size_t>{0, 18}));
    EXPECT_EQ(withCrc[4], 0xFE); // CPF set
    EXPECT_EQ(GetHeaderField(withCrc, DtsBits::kFSIZE, 14), 17u);
    EXPECT_EQ(withCrc[11], 0x5A);
    EXPECT_EQ(withCrc[12], 0x00);
    EXPECT_EQ(withCrc[18 + 11], 0x5A);
    EXPECT_EQ(withCrc[18 + 12], 0x01); // differs per frame
    EXPECT_EQ(withCrc[13], 0x39);
    EXPECT_EQ(GetDialNorm(withCrc, 0), 9u);
    EXPECT_EQ(GetVernum(withCrc, 18), 7u);

    EXPECT_EQ(RemoveHeaderCrc(withCrc, true), plain);
    std::vector<uint8_t> keptFsize = RemoveHeaderCrc(withCrc, false);
    EXPECT_EQ(keptFsize.size(), plain.size());
    EXPECT_EQ(GetHeaderField(keptFsize, DtsBits::kFSIZE, 14), 17u);

    EXPECT_EQ(InsertHeaderCrc(plain, 0xBEEF)[18 + 11], 0xBE);
    EXPECT_THROW(InsertHeaderCrc(withCrc), std::invalid_argument);

    // The same on an FFmpeg-made stream.
    const std::vector<uint8_t> real = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const std::vector<uint8_t> real2 = InsertHeaderCrc(real);
    EXPECT_EQ(SplitFrames(real2).size(), SplitFrames(real).size());
    EXPECT_EQ(RemoveHeaderCrc(real2, true), real);
}

// The 14-bit layout and the RIFF sizes are what the core's readers are checked against.
TEST(StreamVariants, Pack14AndWaveLayout)
{
    // 7F FE 80 01 FC 3F FF: payloads 0x1FFF, 0x2800, 0x07F0, 0x3FFF; bits 15..14 copy bit 13.
    const std::vector<uint8_t> packed = Pack14(kSyncAndHeader);
    EXPECT_EQ(packed, (std::vector<uint8_t>{0x1F, 0xFF, 0xE8, 0x00, 0x07, 0xF0, 0xFF, 0xFF}));
    // 16 bits need two words; the second holds 2 payload bits (10), zero padding, and the copies of bit 13.
    EXPECT_EQ(Pack14({0xAB, 0xCE}), (std::vector<uint8_t>{0xEA, 0xF3, 0xE0, 0x00}));

    EXPECT_EQ(SwapWords({1, 2, 3, 4, 5}), (std::vector<uint8_t>{2, 1, 4, 3, 5}));

    WaveOptions opts;
    opts.prefix = {0, 0, 0};
    opts.chunksBeforeFmt.push_back({"LIST", {'a', 'b', 'c'}});
    opts.chunksAfterData.push_back({"junk", {1, 2}});
    const std::vector<uint8_t> wave = WrapWave({0xFE, 0x7F, 0x01, 0x80}, opts);
    // RIFF(8) WAVE(4) LIST(8+3+pad) fmt(8+16) data(8+7+pad) junk(8+2)
    ASSERT_EQ(wave.size(), 8u + 4 + 12 + 24 + 16 + 10);
    EXPECT_EQ(std::string(wave.begin(), wave.begin() + 4), "RIFF");
    EXPECT_EQ(GetHeaderField(wave, 32, 8), wave.size() - 8); // little-endian size, low byte first
    EXPECT_EQ(wave[5] | wave[6] | wave[7], 0);
    EXPECT_EQ(std::string(wave.begin() + 24, wave.begin() + 28), "fmt ");
    EXPECT_EQ(wave[28], 16);
    EXPECT_EQ(std::string(wave.begin() + 48, wave.begin() + 52), "data");
    EXPECT_EQ(wave[52], 7);
    EXPECT_EQ((std::vector<uint8_t>(wave.begin() + 56, wave.begin() + 64)),
              (std::vector<uint8_t>{0, 0, 0, 0xFE, 0x7F, 0x01, 0x80, 0}));
}

// Scratch directories must be distinct and gone afterwards, or parallel tests would collide.
TEST(StreamVariants, TempDirIsUniqueAndRemoved)
{
    std::filesystem::path kept;
    {
        CTempDir a, b;
        EXPECT_NE(a.Root(), b.Root());
        WriteFileBytes(a.Path("x.bin"), {1, 2, 3});
        EXPECT_EQ(ReadFileBytes(a.Path("x.bin")), (std::vector<uint8_t>{1, 2, 3}));
        kept = a.Root();
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
    EXPECT_THROW(ReadFileBytes(kept.string() + "/missing"), std::runtime_error);
}
