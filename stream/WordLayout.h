// SPDX-License-Identifier: GPL-3.0-or-later
// How a stream's bits are stored in 16-bit words: the byte order, and 16 or 14 payload bits a word.
#pragma once

// Unknown: not told yet, and read as the bytes are stored (as Words16BE).
enum class EWordLayout { Unknown, Words16BE, Words16LE, Words14BE, Words14LE };

// The first byte of each word is its high byte.
constexpr bool IsBigEndian(EWordLayout eLayout)
{
    return eLayout != EWordLayout::Words16LE && eLayout != EWordLayout::Words14LE;
}
// Each word carries 14 payload bits (bits 13..0).
constexpr bool IsPacked14(EWordLayout eLayout)
{
    return eLayout == EWordLayout::Words14BE || eLayout == EWordLayout::Words14LE;
}
