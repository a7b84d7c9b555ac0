// Turns 16-bit words carrying 14 payload bits each (bits 13..0) into stream bytes, most significant bit first.
#pragma once

#include <cstdint>
#include <vector>

#include "stream/IWordSource.h"

class CUnpacker14 {
public:
    // Words asked of the source per refill: 256 KiB of file per read, so that the system calls
    // cost little beside the unpacking.
    static constexpr int kWordCapacity = 128 * 1024;

    CUnpacker14();

    // Forgets every partly used word, partly filled byte and buffered word: done for each new file.
    void Reset();
    // Produces nCount bytes into pBuffer, refilling words from source as needed. At the end of
    // the words: the bytes produced in this call if any, otherwise -1. Bits that do not fill a
    // whole byte at the end are never handed out. A word is taken from the buffer, and the
    // buffer refilled, only when a byte still wanted needs its bits.
    int Unpack(uint8_t* pBuffer, int nCount, IWordSource& source);

private:
    // Unpacks nBlocks groups of four buffered words into seven bytes each; pOut must have room
    // for 7 * nBlocks + 1 bytes (each group is stored as eight). Returns the bytes produced.
    int UnpackBlocks(int nBlocks, uint8_t* pOut);

    std::vector<uint8_t> m_Words;   // allocated once; kWordCapacity words as stored
    bool m_bBigEndian = true;       // byte order of the buffered words
    int m_nWordIndex = 0;           // next word of m_Words to unpack
    int m_nWordCount = 0;           // whole words the last refill delivered
    // Payload bits taken from words but not yet handed out, in the low m_nPendingBits bits
    // (fewer than 8 between calls unless a call ended with its count reached).
    uint64_t m_nPending = 0;
    int m_nPendingBits = 0;
};
