// SPDX-License-Identifier: GPL-3.0-or-later
// Turns words stored in any of the four layouts into stream bytes.
#include "stream/WordLayoutSource.h"

void CWordLayoutSource::Reset(EWordLayout eLayout, IByteSource* pRaw)
{
    m_pRaw = pRaw;
    m_eLayout = eLayout;
    m_Unpacker.Reset();
}

void CWordLayoutSource::SetKernels(const CWordKernels& kernels)
{
    m_pKernels = &kernels;
    m_Unpacker.SetKernels(kernels);
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
    if (IsPacked14(m_eLayout))
        return m_Unpacker.Unpack(pBytes, nCount, *this);
    const int nRead = m_pRaw->Read(pBytes, nCount);
    // Each little-endian word is handed out high byte first; a final odd byte stays as it is.
    if (!::IsBigEndian(m_eLayout) && nRead > 1)
        m_pKernels->SwapWords(pBytes, static_cast<size_t>(nRead / 2));
    return nRead;
}
