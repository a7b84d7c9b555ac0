// Turns 16-bit words carrying 14 payload bits each (bits 13..0) into stream bytes, most significant bit first.
#include "stream/Unpacker14.h"

#include <algorithm>
#include <cstddef>

namespace {

// Bits 14 and 15 are padding in the 14-bit packing and are never looked at.
constexpr uint64_t kPayloadMask = 0x3FFF;

// Compilers turn these byte-wise forms into single loads and stores (with a byte swap).
inline uint64_t LoadBigEndian64(const uint8_t* p)
{
    uint64_t nValue = 0;
    for (int i = 0; i < 8; ++i)
        nValue = (nValue << 8) | p[i];
    return nValue;
}

inline uint64_t LoadLittleEndian64(const uint8_t* p)
{
    uint64_t nValue = 0;
    for (int i = 7; i >= 0; --i)
        nValue = (nValue << 8) | p[i];
    return nValue;
}

inline void StoreBigEndian64(uint8_t* p, uint64_t nValue)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(nValue >> (56 - 8 * i));
}

// The 56 payload bits of four stored words, the first word's highest, from one 8-byte load.
template <bool bBigEndian>
inline uint64_t FourWords(const uint8_t* p)
{
    if constexpr (bBigEndian) {
        uint64_t x = LoadBigEndian64(p);  // words 0..3 from the top
        // Close the two-bit gaps within each half, then the four-bit gap between the halves.
        x = (x & 0x00003FFF00003FFF) | ((x & 0x3FFF00003FFF0000) >> 2);
        return (x & 0x0FFFFFFF) | ((x >> 4) & 0x00FFFFFFF0000000);
    } else {
        const uint64_t x = LoadLittleEndian64(p);  // words 0..3 from the bottom
        return ((x & kPayloadMask) << 42) | (((x >> 16) & kPayloadMask) << 28)
               | (((x >> 32) & kPayloadMask) << 14) | ((x >> 48) & kPayloadMask);
    }
}

// Four words make exactly seven bytes, so the nLeft (< 8) pending bits stay as many: they lead
// each 8-byte store, and the last nLeft bits of each group lead the next. Runs on locals only:
// stores through a byte pointer would make the compiler reload members after each one.
template <bool bBigEndian>
uint64_t UnpackGroups(const uint8_t* pIn, int nBlocks, uint8_t* pOut, uint64_t nPending, int nLeft)
{
    uint64_t nLead = (nPending << (63 - nLeft)) << 1;
    uint64_t nGroup = nPending;
    for (int i = 0; i < nBlocks; ++i, pIn += 8, pOut += 7) {
        nGroup = FourWords<bBigEndian>(pIn);
        StoreBigEndian64(pOut, nLead | (nGroup << (8 - nLeft)));
        nLead = (nGroup << (63 - nLeft)) << 1;
    }
    return nGroup;
}

}  // namespace

CUnpacker14::CUnpacker14()
    : m_Words(static_cast<std::size_t>(kWordCapacity) * 2)
{
}

void CUnpacker14::Reset()
{
    m_nWordIndex = 0;
    m_nWordCount = 0;
    m_nPending = 0;
    m_nPendingBits = 0;
}

int CUnpacker14::UnpackBlocks(int nBlocks, uint8_t* pOut)
{
    const uint8_t* pIn = m_Words.data() + 2 * static_cast<std::size_t>(m_nWordIndex);
    m_nPending = m_bBigEndian ? UnpackGroups<true>(pIn, nBlocks, pOut, m_nPending, m_nPendingBits)
                              : UnpackGroups<false>(pIn, nBlocks, pOut, m_nPending, m_nPendingBits);
    m_nWordIndex += 4 * nBlocks;
    return 7 * nBlocks;
}

int CUnpacker14::Unpack(uint8_t* pBuffer, int nCount, IWordSource& source)
{
    int nProduced = 0;
    while (nProduced < nCount) {
        if (m_nPendingBits < 8) {
            if (m_nWordIndex >= m_nWordCount) {
                const int nWords = source.ReadWords(m_Words.data(), kWordCapacity);
                m_nWordCount = nWords > 0 ? nWords : 0;
                m_nWordIndex = 0;
                m_bBigEndian = source.IsBigEndian();
                if (m_nWordCount == 0)
                    return nProduced > 0 ? nProduced : -1;
            }
            // Whole groups while the words, and room for an eight-byte store, are there.
            const int nBlocks = std::min((m_nWordCount - m_nWordIndex) / 4, (nCount - nProduced - 1) / 7);
            if (nBlocks > 0)
                nProduced += UnpackBlocks(nBlocks, pBuffer + nProduced);
            if (nProduced >= nCount)
                break;
            if (m_nWordIndex >= m_nWordCount)
                continue;
            const uint8_t* p = m_Words.data() + 2 * static_cast<std::size_t>(m_nWordIndex++);
            const uint64_t nWord = m_bBigEndian ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0];
            m_nPending = (m_nPending << 14) | (nWord & kPayloadMask);
            m_nPendingBits += 14;
        }
        while (m_nPendingBits >= 8 && nProduced < nCount) {
            m_nPendingBits -= 8;
            pBuffer[nProduced++] = static_cast<uint8_t>(m_nPending >> m_nPendingBits);
        }
    }
    return nProduced;
}
