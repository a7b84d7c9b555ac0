// SPDX-License-Identifier: GPL-3.0-or-later
// Bounded bit reader over bytes in memory.
#include "stream/BitReader.h"

uint32_t CBitReader::TakeNearEnd(size_t nPos, unsigned nWidth) const
{
    // The bytes left are read from a zeroed copy, never from past the end.
    const size_t nFirst = nPos >> 3;
    uint8_t last[8] = {};
    std::memcpy(last, m_p + nFirst, m_nBytes - nFirst);
    return FieldAt(last, nPos & 7, static_cast<int>(nWidth));
}
