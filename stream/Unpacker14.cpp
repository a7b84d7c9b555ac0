// SPDX-License-Identifier: GPL-3.0-or-later
// Turns 16-bit words carrying 14 payload bits each (bits 13..0) into stream bytes, most significant bit first.
#include "stream/Unpacker14.h"

#include <algorithm>
#include <cstddef>

namespace {

// Bits 14 and 15 are padding in the 14-bit packing and are never looked at.
constexpr uint64_t kPayloadMask = 0x3FFF;

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

bool CUnpacker14::HaveWords(IWordSource& source)
{
    if (m_nWordIndex < m_nWordCount)
        return true;
    const int nWords = source.ReadWords(m_Words.data(), kWordCapacity);
    m_nWordCount = nWords > 0 ? nWords : 0;
    m_nWordIndex = 0;
    m_bBigEndian = source.IsBigEndian();
    return m_nWordCount > 0;
}

void CUnpacker14::TakeWord()
{
    const uint8_t* p = m_Words.data() + 2 * static_cast<std::size_t>(m_nWordIndex++);
    const uint64_t nWord = m_bBigEndian ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0];
    m_nPending = (m_nPending << 14) | (nWord & kPayloadMask);
    m_nPendingBits += 14;
}

int CUnpacker14::Unpack(uint8_t* pBuffer, int nCount, IWordSource& source)
{
    int nProduced = 0;
    while (nProduced < nCount) {
        if (m_nPendingBits < 8) {
            if (!HaveWords(source))
                return nProduced > 0 ? nProduced : -1;
            // Whole groups while the words, and the bytes wanted, are there. Otherwise one word
            // at a time, which also brings the pending bits back to none within three words.
            const int nGroups = m_nPendingBits == 0 ? std::min((m_nWordCount - m_nWordIndex) / 4, (nCount - nProduced) / 7) : 0;
            if (nGroups > 0) {
                const uint8_t* pIn = m_Words.data() + 2 * static_cast<std::size_t>(m_nWordIndex);
                m_pKernels->Unpack14(m_bBigEndian, pIn, static_cast<std::size_t>(nGroups), pBuffer + nProduced);
                m_nWordIndex += 4 * nGroups;
                nProduced += 7 * nGroups;
                continue;
            }
            TakeWord();
        }
        while (m_nPendingBits >= 8 && nProduced < nCount) {
            m_nPendingBits -= 8;
            pBuffer[nProduced++] = static_cast<uint8_t>(m_nPending >> m_nPendingBits);
        }
    }
    return nProduced;
}
