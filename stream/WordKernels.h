// SPDX-License-Identifier: GPL-3.0-or-later
// The inner loops of the word layouts (the 14-bit unpack, the little-endian word swap): a portable form, and vector forms picked at run time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CWordKernels {
public:
    // Unpacks nGroups groups of four stored words (eight bytes) into seven stream bytes each:
    // writes exactly 7 * nGroups bytes to pOut, which must not overlap pIn.
    using UnpackFn = void (*)(const uint8_t* pIn, size_t nGroups, uint8_t* pOut);
    // Swaps the two bytes of each of nWords 16-bit words in place.
    using SwapFn = void (*)(uint8_t* pBytes, size_t nWords);

    constexpr CWordKernels(const char* pszName, UnpackFn pUnpackBigEndian, UnpackFn pUnpackLittleEndian, SwapFn pSwap)
        : m_pszName(pszName), m_pUnpackBigEndian(pUnpackBigEndian), m_pUnpackLittleEndian(pUnpackLittleEndian),
          m_pSwap(pSwap)
    {
    }

    // "scalar", "ssse3", "avx2" or "neon".
    const char* GetName() const { return m_pszName; }
    void Unpack14(bool bBigEndian, const uint8_t* pIn, size_t nGroups, uint8_t* pOut) const
    {
        (bBigEndian ? m_pUnpackBigEndian : m_pUnpackLittleEndian)(pIn, nGroups, pOut);
    }
    void SwapWords(uint8_t* pBytes, size_t nWords) const { m_pSwap(pBytes, nWords); }

    // The fastest set this processor runs, chosen on first use.
    static const CWordKernels& Best();
    // Every set this processor runs, the portable one first (every other set must hand out the
    // same bytes), so that tests can compare them.
    static std::vector<const CWordKernels*> Available();

private:
    const char* m_pszName;
    UnpackFn m_pUnpackBigEndian;
    UnpackFn m_pUnpackLittleEndian;
    SwapFn m_pSwap;
};
