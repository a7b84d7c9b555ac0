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
        : m_p(p), m_nLimit(8 * nBytes), m_nPos(nPos), m_bSpent(nPos > m_nLimit)
    {
    }

    // The n (1..32) bits at bit nPos of p, first bit most significant. The eight bytes from
    // p + nPos / 8 must be readable; those past the field only fill bits that are shifted away.
    static uint32_t FieldAt(const uint8_t* p, uint64_t nPos, int n)
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
        return static_cast<uint32_t>((nWindow << (nPos & 7)) >> (64 - n));
    }

    // The next nWidth (at most 32) bits. A read past the limit gives 0 and spends the reader, so
    // a cut or damaged header is noticed once, where its fields are judged.
    uint32_t Take(unsigned nWidth)
    {
        if (m_bSpent || nWidth > m_nLimit - m_nPos) {
            m_bSpent = true;
            return 0;
        }
        const size_t nPos = m_nPos;
        m_nPos += nWidth;
        if (nWidth == 0)
            return 0;
        if ((nPos >> 3) + 8 <= m_nLimit >> 3)
            return FieldAt(m_p, nPos, static_cast<int>(nWidth));
        // Near the end the bytes left are read from a zeroed copy, never from past the end.
        uint8_t last[8] = {};
        std::memcpy(last, m_p + (nPos >> 3), (m_nLimit >> 3) - (nPos >> 3));
        return FieldAt(last, nPos & 7, static_cast<int>(nWidth));
    }
    bool Flag() { return Take(1) != 0; }
    void Skip(size_t nBits)
    {
        if (m_bSpent || nBits > m_nLimit - m_nPos)
            m_bSpent = true;
        else
            m_nPos += nBits;
    }
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
    const uint8_t* m_p;
    size_t m_nLimit;  // bits that may be read, counted from m_p
    size_t m_nPos;    // bits from m_p
    bool m_bSpent;
};
