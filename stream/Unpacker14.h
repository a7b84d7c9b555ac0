// SPDX-License-Identifier: GPL-3.0-or-later
// Turns 16-bit words carrying 14 payload bits each (bits 13..0) into stream bytes, most significant bit first.
#pragma once

#include <cstdint>
#include <vector>

#include "stream/IWordSource.h"
#include "stream/WordKernels.h"

class CUnpacker14 {
public:
    // Words asked of the source per refill: 128 KiB of file per read, so that the system calls
    // cost little beside the unpacking while the buffer the system copies into stays in the
    // processor's cache (256 KiB made a 14-bit inspect a third slower).
    static constexpr int kWordCapacity = 64 * 1024;

    CUnpacker14();

    // The inner loop to unpack whole groups with: CWordKernels::Best() unless a test picks another.
    void SetKernels(const CWordKernels& kernels) { m_pKernels = &kernels; }

    // Forgets every partly used word, partly filled byte and buffered word: done for each new file.
    void Reset();
    // Produces nCount bytes into pBuffer, refilling words from source as needed. At the end of
    // the words: the bytes produced in this call if any, otherwise -1. Bits that do not fill a
    // whole byte at the end are never handed out. A word is taken from the buffer, and the
    // buffer refilled, only when a byte still wanted needs its bits.
    int Unpack(uint8_t* pBuffer, int nCount, IWordSource& source);

private:
    // Refills the word buffer once it is used up; false when the source has no word left.
    bool HaveWords(IWordSource& source);
    // Moves the next buffered word into the pending bits.
    void TakeWord();

    const CWordKernels* m_pKernels = &CWordKernels::Best();
    std::vector<uint8_t> m_Words;   // allocated once; kWordCapacity words as stored
    bool m_bBigEndian = true;       // byte order of the buffered words
    int m_nWordIndex = 0;           // next word of m_Words to unpack
    int m_nWordCount = 0;           // whole words the last refill delivered
    // Payload bits taken from words but not yet handed out, in the low m_nPendingBits bits
    // (fewer than 8 between calls unless a call ended with its count reached). Once fewer than 8,
    // none are pending exactly when the words taken since Reset are a multiple of four: only
    // then does a whole group start at a byte of the output.
    uint64_t m_nPending = 0;
    int m_nPendingBits = 0;
};
