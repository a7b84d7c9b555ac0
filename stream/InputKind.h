// SPDX-License-Identifier: GPL-3.0-or-later
// What kind of input a file is, told from its first bytes: a pure function and the table behind it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stream/SyncWords.h"

// The kinds of input, told apart by content. The four word layouts are also how the data chunk
// of a WAVE file may store its stream.
enum class EInputKind { Unknown, Wave, Words16BE, Words16LE, Words14BE, Words14LE };

// How one word layout stores the stream.
struct WordLayout {
    EInputKind eKind;
    const DtsSync::StoredSync* pSync;  // the start of a frame as stored
    bool bBigEndian;                   // the first byte of each word is its high byte
    bool bPacked14;                    // each word carries 14 payload bits (bits 13..0)
    const char* pszName;               // "16-bit BE", "14-bit LE"...
};

// The four word layouts, in the order they are tried.
extern const WordLayout kWordLayouts[4];

// RIFF: Wave; a frame start in one of the word layouts: that layout; anything else (too short
// included): Unknown.
EInputKind DetectInputKind(const uint8_t* pBytes, size_t nCount);
// Only the word layouts: the one whose frame start pBytes holds, or Unknown.
EInputKind DetectWordLayout(const uint8_t* pBytes, size_t nCount);
// True when the bytes start a movie container (Matroska, MP4/MOV, MPEG-TS or M2TS, MPEG-PS):
// a build without a container reader tells such a file apart from a damaged stream with it.
// pBytes should hold the file's first 600 bytes (three M2TS packets) where it has them.
bool LooksLikeContainer(const uint8_t* pBytes, size_t nCount);
// The table entry of a word layout; Words16BE for any other kind.
const WordLayout& LayoutOf(EInputKind eKind);
