// SPDX-License-Identifier: GPL-3.0-or-later
// Header field labels: values the standard gives, and the codes outside the tables.
#include "dts/HeaderLabels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

// Values the standard's tables give, picked at both ends of each table, either side of each
// boundary (named codes, invalid codes) and at neighbours a swap would exchange: a shifted,
// swapped or mistyped entry shows in at least one.
TEST(HeaderLabels, BitRatesAsTheStandardGivesThem)
{
    const struct { uint32_t nRate; const char* pszLabel; double dKbps; } cases[] = {
        {0, "32", 32},        {1, "56", 56},          {15, "768", 768},     {16, "960", 960},
        {21, "1408", 1408},   {22, "1411.2", 1411.2}, {23, "1472", 1472},   {24, "1536", 1536},
        {28, "3840", 3840},   {29, "open", -1},       {30, "variable", -1}, {31, "Loss-less", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatBitRateLabel(c.nRate), c.pszLabel) << "RATE " << c.nRate;
        EXPECT_DOUBLE_EQ(BitRateKbps(c.nRate), c.dKbps) << "RATE " << c.nRate;
    }
    // A wider value must not index past the table.
    EXPECT_EQ(FormatBitRateLabel(32 + 24), "1536");
}

TEST(HeaderLabels, ChannelArrangementsAsTheStandardGivesThem)
{
    const struct { int32_t nAmode; const char* pszLabel; int32_t nChannels; } cases[] = {
        {0, "A (mono)", 1},
        {1, "A+B (dual mono)", 2},
        {2, "L+R (stereo)", 2},
        {5, "C+L+R", 3},
        {6, "L+R+S", 3},
        {8, "L+R+SL+SR", 4},
        {9, "C+L+R+SL+SR", 5},
        {10, "CL+CR+L+R+SL+SR", 6},
        {13, "CL+C+CR+L+R+SL+SR", 7},
        {14, "CL+CR+L+R+SL1+SL2+SR1+SR2", 8},
        {15, "CL+C+CR+L+R+SL+S+SR", 8},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatChannelLabel(c.nAmode), c.pszLabel) << "AMODE " << c.nAmode;
        EXPECT_EQ(ChannelCount(c.nAmode), c.nChannels) << "AMODE " << c.nAmode;
    }
    // Beyond the table: a missing range check would read past it.
    for (int32_t amode : {16, 17, 40, 63, 64, -1, -16, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(FormatChannelLabel(amode), "User defined") << "AMODE " << amode;
        EXPECT_EQ(ChannelCount(amode), 0) << "AMODE " << amode;
    }
}

// Also catches doubling on the wrong bit of EXT_AUDIO_ID, and whole rates printed with "%f"
// (or fractional ones with "%d").
TEST(HeaderLabels, SampleRatesAsTheStandardGivesThem)
{
    const struct { uint32_t nSfreq; const char* pszPlain; const char* pszDoubled; int32_t nHz; } cases[] = {
        {0, "0", "0", 0},                      {1, "8", "16", 8000},
        {3, "32", "64", 32000},                {4, "0", "0", 0},
        {5, "0", "0", 0},                      {6, "11.025000", "22.050000", 11025},
        {7, "22.050000", "44.100000", 22050},  {8, "44.100000", "88.200000", 44100},
        {9, "0", "0", 0},                      {11, "12", "24", 12000},
        {12, "24", "48", 24000},               {13, "48", "96", 48000},
        {14, "0", "0", 0},                     {15, "0", "0", 0},
    };
    for (const auto& c : cases) {
        for (uint32_t ext : {0u, 1u, 4u}) {
            EXPECT_EQ(FormatSampleRateLabel(c.nSfreq, ext), c.pszPlain) << "SFREQ " << c.nSfreq;
            EXPECT_EQ(SampleRateHz(c.nSfreq, ext), c.nHz) << "SFREQ " << c.nSfreq;
        }
        for (uint32_t ext : {2u, 3u, 6u}) {
            EXPECT_EQ(FormatSampleRateLabel(c.nSfreq, ext), c.pszDoubled) << "SFREQ " << c.nSfreq;
            EXPECT_EQ(SampleRateHz(c.nSfreq, ext), 2 * c.nHz) << "SFREQ " << c.nSfreq;
        }
    }
}

