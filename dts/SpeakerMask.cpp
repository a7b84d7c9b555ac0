// SPDX-License-Identifier: GPL-3.0-or-later
// The speaker activity mask of DTS-HD asset descriptors.
#include "dts/SpeakerMask.h"

#include <bit>

namespace {

// The speakers of each mask bit, in the names the core's channel arrangements use.
const char* const kSpeakerNames[16] = {"C",  "L+R",   "SL+SR",   "LFE",  "S",       "LH+RH", "LR+RR",   "CH",
                                       "OV", "CL+CR", "LW+RW",   "LSS+RSS", "LFE2", "LHS+RHS", "CHR", "LHR+RHR"};

} // namespace

int SpeakerMask::Channels(uint32_t nMask)
{
    return std::popcount(nMask) + std::popcount(nMask & kPairBits);
}

int SpeakerMask::LfeChannels(uint32_t nMask)
{
    return std::popcount(nMask & kLfeBits);
}

std::string SpeakerMask::SpeakerNames(uint32_t nMask)
{
    std::string strMain;
    std::string strLfe;
    for (int nBit = 0; nBit < 16; ++nBit) {
        if ((nMask & (1u << nBit)) == 0)
            continue;
        std::string& str = ((1u << nBit) & kLfeBits) ? strLfe : strMain;
        if (!str.empty())
            str += '+';
        str += kSpeakerNames[nBit];
    }
    return strLfe.empty() ? strMain : strMain + "+" + strLfe;
}
