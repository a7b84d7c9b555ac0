// SPDX-License-Identifier: GPL-3.0-or-later
// The search for the next frame after damage or junk: scans the input for a core sync and
// lets the caller confirm each candidate.
#pragma once

#include <cstdint>
#include <functional>

#include "stream/WordLayout.h"

class CBitStream;

class CFrameSearch {
public:
    // Tells whether the frame at the input's current position is a real one (the caller reads
    // it and looks at what follows). The input may be left anywhere.
    using Confirm = std::function<bool(CBitStream&)>;

    // Looks for the first confirmed frame after walk offset nFrom. bAnyLayout: the input's layout
    // is not known yet (a plain file that does not start with a frame), so every word layout's
    // sync is looked for as stored. 14-bit words are searched as stored too, at every word
    // boundary. On success the input is positioned at the frame, read in its layout, and nFound
    // is its walk offset. False where the input ends first (nFound is then the offset of its
    // end), is stopped or cannot be positioned (nFound is -1).
    static bool Find(CBitStream& in, int64_t nFrom, bool bAnyLayout, const Confirm& confirm, int64_t& nFound);

private:
    // How a window of the search ended.
    enum class EWindow { Passed, Found, Stopped };
    // What is scanned for: the layout the input is read in while scanning (Words16BE is the
    // bytes as stored), and which layouts a candidate may be in.
    struct Scan {
        EWordLayout eRead;       // the layout the window is read in
        EWordLayout eWanted;     // a known layout, or Unknown for any
        bool bStored;           // candidates are stored sync patterns (not stream bytes)
        // Where words start: at an even distance from nOrigin, or anywhere while the layout is not
        // known (junk of any length may come before a file's first frame).
        int64_t nOrigin;
        bool bAnyOffset;
    };
    static Scan MakeScan(EWordLayout eLayout, bool bAnyLayout, int64_t nOrigin);
    // The first candidate among the window's first nLast offsets (nValid bytes in all, the
    // first at offset nPos): its index, with its layout in eLayout, or -1.
    static int FirstCandidate(const Scan& scan, const uint8_t* pWindow, int nValid, int nLast, int64_t nPos,
                              EWordLayout& eLayout);
    // Confirms the candidates among the first nLast of the nValid bytes of pWindow, copied from
    // stored offset nPos, in order. Found leaves the input at the frame; bTried tells whether any
    // candidate was read (the input is then anywhere); nAdvance how far the next window starts
    // (nLast, or a candidate the window cut short).
    static EWindow ScanWindow(CBitStream& in, const Scan& scan, bool bAnyLayout, const Confirm& confirm,
                              const uint8_t* pWindow, int nValid, int nLast, int64_t nPos, bool& bTried,
                              int& nAdvance);
    // Whether the candidate at stored offset nCandidate in layout eLayout is a frame; if so the
    // input is left at it.
    static bool IsConfirmed(CBitStream& in, int64_t nCandidate, EWordLayout eLayout, bool bAnyLayout, const Confirm& confirm);
    // The layout whose frame starts at pBytes (nCount of them, at offset nOffset), or Unknown.
    static EWordLayout CandidateAt(const Scan& scan, const uint8_t* pBytes, int nCount, int64_t nOffset);
};
