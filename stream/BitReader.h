// SPDX-License-Identifier: GPL-3.0-or-later
// Bounded bit reader over bytes in memory, and the one field extraction every bit read uses.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

class CBitReader {
public:
    // Reads the nBytes bytes at p, most significant bit first, from bit nPos on.
    CBitReader(const uint8_t* p, size_t nBytes, size_t nPos = 0)
        : m_p(p), m_nBytes(nBytes), m_nPos(nPos), m_nLimit(8 * nBytes), m_bSpent(nPos > 8 * nBytes)
    {
    }

    // The n (1..32) bits at bit nPos of p, first bit most significant. The eight bytes from
    // p + nPos / 8 must be readable; those past the field only fill bits that are shifted away.
    static uint32_t FieldAt(const uint8_t* p, uint64_t nPos, int n);

    // The next nWidth bits; wider than 32 keeps the last 32. A read past the limit gives 0 and
    // spends the reader, so a cut or damaged header is noticed once, where its fields are judged.
    uint32_t Take(unsigned nWidth);
    bool Flag() { return Take(1) != 0; }
    void Skip(size_t nBits);
    // Steps forward to bit nPos; a position behind the current one spends the reader too.
    void SkipTo(size_t nPos) { Skip(nPos >= m_nPos ? nPos - m_nPos : m_nLimit + 1); }
    // Anywhere, backwards too; a position past the limit (a size field read from damaged bytes)
    // spends the reader.
    void SetPos(size_t nPos)
    {
        m_nPos = nPos;
        m_bSpent = m_bSpent || nPos > m_nLimit;
    }

    size_t GetPos() const { return m_nPos; }
    bool IsSpent() const { return m_bSpent; }

private:
    // Take for a field in the last eight bytes.
    uint32_t TakeNearEnd(size_t nPos, unsigned nWidth) const;

    const uint8_t* m_p;
    size_t m_nBytes;  // bytes readable at m_p
    size_t m_nPos;    // bits from m_p
    size_t m_nLimit;  // bits that may be read, counted from m_p
    bool m_bSpent;
};

// Every frame header is read through here, so it is inline.
inline uint32_t CBitReader::FieldAt(const uint8_t* p, uint64_t nPos, int n)
{
    uint64_t nWindow = 0;
    std::memcpy(&nWindow, p + (nPos >> 3), sizeof nWindow);
    if constexpr (std::endian::native == std::endian::little) {
        // A byte swap in the form compilers turn into one instruction.
        nWindow = ((nWindow & 0x00000000000000FFull) << 56) | ((nWindow & 0x000000000000FF00ull) << 40)
                  | ((nWindow & 0x0000000000FF0000ull) << 24) | ((nWindow & 0x00000000FF000000ull) << 8)
                  | ((nWindow & 0x000000FF00000000ull) >> 8) | ((nWindow & 0x0000FF0000000000ull) >> 24)
                  | ((nWindow & 0x00FF000000000000ull) >> 40) | ((nWindow & 0xFF00000000000000ull) >> 56);
    }
    // Eight bytes hold the n <= 32 bits wanted even from bit 7 of the first.
    nWindow <<= (nPos & 7);
    return static_cast<uint32_t>(nWindow >> (64 - n));
}

// Substream headers are read with these, field after field, so they are inline too.
inline uint32_t CBitReader::Take(unsigned nWidth)
{
    if (m_bSpent || nWidth > m_nLimit - m_nPos) {
        m_bSpent = true;
        return 0;
    }
    if (nWidth == 0)
        return 0;
    if (nWidth > 32) {
        m_nPos += nWidth - 32;
        nWidth = 32;
    }
    const size_t nPos = m_nPos;
    m_nPos += nWidth;
    if ((nPos >> 3) + 8 > m_nBytes)
        return TakeNearEnd(nPos, nWidth);
    return FieldAt(m_p, nPos, static_cast<int>(nWidth));
}

inline void CBitReader::Skip(size_t nBits)
{
    if (m_bSpent || nBits > m_nLimit - m_nPos)
        m_bSpent = true;
    else
        m_nPos += nBits;
}
