// Turns coded DTS core header fields into the short texts the lists show.
#include "dts/HeaderLabels.h"

#include <cmath>
#include <cstdio>

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

std::string FormatDialNormLabel(uint32_t vernum, uint32_t dialNorm)
{
    // DIALNORM is four bits; masking keeps the magnitude within the field's 0..31 dB range.
    int magnitude = 0;
    if (vernum == 7)
        magnitude = static_cast<int>(dialNorm & 0x0F);
    else if (vernum == 6)
        magnitude = 16 + static_cast<int>(dialNorm & 0x0F);
    char text[32];
    std::snprintf(text, sizeof text, "-%d dB", magnitude);
    return text;
}
