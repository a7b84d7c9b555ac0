// SPDX-License-Identifier: GPL-3.0-or-later
// Where a sync may start: the loop a search for a frame spends its time in.
#include "dts/SyncWords.h"

#include <bit>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace DtsSync {

namespace {

inline bool IsLeadByte(uint8_t n)
{
    return (n | 0x80) == 0xFF || n == 0xFE || n == 0x1F;
}

#if defined(__SSE2__) || defined(_M_X64)
// Bit i set where byte i of the 16 at p is a lead byte. SSE2 is part of every x86-64.
inline uint64_t LeadByteMask(const uint8_t* p)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i nHigh = _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(static_cast<char>(0x80))),
                                         _mm_set1_epi8(static_cast<char>(0xFF)));
    const __m128i nOther = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xFE))),
                                        _mm_cmpeq_epi8(v, _mm_set1_epi8(0x1F)));
    return static_cast<uint16_t>(_mm_movemask_epi8(_mm_or_si128(nHigh, nOther)));
}
#endif

} // namespace

int FindLeadPairPlain(const uint8_t* p, int nCount)
{
    for (int i = 0; i < nCount; ++i) {
        if (IsLeadByte(p[i]) && (i + 1 == nCount || IsLeadByte(p[i + 1])))
            return i;
    }
    return nCount < 0 ? 0 : nCount;
}

int FindLeadPair(const uint8_t* p, int nCount)
{
    int i = 0;
#if defined(__SSE2__) || defined(_M_X64)
    // 64 bytes at a time; the last byte's partner is in the next block, so it is taken as a
    // candidate and looked at closely.
    for (; i + 64 <= nCount; i += 64) {
        const uint64_t nLead = LeadByteMask(p + i) | (LeadByteMask(p + i + 16) << 16)
                               | (LeadByteMask(p + i + 32) << 32) | (LeadByteMask(p + i + 48) << 48);
        const uint64_t nPairs = nLead & ((nLead >> 1) | (uint64_t{1} << 63));
        if (nPairs == 0)
            continue;
        const int nAt = i + std::countr_zero(nPairs);
        // A lone lead byte at the block's end is no pair unless the next byte is one too.
        if (nAt != i + 63 || i + 64 == nCount || IsLeadByte(p[i + 64]))
            return nAt;
    }
#endif
    return i + FindLeadPairPlain(p + i, nCount - i);
}

} // namespace DtsSync
