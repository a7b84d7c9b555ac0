// The 27 fields of a DTS core frame header, in the order and with the names of ETSI TS 102 114.
#pragma once

#include <cstdint>

struct FrameHeader {
    uint32_t SYNC = 0;         // 32 bits, 0x7FFE8001
    uint32_t FTYPE = 0;        // 1: frame type (1 = normal)
    uint32_t SHORT = 0;        // 5: deficit sample count
    uint32_t CPF = 0;          // 1: CRC present flag
    uint32_t NBLKS = 0;        // 7: number of PCM sample blocks
    uint32_t FSIZE = 0;        // 14: primary frame byte size minus 1
    uint32_t AMODE = 0;        // 6: audio channel arrangement
    uint32_t SFREQ = 0;        // 4: core audio sampling frequency
    uint32_t RATE = 0;         // 5: transmission bit rate
    uint32_t MIX = 0;          // 1: embedded down-mix enabled
    uint32_t DYNF = 0;         // 1: embedded dynamic range flag
    uint32_t TIMEF = 0;        // 1: embedded time stamp flag
    uint32_t AUXF = 0;         // 1: auxiliary data flag
    uint32_t HDCD = 0;         // 1: HDCD
    uint32_t EXT_AUDIO_ID = 0; // 3: extension audio descriptor
    uint32_t EXT_AUDIO = 0;    // 1: extended coding flag
    uint32_t ASPF = 0;         // 1: audio sync word insertion flag
    uint32_t LFF = 0;          // 2: low frequency effects flag
    uint32_t HFLAG = 0;        // 1: predictor history flag switch
    uint32_t HCRC = 0;         // 16: header CRC, present only when CPF is 1 (else 0)
    uint32_t FILTS = 0;        // 1: multirate interpolator switch
    uint32_t VERNUM = 0;       // 4: encoder software revision
    uint32_t CHIST = 0;        // 2: copy history
    uint32_t PCMR = 0;         // 3: source PCM resolution
    uint32_t SUMF = 0;         // 1: front sum/difference flag
    uint32_t SUMS = 0;         // 1: surrounds sum/difference flag
    uint32_t DIALNORM = 0;     // 4: dialog normalisation parameter
};
