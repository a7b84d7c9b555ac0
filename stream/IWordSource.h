// SPDX-License-Identifier: GPL-3.0-or-later
// Where the 14-bit unpacker takes its 16-bit words from: a plain file (big-endian) or a WAVE data chunk (little-endian).
#pragma once

#include <cstdint>

class IWordSource {
public:
    virtual ~IWordSource() = default;
    // Up to nMaxWords whole words into pBytes, two bytes each in the order they are stored; the
    // number of words delivered, 0 at the end or on a read error. The unpacker takes the bytes
    // as they are, so no pass over them is spent on turning them into machine words.
    virtual int ReadWords(uint8_t* pBytes, int nMaxWords) = 0;
    // True when the first byte of each word is its high byte.
    virtual bool IsBigEndian() const = 0;
};
