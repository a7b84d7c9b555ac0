// Turns 16-bit words carrying 14 payload bits each (bits 13..0) into stream bytes, most significant bit first.
#include "stream/Unpacker14.h"

CUnpacker14::CUnpacker14()
    : m_Words(kWordCapacity)
{
}

void CUnpacker14::Reset()
{
    m_nWordIndex = 0;
    m_nWordCount = 0;
    m_nCurrentWord = 0;
    m_nInBitIndex = -1;
    m_nOutByte = 0;
    m_nOutBitIndex = 7;
}

int CUnpacker14::Unpack(uint8_t* pBuffer, int nCount, IWordSource& source)
{
    int nProduced = 0;
    while (nProduced < nCount) {
        if (m_nInBitIndex < 0) {
            if (m_nWordIndex >= m_nWordCount) {
                const int nWords = source.ReadWords(m_Words.data(), kWordCapacity);
                m_nWordCount = nWords > 0 ? nWords : 0;
                m_nWordIndex = 0;
                if (m_nWordCount == 0)
                    return nProduced > 0 ? nProduced : -1;
            }
            // Bits 14 and 15 are padding in the 14-bit packing and are never looked at.
            m_nCurrentWord = static_cast<uint16_t>(m_Words[m_nWordIndex++] & 0x3FFF);
            m_nInBitIndex = 13;
        }
        if ((m_nCurrentWord >> m_nInBitIndex) & 1)
            m_nOutByte = static_cast<uint8_t>(m_nOutByte | (1 << m_nOutBitIndex));
        --m_nInBitIndex;
        --m_nOutBitIndex;
        if (m_nOutBitIndex < 0) {
            pBuffer[nProduced++] = m_nOutByte;
            m_nOutByte = 0;
            m_nOutBitIndex = 7;
        }
    }
    return nProduced;
}
