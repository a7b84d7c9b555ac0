// Where the 14-bit unpacker takes its 16-bit words from: a plain file (big-endian) or a WAVE data chunk (little-endian).
#pragma once

#include <cstdint>

class IWordSource {
public:
    virtual ~IWordSource() = default;
    // Up to nMaxWords whole words into pWords; the number delivered, 0 at the end or on a read error.
    virtual int ReadWords(uint16_t* pWords, int nMaxWords) = 0;
};
