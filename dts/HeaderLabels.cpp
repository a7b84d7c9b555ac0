// SPDX-License-Identifier: GPL-3.0-or-later
// Turns coded DTS core header fields into the short texts the lists show.
#include "dts/HeaderLabels.h"

#include <cstdio>

namespace {

// Channel arrangements by AMODE with their channel counts; codes 16 to 63 are user defined and
// have no entry.
struct ChannelArrangement {
    const char* pszLabel;
    int32_t nChannels;
};
const ChannelArrangement kChannelArrangements[16] = {
    {"A (mono)", 1},
    {"A+B (dual mono)", 2},
    {"L+R (stereo)", 2},
    {"(L+R) + (L-R) (sum-difference)", 2},
    {"LT+RT (left and right total)", 2},
    {"C+L+R", 3},
    {"L+R+S", 3},
    {"C+L+R+S", 4},
    {"L+R+SL+SR", 4},
    {"C+L+R+SL+SR", 5},
    {"CL+CR+L+R+SL+SR", 6},
    {"C+L+R+LR+RR+OV", 6},
    {"CF+CR+LF+RD+LR+RR", 6},
    {"CL+C+CR+L+R+SL+SR", 7},
    {"CL+CR+L+R+SL1+SL2+SR1+SR2", 8},
    {"CL+C+CR+L+R+SL+S+SR", 8},
};

// Core sampling frequencies in Hz by SFREQ; the codes the standard calls invalid hold 0.
const int32_t kSampleRatesHz[16] = {
    0, 8000, 16000, 32000, 0, 0, 11025, 22050, 44100, 0, 0, 12000, 24000, 48000, 0, 0,
};

// The three RATE codes that name no number, as the bit-rate table holds them.
constexpr double kRateOpen = -1;
constexpr double kRateVariable = -2;
constexpr double kRateLossless = -3;

// Targeted bit rates in kbit/s by RATE; every five-bit code has an entry.
const double kBitRatesKbps[32] = {
    32,   56,   64,   96,   112,  128,  192,    224,
    256,  320,  384,  448,  512,  576,  640,    768,
    960,  1024, 1152, 1280, 1344, 1408, 1411.2, 1472,
    1536, 1920, 2048, 3072, 3840, kRateOpen, kRateVariable, kRateLossless,
};

// Source PCM resolution by PCMR; the two invalid codes give 0 bits and no ES.
const int32_t kPcmResolutionBits[8] = {16, 16, 20, 20, 0, 24, 24, 0};
const uint8_t kPcmEsFlags[8] = {0, 1, 0, 1, 0, 1, 0, 0};

// Indexed by (EXT_AUDIO_ID bit 0) * 2 + ES flag.
const char* const kStreamTypes[4] = {"DTS", "DTS ES Matrix 6.1", "DTS ES Discrete 6.1", "DTS ???"};

} // namespace

std::string FormatBitRateLabel(uint32_t rate)
{
    // RATE is a five-bit field; masking keeps a wider value from indexing past the table.
    const double dKbps = kBitRatesKbps[rate & 0x1F];
    if (dKbps == kRateOpen)
        return "open";
    if (dKbps == kRateVariable)
        return "variable";
    if (dKbps == kRateLossless)
        return "Loss-less";
    char text[32];
    // %g: whole rates without decimals, 1411.2 with its one.
    std::snprintf(text, sizeof text, "%g", dKbps);
    return text;
}

std::string FormatChannelLabel(int32_t amode)
{
    if (amode < 0 || amode > 15)
        return "User defined";
    return kChannelArrangements[amode].pszLabel;
}

int32_t ChannelCount(int32_t amode)
{
    return amode < 0 || amode > 15 ? 0 : kChannelArrangements[amode].nChannels;
}

std::string FormatSampleRateLabel(uint32_t sfreq, uint32_t extAudioId)
{
    const int32_t nHz = SampleRateHz(sfreq, extAudioId);
    char text[64];
    // Whole kHz as "%d", the 44.1 kHz family as "%f".
    if (nHz % 1000 == 0)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(nHz / 1000));
    else
        std::snprintf(text, sizeof text, "%f", nHz / 1000.0);
    return text;
}

std::string FormatStreamTypeLabel(uint32_t extAudioId, uint32_t pcmr, uint32_t sfreq)
{
    const uint32_t code = pcmr & 0x07;
    const char* type = kStreamTypes[(extAudioId & 1) * 2 + kPcmEsFlags[code]];
    const std::string rate = FormatSampleRateLabel(sfreq, extAudioId);
    char text[96];
    std::snprintf(text, sizeof text, "%s %d/%s", type, static_cast<int>(kPcmResolutionBits[code]), rate.c_str());
    return text;
}

int32_t PcmResolutionBits(uint32_t pcmr)
{
    return kPcmResolutionBits[pcmr & 0x07];
}

int32_t DialNormDb(uint32_t vernum, uint32_t dialNorm)
{
    // DIALNORM is four bits; masking keeps the magnitude within the field's 0..31 dB range.
    if (vernum == 7)
        return -static_cast<int32_t>(dialNorm & 0x0F);
    if (vernum == 6)
        return -(16 + static_cast<int32_t>(dialNorm & 0x0F));
    return 0;
}

std::string FormatDialNormLabel(uint32_t vernum, uint32_t dialNorm)
{
    char text[32];
    std::snprintf(text, sizeof text, "-%d dB", static_cast<int>(-DialNormDb(vernum, dialNorm)));
    return text;
}

double BitRateKbps(uint32_t rate)
{
    const double dKbps = kBitRatesKbps[rate & 0x1F];
    return dKbps >= 0 ? dKbps : -1;
}

int32_t SampleRateHz(uint32_t sfreq, uint32_t extAudioId)
{
    // SFREQ is a four-bit field; masking keeps a wider value from indexing past the table.
    return kSampleRatesHz[sfreq & 0x0F] * ((extAudioId & 2) != 0 ? 2 : 1);
}
