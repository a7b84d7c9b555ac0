// Word source over an open standard file, taking each pair of bytes in the order the file stores them.
#include "stream/FileWordSource.h"

CFileWordSource::CFileWordSource(bool bBigEndian)
    : m_bBigEndian(bBigEndian)
{
}

void CFileWordSource::Attach(std::FILE* pFile)
{
    m_pFile = pFile;
}

int CFileWordSource::ReadWords(uint16_t* pWords, int nMaxWords)
{
    if (m_pFile == nullptr || nMaxWords <= 0)
        return 0;
    // The bytes land in the word buffer itself and are turned into words in place: word i is
    // built only from its own two bytes, so no byte is overwritten before it is used.
    auto* pBytes = reinterpret_cast<uint8_t*>(pWords);
    const size_t nBytes = std::fread(pBytes, 1, static_cast<size_t>(nMaxWords) * 2, m_pFile);
    // A trailing odd byte can only be the last byte of the file: it carries no whole word.
    const int nWords = static_cast<int>(nBytes / 2);
    for (int i = 0; i < nWords; ++i) {
        const uint8_t nFirst = pBytes[2 * i];
        const uint8_t nSecond = pBytes[2 * i + 1];
        pWords[i] = m_bBigEndian ? static_cast<uint16_t>((nFirst << 8) | nSecond)
                                 : static_cast<uint16_t>((nSecond << 8) | nFirst);
    }
    return nWords;
}
