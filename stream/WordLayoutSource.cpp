// Turns words stored in any of the four layouts into stream bytes.
#include "stream/WordLayoutSource.h"

#include <cstring>

void CWordLayoutSource::Reset(EInputKind eKind, IByteSource* pRaw)
{
    m_pRaw = pRaw;
    m_pLayout = &LayoutOf(eKind);
    m_Unpacker.Reset();
}

int CWordLayoutSource::ReadWords(uint8_t* pBytes, int nMaxWords)
{
    if (m_pRaw == nullptr || nMaxWords <= 0)
        return 0;
    const int nBytes = m_pRaw->Read(pBytes, nMaxWords * 2);
    // A trailing odd byte can only be the last byte of the input: it carries no whole word.
    return nBytes > 0 ? nBytes / 2 : 0;
}

int CWordLayoutSource::Read(uint8_t* pBytes, int nCount)
{
    if (m_pRaw == nullptr || nCount <= 0)
        return m_pRaw == nullptr ? -1 : 0;
    if (m_pLayout->bPacked14)
        return m_Unpacker.Unpack(pBytes, nCount, *this);
    const int nRead = m_pRaw->Read(pBytes, nCount);
    if (!m_pLayout->bBigEndian) {
        // Each little-endian word is handed out high byte first; a final odd byte stays as it is.
        // Whole words are swapped as 16-bit values, which compilers turn into vector code.
        for (int i = 0; i + 1 < nRead; i += 2) {
            uint16_t nWord;
            std::memcpy(&nWord, pBytes + i, 2);
            nWord = static_cast<uint16_t>((nWord << 8) | (nWord >> 8));
            std::memcpy(pBytes + i, &nWord, 2);
        }
    }
    return nRead;
}
