// SPDX-License-Identifier: GPL-3.0-or-later
// Byte source over bytes already in memory: for substream headers, tests and fuzzing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "stream/IByteSource.h"

class CMemoryByteSource : public IByteSource {
public:
    // The bytes must outlive the source.
    CMemoryByteSource(const uint8_t* pData, size_t nSize) : m_pData(pData), m_nSize(nSize) {}

    int Read(uint8_t* pBytes, int nCount) override
    {
        const size_t nTake = std::min(m_nSize - m_nPos, static_cast<size_t>(std::max(nCount, 0)));
        if (nTake > 0)
            std::memcpy(pBytes, m_pData + m_nPos, nTake);
        m_nPos += nTake;
        return static_cast<int>(nTake);
    }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nPos = 0;
};
