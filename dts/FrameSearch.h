// The search for the next frame after damage or junk: scans the input for a core sync and
// lets the caller confirm each candidate.
#pragma once

#include <cstdint>
#include <functional>

#include "stream/InputKind.h"

class CBitStream;

class CFrameSearch {
public:
    // Tells whether the frame at the input's current position is a real one (the caller reads
    // it and looks at what follows). The input may be left anywhere.
    using Confirm = std::function<bool(CBitStream&)>;

    // Looks for the first confirmed frame after offset nFrom. bAnyLayout: the input's layout is
    // not known yet (a plain file that does not start with a frame), so every word layout's sync
    // is looked for as stored. On success the input is positioned at the frame, read in its
    // layout, and nFound is its offset. False where the input ends first (nFound is then the
    // offset of its end), is stopped or cannot be searched (nFound is -1; 14-bit words are not
    // searched yet).
    static bool Find(CBitStream& in, int64_t nFrom, bool bAnyLayout, const Confirm& confirm, int64_t& nFound);

private:
    // The first candidate among the window's first nLast offsets (nValid bytes in all, the
    // first at offset nPos): its index, with its layout in eKind, or -1.
    static int FirstCandidate(const uint8_t* pWindow, int nValid, int nLast, int64_t nPos, bool bAnyLayout,
                              EInputKind eLayout, EInputKind& eKind);
    // The layout whose frame starts at pBytes (nCount of them), or Unknown.
    static EInputKind CandidateAt(const uint8_t* pBytes, int nCount, int64_t nOffset, bool bAnyLayout, EInputKind eLayout);
};
