// SPDX-License-Identifier: GPL-3.0-or-later
// Byte source over an open standard file.
#include "stream/FileByteSource.h"

#include <algorithm>

void CFileByteSource::Attach(std::FILE* pFile, int64_t nLimit)
{
    m_pFile = pFile;
    m_nLeft = nLimit;
    m_nPrefixAt = m_nPrefixEnd = 0;
}

void CFileByteSource::SetPrefix(const uint8_t* pBytes, int nCount)
{
    m_nPrefixAt = 0;
    m_nPrefixEnd = std::clamp(nCount, 0, kMaxPrefix);
    std::copy_n(pBytes, m_nPrefixEnd, m_Prefix);
}

int CFileByteSource::Read(uint8_t* pBytes, int nCount)
{
    if (m_pFile == nullptr || nCount <= 0)
        return 0;
    if (m_nLeft >= 0)
        nCount = static_cast<int>(std::min<int64_t>(nCount, m_nLeft));
    if (nCount == 0)
        return 0;
    if (m_nPrefixAt < m_nPrefixEnd) {
        const int nTake = std::min(nCount, m_nPrefixEnd - m_nPrefixAt);
        std::copy_n(m_Prefix + m_nPrefixAt, nTake, pBytes);
        m_nPrefixAt += nTake;
        if (m_nLeft >= 0)
            m_nLeft -= nTake;
        return nTake;
    }
    // A short read of a regular file is its end or a failure; the file's error flag tells which.
    const size_t nRead = std::fread(pBytes, 1, static_cast<size_t>(nCount), m_pFile);
    if (m_nLeft >= 0)
        m_nLeft -= static_cast<int64_t>(nRead);
    return static_cast<int>(nRead);
}
