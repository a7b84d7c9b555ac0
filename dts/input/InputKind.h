// SPDX-License-Identifier: GPL-3.0-or-later
// What kind of input a file is, told from its first bytes: a pure function and the table behind it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dts/SyncWords.h"
#include "stream/WordLayout.h"

// The kinds of input, told apart by content: a plain file is of the word layout its first frame
// is stored in.
enum class EInputKind { Unknown, Wave, Words16BE, Words16LE, Words14BE, Words14LE };

// How a frame starts in one word layout, and what the input kind and the report call it.
struct WordLayout {
    EWordLayout eLayout;
    EInputKind eKind;
    const DtsSync::StoredSync* pSync;  // the start of a frame as stored
    const char* pszName;               // "16-bit BE", "14-bit LE"...
};

// RIFF: Wave; a frame start in one of the word layouts: that layout; anything else (too short
// included): Unknown.
EInputKind DetectInputKind(const uint8_t* pBytes, size_t nCount);
// Only the word layouts: the one whose frame start pBytes holds, or Unknown.
EWordLayout DetectWordLayout(const uint8_t* pBytes, size_t nCount);
// True when the bytes start a movie container (Matroska, MP4/MOV, MPEG-TS or M2TS, MPEG-PS):
// a build without a container reader tells such a file apart from a damaged stream with it.
// pBytes should hold the file's first 600 bytes (three M2TS packets) where it has them.
bool LooksLikeContainer(const uint8_t* pBytes, size_t nCount);
// The table entry of a word layout; Words16BE's for Unknown.
const WordLayout& LayoutOf(EWordLayout eLayout);
