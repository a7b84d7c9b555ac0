// Turns 16-bit words carrying 14 payload bits each (bits 13..0) into stream bytes, most significant bit first.
#include "stream/Unpacker14.h"

#include <algorithm>
#include <cstddef>

namespace {

// Bits 14 and 15 are padding in the 14-bit packing and are never looked at.
constexpr uint64_t kPayloadMask = 0x3FFF;

// One store of eight bytes, most significant first; compilers merge it into a swap and a store.
inline void StoreBigEndian64(uint8_t* p, uint64_t nValue)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(nValue >> (56 - 8 * i));
}

}  // namespace

CUnpacker14::CUnpacker14()
    : m_Words(kWordCapacity)
{
}

void CUnpacker14::Reset()
{
    m_nWordIndex = 0;
    m_nWordCount = 0;
    m_nPending = 0;
    m_nPendingBits = 0;
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
                if (m_nWordCount == 0)
                    return nProduced > 0 ? nProduced : -1;
            }
            // Four words make exactly seven bytes, leaving the pending bits (fewer than 8) as
            // they were; taken in blocks while the words, and room for an eight-byte store, are there.
            const int nBlocks = std::min((m_nWordCount - m_nWordIndex) / 4, (nCount - nProduced - 1) / 7);
            if (nBlocks > 0) {
                nProduced += UnpackBlocks(m_Words.data() + m_nWordIndex, nBlocks, pBuffer + nProduced);
                m_nWordIndex += 4 * nBlocks;
            }
            if (nProduced >= nCount)
                break;
            if (m_nWordIndex >= m_nWordCount)
                continue;
            m_nPending = (m_nPending << 14) | (m_Words[static_cast<std::size_t>(m_nWordIndex++)] & kPayloadMask);
            m_nPendingBits += 14;
        }
        while (m_nPendingBits >= 8 && nProduced < nCount) {
            m_nPendingBits -= 8;
            pBuffer[nProduced++] = static_cast<uint8_t>(m_nPending >> m_nPendingBits);
        }
    }
    return nProduced;
}

int CUnpacker14::UnpackBlocks(const uint16_t* pWords, int nBlocks, uint8_t* pOut)
{
    // Locals, not members: stores through the byte pointer would otherwise make the compiler
    // reload every member after each block.
    const int nLeft = m_nPendingBits;
    // The pending bits sit at the top of the first 64-bit value written.
    uint64_t nLead = (m_nPending << (63 - nLeft)) << 1;
    uint64_t nBlock = 0;
    for (int i = 0; i < nBlocks; ++i, pWords += 4, pOut += 7) {
        nBlock = ((pWords[0] & kPayloadMask) << 42) | ((pWords[1] & kPayloadMask) << 28)
                 | ((pWords[2] & kPayloadMask) << 14) | (pWords[3] & kPayloadMask);
        // nLeft pending bits, then the 56 bits of the block: the first 56 are seven whole bytes.
        StoreBigEndian64(pOut, nLead | (nBlock << (8 - nLeft)));
        // The block's last nLeft bits are the new pending bits.
        nLead = (nBlock << (63 - nLeft)) << 1;
    }
    m_nPending = nBlock;
    return 7 * nBlocks;
}
