// SPDX-License-Identifier: GPL-3.0-or-later
// The speaker activity mask of DTS-HD asset descriptors: one bit per speaker or pair of
// speakers, as ETSI TS 102 114 lays it out.
#pragma once

#include <cstdint>
#include <string>

namespace SpeakerMask {
// The bits that stand for a pair of speakers: L+R, SL+SR, LH+RH, LR+RR, CL+CR, LW+RW, LSS+RSS,
// LHS+RHS and LHR+RHR.
constexpr uint32_t kPairBits = 0xAE66;
// The two LFE bits: LFE and LFE2.
constexpr uint32_t kLfeBits = 0x1008;

// The channels nMask stands for, LFE included: a pair's bit counts twice.
int Channels(uint32_t nMask);
// The LFE channels among them.
int LfeChannels(uint32_t nMask);
// The speakers of nMask in the core's speaker names, LFE last ("C+L+R+SL+SR+LFE").
std::string SpeakerNames(uint32_t nMask);
} // namespace SpeakerMask
