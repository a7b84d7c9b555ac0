// Turns 16-bit words carrying 14 payload bits each (bits 13..0) into stream bytes, most significant bit first.
#pragma once

#include <cstdint>
#include <vector>

#include "stream/IWordSource.h"

class CUnpacker14 {
public:
    static constexpr int kWordCapacity = 2048;

    CUnpacker14();

    // Forgets every partly used word, partly filled byte and buffered word: done for each new file.
    void Reset();
    // Produces nCount bytes into pBuffer, refilling words from source as needed. At the end of
    // the words: the bytes produced in this call if any, otherwise -1. Bits that do not fill a
    // whole byte at the end are never handed out.
    int Unpack(uint8_t* pBuffer, int nCount, IWordSource& source);

private:
    std::vector<uint16_t> m_Words;  // allocated once; kWordCapacity words
    int m_nWordIndex = 0;           // next word of m_Words to unpack
    int m_nWordCount = 0;           // whole words the last refill delivered
    uint16_t m_nCurrentWord = 0;    // 14 payload bits of the word being unpacked
    int m_nInBitIndex = -1;         // next bit of m_nCurrentWord, 13..0; -1 when used up
    uint8_t m_nOutByte = 0;         // byte being built
    int m_nOutBitIndex = 7;         // next bit of m_nOutByte to fill, 7..0
};
