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

int CFileWordSource::ReadWords(uint8_t* pBytes, int nMaxWords)
{
    if (m_pFile == nullptr || nMaxWords <= 0)
        return 0;
    const size_t nBytes = std::fread(pBytes, 1, static_cast<size_t>(nMaxWords) * 2, m_pFile);
    // A trailing odd byte can only be the last byte of the file: it carries no whole word.
    return static_cast<int>(nBytes / 2);
}
