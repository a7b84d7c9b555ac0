// Word source over an open standard file, taking each pair of bytes in the order the file stores them.
#include "stream/FileWordSource.h"

#include <bit>

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
    // The bytes land in the word buffer itself, so each word already holds its two bytes in
    // the file's order; only a file whose order differs from the machine's needs them swapped.
    const size_t nBytes = std::fread(pWords, 1, static_cast<size_t>(nMaxWords) * 2, m_pFile);
    // A trailing odd byte can only be the last byte of the file: it carries no whole word.
    const int nWords = static_cast<int>(nBytes / 2);
    const bool bMachineBigEndian = std::endian::native == std::endian::big;
    if (m_bBigEndian != bMachineBigEndian) {
        for (int i = 0; i < nWords; ++i)
            pWords[i] = static_cast<uint16_t>((pWords[i] << 8) | (pWords[i] >> 8));
    }
    return nWords;
}
