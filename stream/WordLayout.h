// SPDX-License-Identifier: GPL-3.0-or-later
// How a stream's bits are stored in 16-bit words: the byte order, and 16 or 14 payload bits a word.
#pragma once

// Unknown: not told yet, and read as the bytes are stored (as Words16BE).
enum class EWordLayout { Unknown, Words16BE, Words16LE, Words14BE, Words14LE };

// The first byte of each word is its high byte.
constexpr bool IsBigEndian(EWordLayout e) { return e != EWordLayout::Words16LE && e != EWordLayout::Words14LE; }
// Each word carries 14 payload bits (bits 13..0).
constexpr bool IsPacked14(EWordLayout e) { return e == EWordLayout::Words14BE || e == EWordLayout::Words14LE; }
