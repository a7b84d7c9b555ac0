// SPDX-License-Identifier: GPL-3.0-or-later
// Turns coded DTS core header fields into the short texts the lists show.
// Stateless; every function returns a new string that the caller owns.
#pragma once

#include <cstdint>
#include <string>

// Targeted bit rate in kbit/s by RATE (0..31), e.g. "1411.2", "open", "Loss-less".
std::string FormatBitRateLabel(uint32_t rate);
// Channel arrangement by AMODE; codes outside 0..15 (and negative ones) give "User defined".
std::string FormatChannelLabel(int32_t amode);
// The number of channels of arrangement AMODE (without LFE); 0 for a user-defined code.
int32_t ChannelCount(int32_t amode);
// "<type> <bits>/<rate>", e.g. "DTS 24/48", "DTS ES Matrix 6.1 16/48".
std::string FormatStreamTypeLabel(uint32_t extAudioId, uint32_t pcmr, uint32_t sfreq);
// Dialog normalisation as "-%d dB".
std::string FormatDialNormLabel(uint32_t vernum, uint32_t dialNorm);
// Sample rate in kHz, doubled when bit 1 of EXT_AUDIO_ID is set; "%d" when whole, else "%f".
std::string FormatSampleRateLabel(uint32_t sfreq, uint32_t extAudioId);

// The same values as numbers, for typed reports.

// Targeted bit rate in kbit/s, or a negative value where the label is not a number ("open",
// "variable", "Loss-less").
double BitRateKbps(uint32_t rate);
// The sample rate the stream-type label shows, in Hz (doubled as the label is); 0 for a code
// the standard calls invalid.
int32_t SampleRateHz(uint32_t sfreq, uint32_t extAudioId);
// Bits of source PCM resolution by PCMR; 0 for the two invalid codes.
int32_t PcmResolutionBits(uint32_t pcmr);
// The attenuation the dialog-normalisation label shows, as a number <= 0.
int32_t DialNormDb(uint32_t vernum, uint32_t dialNorm);