// Every PCMR and every EXT_AUDIO_ID: catches a wrong resolution or ES flag, a swapped type text,
// and bit 2 of EXT_AUDIO_ID taking part when it must not.
TEST(HeaderLabels, StreamTypeEveryResolutionAndExtension)
{
    // For SFREQ 13 (48 kHz): the label by PCMR for EXT_AUDIO_ID 0..3.
    const char* expected[8][4] = {
        {"DTS 16/48", "DTS ES Discrete 6.1 16/48", "DTS 16/96", "DTS ES Discrete 6.1 16/96"},
        {"DTS ES Matrix 6.1 16/48", "DTS ??? 16/48", "DTS ES Matrix 6.1 16/96", "DTS ??? 16/96"},
        {"DTS 20/48", "DTS ES Discrete 6.1 20/48", "DTS 20/96", "DTS ES Discrete 6.1 20/96"},
        {"DTS ES Matrix 6.1 20/48", "DTS ??? 20/48", "DTS ES Matrix 6.1 20/96", "DTS ??? 20/96"},
        {"DTS 0/48", "DTS ES Discrete 6.1 0/48", "DTS 0/96", "DTS ES Discrete 6.1 0/96"},
        {"DTS ES Matrix 6.1 24/48", "DTS ??? 24/48", "DTS ES Matrix 6.1 24/96", "DTS ??? 24/96"},
        {"DTS 24/48", "DTS ES Discrete 6.1 24/48", "DTS 24/96", "DTS ES Discrete 6.1 24/96"},
        {"DTS 0/48", "DTS ES Discrete 6.1 0/48", "DTS 0/96", "DTS ES Discrete 6.1 0/96"}};
    for (uint32_t pcmr = 0; pcmr < 8; ++pcmr)
        for (uint32_t ext = 0; ext < 8; ++ext)
            EXPECT_EQ(FormatStreamTypeLabel(ext, pcmr, 13), expected[pcmr][ext & 3])
                << "PCMR " << pcmr << " EXT_AUDIO_ID " << ext;

    // The listed examples, including fractional and invalid sample rates.
    EXPECT_EQ(FormatStreamTypeLabel(0, 6, 13), "DTS 24/48");
    EXPECT_EQ(FormatStreamTypeLabel(2, 6, 13), "DTS 24/96");
    EXPECT_EQ(FormatStreamTypeLabel(6, 6, 13), "DTS 24/96");
    EXPECT_EQ(FormatStreamTypeLabel(0, 5, 13), "DTS ES Matrix 6.1 24/48");
    EXPECT_EQ(FormatStreamTypeLabel(1, 6, 8), "DTS ES Discrete 6.1 24/44.100000");
    EXPECT_EQ(FormatStreamTypeLabel(3, 1, 8), "DTS ??? 16/88.200000");
    EXPECT_EQ(FormatStreamTypeLabel(0, 0, 8), "DTS 16/44.100000");
    EXPECT_EQ(FormatStreamTypeLabel(0, 4, 13), "DTS 0/48");
    EXPECT_EQ(FormatStreamTypeLabel(0, 7, 0), "DTS 0/0");
    EXPECT_EQ(FormatStreamTypeLabel(2, 0, 15), "DTS 16/0");
    EXPECT_EQ(FormatStreamTypeLabel(0, 2, 6), "DTS 20/11.025000");
}

namespace {
std::string MinusDb(uint32_t magnitude)
{
    std::string text = "-";
    text += std::to_string(magnitude);
    text += " dB";
    return text;
}
} // namespace

// The magnitude per version: a missing 16 offset for version 6, or a version other than 6 and 7
// passing DIALNORM through, would show a wrong gain.
TEST(HeaderLabels, DialNormByVersion)
{
    for (uint32_t dialNorm = 0; dialNorm < 16; ++dialNorm) {
        EXPECT_EQ(FormatDialNormLabel(7, dialNorm), MinusDb(dialNorm));
        EXPECT_EQ(FormatDialNormLabel(6, dialNorm), MinusDb(16 + dialNorm));
        for (uint32_t vernum : {0u, 1u, 5u, 8u, 15u})
            EXPECT_EQ(FormatDialNormLabel(vernum, dialNorm), "-0 dB") << "VERNUM " << vernum;
    }
    EXPECT_EQ(FormatDialNormLabel(7, 0), "-0 dB");
    EXPECT_EQ(FormatDialNormLabel(7, 15), "-15 dB");
    EXPECT_EQ(FormatDialNormLabel(6, 0), "-16 dB");
    EXPECT_EQ(FormatDialNormLabel(6, 15), "-31 dB");
    EXPECT_EQ(FormatDialNormLabel(0, 9), "-0 dB");
}

// The typed values a script reads must say what the labels say: a named rate is not a number,
// a doubled rate is doubled, an invalid code is 0, and the attenuation is never positive.
TEST(HeaderLabels, TypedValuesAgreeWithTheLabels)
{
    for (uint32_t rate = 0; rate < 32; ++rate) {
        const std::string label = FormatBitRateLabel(rate);
        if (rate >= 29)
            EXPECT_LT(BitRateKbps(rate), 0) << label;
        else
            EXPECT_DOUBLE_EQ(BitRateKbps(rate), std::stod(label)) << label;
    }
    EXPECT_EQ(SampleRateHz(13, 0), 48000);
    EXPECT_EQ(SampleRateHz(13, 2), 96000);
    EXPECT_EQ(SampleRateHz(6, 0), 11025);
    EXPECT_EQ(SampleRateHz(7, 2), 44100);
    EXPECT_EQ(SampleRateHz(4, 0), 0);
    for (uint32_t vernum = 0; vernum < 16; ++vernum) {
        for (uint32_t dialNorm = 0; dialNorm < 16; ++dialNorm)
            EXPECT_EQ(FormatDialNormLabel(vernum, dialNorm), MinusDb(static_cast<uint32_t>(-DialNormDb(vernum, dialNorm))));
    }
}
