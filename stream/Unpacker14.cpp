// Turns 16-bit words carrying 14 payload bits each (bits 13..0) into stream bytes, most significant bit first.
#include "stream/Unpacker14.h"

#include <cstddef>

namespace {

// Bits 14 and 15 are padding in the 14-bit packing and are never looked at.
constexpr uint64_t kPayloadMask = 0x3FFF;

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
            // they were; taken in blocks while the words and the room for them are there.
            const uint16_t* pWords = m_Words.data();
            while (m_nWordCount - m_nWordIndex >= 4 && nCount - nProduced >= 7) {
                const uint16_t* w = pWords + m_nWordIndex;
                const uint64_t nBlock = ((w[0] & kPayloadMask) << 42) | ((w[1] & kPayloadMask) << 28)
                                        | ((w[2] & kPayloadMask) << 14) | (w[3] & kPayloadMask);
                // The pending bits lead; whatever lies above them has been handed out already.
                const uint64_t nLead = m_nPendingBits > 0 ? m_nPending << (64 - m_nPendingBits) : 0;
                const uint64_t nBits = nLead | (nBlock << (8 - m_nPendingBits));
                // nBits now holds 56 + m_nPendingBits bits at its top; the first 56 are the bytes.
                uint8_t* pOut = pBuffer + nProduced;
                for (int i = 0; i < 7; ++i)
                    pOut[i] = static_cast<uint8_t>(nBits >> (56 - 8 * i));
                m_nPending = (nBits >> (8 - m_nPendingBits)) & ((uint64_t{1} << m_nPendingBits) - 1);
                m_nWordIndex += 4;
                nProduced += 7;
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
