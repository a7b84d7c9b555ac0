// SPDX-License-Identifier: GPL-3.0-or-later
// The fields of a DTS core frame header, named and ordered as in ETSI TS 102 114, and the one
// table of their widths that both the reader and the writer of headers walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

struct FrameHeader {
    uint32_t SYNC = 0;         // sync word, 0x7FFE8001
    uint32_t FTYPE = 0;        // frame type (1 = normal)
    uint32_t SHORT = 0;        // deficit sample count
    uint32_t CPF = 0;          // CRC present flag
    uint32_t NBLKS = 0;        // number of PCM sample blocks
    uint32_t FSIZE = 0;        // primary frame byte size minus 1
    uint32_t AMODE = 0;        // audio channel arrangement
    uint32_t SFREQ = 0;        // core audio sampling frequency
    uint32_t RATE = 0;         // transmission bit rate
    uint32_t MIX = 0;          // embedded down-mix enabled
    uint32_t DYNF = 0;         // embedded dynamic range flag
    uint32_t TIMEF = 0;        // embedded time stamp flag
    uint32_t AUXF = 0;         // auxiliary data flag
    uint32_t HDCD = 0;         // HDCD
    uint32_t EXT_AUDIO_ID = 0; // extension audio descriptor
    uint32_t EXT_AUDIO = 0;    // extended coding flag
    uint32_t ASPF = 0;         // audio sync word insertion flag
    uint32_t LFF = 0;          // low frequency effects flag
    uint32_t HFLAG = 0;        // predictor history flag switch
    uint32_t HCRC = 0;         // header CRC, present only when CPF is 1 (else 0)
    uint32_t FILTS = 0;        // multirate interpolator switch
    uint32_t VERNUM = 0;       // encoder software revision
    uint32_t CHIST = 0;        // copy history
    uint32_t PCMR = 0;         // source PCM resolution
    uint32_t SUMF = 0;         // front sum/difference flag
    uint32_t SUMS = 0;         // surrounds sum/difference flag
    uint32_t DIALNORM = 0;     // dialog normalisation parameter
};

// One header field after SYNC: where it is kept, its width in bits, and whether it is present
// only in frames that carry a header CRC (CPF 1).
struct CoreHeaderField {
    uint32_t FrameHeader::*pValue;
    int nBits;
    bool bOnlyWithCRC;
};

// The fields after the 32-bit SYNC, in stream order.
inline constexpr CoreHeaderField kCoreHeaderFields[] = {
    {&FrameHeader::FTYPE, 1, false},        {&FrameHeader::SHORT, 5, false},
    {&FrameHeader::CPF, 1, false},          {&FrameHeader::NBLKS, 7, false},
    {&FrameHeader::FSIZE, 14, false},       {&FrameHeader::AMODE, 6, false},
    {&FrameHeader::SFREQ, 4, false},        {&FrameHeader::RATE, 5, false},
    {&FrameHeader::MIX, 1, false},          {&FrameHeader::DYNF, 1, false},
    {&FrameHeader::TIMEF, 1, false},        {&FrameHeader::AUXF, 1, false},
    {&FrameHeader::HDCD, 1, false},         {&FrameHeader::EXT_AUDIO_ID, 3, false},
    {&FrameHeader::EXT_AUDIO, 1, false},    {&FrameHeader::ASPF, 1, false},
    {&FrameHeader::LFF, 2, false},          {&FrameHeader::HFLAG, 1, false},
    {&FrameHeader::HCRC, 16, true},         {&FrameHeader::FILTS, 1, false},
    {&FrameHeader::VERNUM, 4, false},       {&FrameHeader::CHIST, 2, false},
    {&FrameHeader::PCMR, 3, false},         {&FrameHeader::SUMF, 1, false},
    {&FrameHeader::SUMS, 1, false},         {&FrameHeader::DIALNORM, 4, false},
};

// Calls fn with each field of kCoreHeaderFields in order. Expanded at compile time, so that a
// header read through it costs what field-by-field code costs: it runs for every frame.
template <class Fn>
inline void ForEachCoreHeaderField(Fn&& fn)
{
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (fn(kCoreHeaderFields[I]), ...);
    }(std::make_index_sequence<std::size(kCoreHeaderFields)>{});
}

// Where a field before HCRC (whose presence moves the fields after it) stands in a header's
// bytes: its first bit counted from the start of SYNC, and its width.
struct CoreFieldPlace {
    int nAt;
    int nBits;
};
constexpr CoreFieldPlace PlaceOf(uint32_t FrameHeader::*pValue)
{
    int nAt = 32;
    for (const CoreHeaderField& field : kCoreHeaderFields) {
        if (field.pValue == pValue)
            return {nAt, field.nBits};
        nAt += field.nBits;
    }
    return {-1, 0};
}
