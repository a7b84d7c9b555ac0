// Turns coded DTS core header fields into the short texts the lists show.
#include "dts/HeaderLabels.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Channel arrangements by AMODE; codes 16 to 63 are user defined and have no entry.
const char* const kChannelLabels[16] = {
    "A (mono)",
    "A+B (dual mono)",
    "L+R (stereo)",
    "(L+R) + (L-R) (sum-difference)",
    "LT+RT (left and right total)",
    "C+L+R",
    "L+R+S",
    "C+L+R+S",
    "L+R+SL+SR",
    "C+L+R+SL+SR",
    "CL+CR+L+R+SL+SR",
    "C+L+R+LR+RR+OV",
    "CF+CR+LF+RD+LR+RR",
    "CL+C+CR+L+R+SL+SR",
    "CL+CR+L+R+SL1+SL2+SR1+SR2",
    "CL+C+CR+L+R+SL+S+SR",
};

// Core sampling frequencies in kHz by SFREQ; the codes marked invalid hold 0.
const double kSampleRatesKHz[16] = {
    0, 8, 16, 32, 0, 0, 11.025, 22.05, 44.1, 0, 0, 12, 24, 48, 0, 0,
};

// Targeted bit rates in kbit/s by RATE; every five-bit code has a text.
const char* const kBitRateLabels[32] = {
    "32",   "56",   "64",   "96",   "112",  "128",  "192",    "224",
    "256",  "320",  "384",  "448",  "512",  "576",  "640",    "768",
    "960",  "1024", "1152", "1280", "1344", "1408", "1411.2", "1472",
    "1536", "1920", "2048", "3072", "3840", "open", "variable", "Loss-less",
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
    return kBitRateLabels[rate & 0x1F];
}

std::string FormatChannelLabel(int32_t amode)
{
    if (amode < 0 || amode > 15)
        return "User defined";
    return kChannelLabels[amode];
}

std::string FormatSampleRateLabel(uint32_t sfreq, uint32_t extAudioId)
{
    double kHz = kSampleRatesKHz[sfreq & 0x0F];
    if (extAudioId & 2)
        kHz *= 2;
    double whole = 0;
    char text[64];
    if (std::modf(kHz, &whole) == 0.0)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(kHz));
    else
        std::snprintf(text, sizeof text, "%f", kHz);
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

int32_t ChannelCount(int32_t amode)
{
    static const int32_t kChannels[16] = {1, 2, 2, 2, 2, 3, 3, 4, 4, 5, 6, 6, 6, 7, 8, 8};
    return amode < 0 || amode > 15 ? 0 : kChannels[amode];
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
    const char* pszLabel = kBitRateLabels[rate & 0x1F];
    // Every numeric label starts with a digit; the three named rates do not.
    if (pszLabel[0] < '0' || pszLabel[0] > '9')
        return -1;
    return std::atof(pszLabel);
}

int32_t SampleRateHz(uint32_t sfreq, uint32_t extAudioId)
{
    double kHz = kSampleRatesKHz[sfreq & 0x0F];
    if (extAudioId & 2)
        kHz *= 2;
    return static_cast<int32_t>(std::lround(kHz * 1000));
}
