// SPDX-License-Identifier: GPL-3.0-or-later
// Hand-built DTS core frames for the frame-loop, job and command-line tests, laid out bit by bit
// with the test support's field writer (independent of the code under test).
#pragma once

#include <cstdint>
#include <vector>

#include "support/StreamVariants.h"

struct FrameSpec {
    uint32_t fsize = 99;     // the frame takes fsize + 1 bytes (fsize bytes with RATE 29)
    uint32_t amode = 2;      // L+R
    uint32_t sfreq = 13;     // 48 kHz
    uint32_t rate = 15;      // 768
    uint32_t lff = 0;
    uint32_t extAudioId = 0;
    uint32_t pcmr = 0;       // 16 bits
    uint32_t vernum = 7;
    uint32_t dialnorm = 0;
    bool cpf = false;
    uint32_t hcrc = 0;
    uint8_t bodySeed = 1;    // the body is a counting pattern from this byte
};

// Header:
//   SYNC 32 | FTYPE 1 | SHORT 5 | CPF 1 | NBLKS 7 | FSIZE 14 | AMODE 6 | SFREQ 4 | RATE 5 |
//   MIX DYNF TIMEF AUXF HDCD 1 each | EXT_AUDIO_ID 3 | EXT_AUDIO 1 | ASPF 1 | LFF 2 | HFLAG 1 |
//   [HCRC 16] | FILTS 1 | VERNUM 4 | CHIST 2 | PCMR 3 | SUMF 1 | SUMS 1 | DIALNORM 4
inline std::vector<uint8_t> MakeFrame(const FrameSpec& s)
{
    const size_t nLength = s.rate == 29 ? s.fsize : s.fsize + 1;
    std::vector<uint8_t> f(nLength < 16 ? 16 : nLength, 0);
    SetHeaderField(f, 0, 32, 0x7FFE8001);
    SetHeaderField(f, 32, 1, 1);        // FTYPE: normal frame
    SetHeaderField(f, 33, 5, 31);       // SHORT
    SetHeaderField(f, DtsBits::kCPF, 1, s.cpf ? 1 : 0);
    SetHeaderField(f, 39, 7, 15);       // NBLKS
    SetHeaderField(f, DtsBits::kFSIZE, 14, s.fsize);
    SetHeaderField(f, DtsBits::kAMODE, 6, s.amode);
    SetHeaderField(f, DtsBits::kSFREQ, 4, s.sfreq);
    SetHeaderField(f, DtsBits::kRATE, 5, s.rate);
    SetHeaderField(f, DtsBits::kEXT_AUDIO_ID, 3, s.extAudioId);
    SetHeaderField(f, DtsBits::kLFF, 2, s.lff);
    SetHeaderField(f, 87, 1, 1);        // HFLAG
    const size_t shift = s.cpf ? 16 : 0;
    if (s.cpf)
        SetHeaderField(f, DtsBits::kHCRC, 16, s.hcrc);
    SetHeaderField(f, DtsBits::kVERNUM + shift, 4, s.vernum);
    SetHeaderField(f, 93 + shift, 2, 3); // CHIST
    SetHeaderField(f, DtsBits::kPCMR + shift, 3, s.pcmr);
    SetHeaderField(f, DtsBits::kDIALNORM + shift, 4, s.dialnorm);
    const size_t nHeader = s.cpf ? 15 : 13;
    uint8_t b = s.bodySeed;
    for (size_t i = nHeader; i < f.size(); ++i)
        f[i] = b++;
    f.resize(nLength > nHeader ? nLength : nHeader);
    return f;
}

inline void Append(std::vector<uint8_t>& stream, const std::vector<uint8_t>& bytes)
{
    stream.insert(stream.end(), bytes.begin(), bytes.end());
}

// n frames made from spec, one after another (n frames of the default spec without one).
inline std::vector<uint8_t> RepeatFrame(const FrameSpec& spec, int n)
{
    const std::vector<uint8_t> frame = MakeFrame(spec);
    std::vector<uint8_t> s;
    for (int i = 0; i < n; ++i)
        Append(s, frame);
    return s;
}
inline std::vector<uint8_t> RepeatFrame(int n)
{
    return RepeatFrame(FrameSpec{}, n);
}
