// Header field labels: every table entry and the codes outside the tables.
#include "dts/HeaderLabels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

// A shifted or mistyped entry in the bit-rate table would mislabel every stream of that rate.
TEST(HeaderLabels, BitRateEveryCode)
{
    const char* expected[32] = {
        "32", "56", "64", "96", "112", "128", "192", "224",                           // 0..7
        "256", "320", "384", "448", "512", "576", "640", "768",                       // 8..15
        "960", "1024", "1152", "1280", "1344", "1408", "1411.2", "1472",              // 16..23
        "1536", "1920", "2048", "3072", "3840", "open", "variable", "Loss-less"};      // 24..31
    for (uint32_t rate = 0; rate < 32; ++rate)
        EXPECT_EQ(FormatBitRateLabel(rate), expected[rate]) << "RATE " << rate;
}

// Every arrangement, and the codes beyond the table: a missing range check would read past it.
TEST(HeaderLabels, ChannelEveryCodeAndOutsideTable)
{
    const char* expected[16] = {
        "A (mono)", "A+B (dual mono)", "L+R (stereo)", "(L+R) + (L-R) (sum-difference)",
        "LT+RT (left and right total)", "C+L+R", "L+R+S", "C+L+R+S", "L+R+SL+SR",
        "C+L+R+SL+SR", "CL+CR+L+R+SL+SR", "C+L+R+LR+RR+OV", "CF+CR+LF+RD+LR+RR",
        "CL+C+CR+L+R+SL+SR", "CL+CR+L+R+SL1+SL2+SR1+SR2", "CL+C+CR+L+R+SL+S+SR"};
    for (int32_t amode = 0; amode < 16; ++amode)
        EXPECT_EQ(FormatChannelLabel(amode), expected[amode]) << "AMODE " << amode;

    for (int32_t amode : {16, 17, 40, 63, 64, -1, -16, INT32_MIN, INT32_MAX})
        EXPECT_EQ(FormatChannelLabel(amode), "User defined") << "AMODE " << amode;
}

// Every SFREQ with and without the doubling bit: catches a wrong table value, doubling on the
// wrong bit, and whole rates printed with "%f" (or fractional ones with "%d").
TEST(HeaderLabels, SampleRateEveryCodeAndDoubling)
{
    const char* plain[16] = {"0", "8", "16", "32", "0", "0", "11.025000", "22.050000",
                             "44.100000", "0", "0", "12", "24", "48", "0", "0"};
    const char* doubled[16] = {"0", "16", "32", "64", "0", "0", "22.050000", "44.100000",
                               "88.200000", "0", "0", "24", "48", "96", "0", "0"};
    for (uint32_t sfreq = 0; sfreq < 16; ++sfreq) {
        EXPECT_EQ(FormatSampleRateLabel(sfreq, 0), plain[sfreq]) << "SFREQ " << sfreq;
        EXPECT_EQ(FormatSampleRateLabel(sfreq, 1), plain[sfreq]) << "SFREQ " << sfreq;
        EXPECT_EQ(FormatSampleRateLabel(sfreq, 4), plain[sfreq]) << "SFREQ " << sfreq;
        EXPECT_EQ(FormatSampleRateLabel(sfreq, 2), doubled[sfreq]) << "SFREQ " << sfreq;
        EXPECT_EQ(FormatSampleRateLabel(sfreq, 3), doubled[sfreq]) << "SFREQ " << sfreq;
        EXPECT_EQ(FormatSampleRateLabel(sfreq, 6), doubled[sfreq]) << "SFREQ " << sfreq;
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
