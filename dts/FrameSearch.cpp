// SPDX-License-Identifier: GPL-3.0-or-later
// The search for the next frame after damage or junk.
#include "dts/FrameSearch.h"

#include "dts/FrameHeader.h"
#include "dts/SyncWords.h"
#include "dts/input/InputKind.h"
#include "stream/BitReader.h"
#include "stream/BitStream.h"

namespace {

// Bytes looked at per window; a window overlaps the next by one pattern less a byte.
// A window holds the largest frame after a candidate near its start (see Judge).
constexpr int kWindow = 32 * 1024;
constexpr int kOverlap = 5;
// The largest frame (16384 bytes), a little of what follows it, and the search's next window.
constexpr int kConfirmAhead = 16384 + 64 + kWindow;

// The smallest FSIZE a frame can have (a frame of 96 bytes), and the rate of open-rate frames,
// which are FSIZE or FSIZE + 1 bytes long.
constexpr int kMinFSIZE = 95;
constexpr int kRateOpen = 29;

enum class ECandidate { RuledOut, Possible, Undecided };

// Whether the 16-bit candidate at p (nCount stream bytes from its sync; other candidates are all
// Possible) can be a frame, told
// from the bytes alone: not where its FSIZE is below the smallest, or where no sync follows its
// end (a core or a substream sync, the latter also after the padding to the next 4-byte boundary).
// The confirmation would read and refuse such a candidate all the same; telling it here keeps
// input made of syncs near the speed of plain searching. Undecided where the bytes end too soon.
ECandidate Judge(bool bStreamBytes, const uint8_t* p, int nCount)
{
    if (!bStreamBytes)
        return ECandidate::Possible;
    constexpr CoreFieldPlace kFSIZE = PlaceOf(&FrameHeader::FSIZE), kRATE = PlaceOf(&FrameHeader::RATE);
    if (nCount * 8 < kRATE.nAt + kRATE.nBits)
        return ECandidate::Undecided;
    CBitReader header(p, static_cast<size_t>(nCount), kFSIZE.nAt);
    const int nFSIZE = static_cast<int>(header.Take(kFSIZE.nBits));
    if (nFSIZE < kMinFSIZE)
        return ECandidate::RuledOut;
    header.SetPos(kRATE.nAt);
    const int nRATE = static_cast<int>(header.Take(kRATE.nBits));
    const int nShortest = nRATE == kRateOpen ? nFSIZE : nFSIZE + 1;
    if (nFSIZE + 1 + 3 + 4 > nCount)
        return ECandidate::Undecided;
    for (int nEnd = nShortest; nEnd <= nFSIZE + 1; ++nEnd) {
        const int nPadded = (nEnd + 3) & ~3;
        // Zeros after the end may pad the frame before the next.
        if (DtsSync::IsCoreAt(p + nEnd) || DtsSync::IsSubstreamAt(p + nEnd) || DtsSync::IsSubstreamAt(p + nPadded)
            || p[nEnd] == 0)
            return ECandidate::Possible;
    }
    return ECandidate::RuledOut;
}
} // namespace

CFrameSearch::Scan CFrameSearch::MakeScan(EWordLayout eLayout, bool bAnyLayout, int64_t nOrigin)
{
    if (bAnyLayout)
        return {EWordLayout::Words16BE, EWordLayout::Unknown, true, nOrigin, true};
    if (IsPacked14(eLayout))
        return {EWordLayout::Words16BE, eLayout, true, nOrigin, false};
    // 16-bit words are read as stream bytes, whatever their order.
    return {eLayout, eLayout, false, nOrigin, false};
}

EWordLayout CFrameSearch::CandidateAt(const Scan& scan, const uint8_t* pBytes, int nCount, int64_t nOffset)
{
    // Words start at an even distance from the origin; only plain 16-bit big-endian bytes may
    // start a frame anywhere, and any layout may before the first frame.
    const bool bWordBoundary = scan.bAnyOffset || ((nOffset - scan.nOrigin) & 1) == 0;
    if (!scan.bStored) {
        if (scan.eRead != EWordLayout::Words16BE && !bWordBoundary)
            return EWordLayout::Unknown;
        return nCount >= 4 && DtsSync::IsCoreAt(pBytes) ? scan.eWanted : EWordLayout::Unknown;
    }
    const EWordLayout eLayout = DetectWordLayout(pBytes, static_cast<size_t>(nCount));
    if (eLayout == EWordLayout::Unknown || (eLayout != EWordLayout::Words16BE && !bWordBoundary))
        return EWordLayout::Unknown;
    return scan.eWanted == EWordLayout::Unknown || eLayout == scan.eWanted ? eLayout : EWordLayout::Unknown;
}

int CFrameSearch::FirstCandidate(const Scan& scan, const uint8_t* pWindow, int nValid, int nLast, int64_t nPos,
                                 EWordLayout& eLayout)
{
    for (int i = 0; i < nLast; ++i) {
        i += DtsSync::FindLeadPair(pWindow + i, nLast - i);
        if (i >= nLast)
            break;
        eLayout = CandidateAt(scan, pWindow + i, nValid - i, nPos + i);
        if (eLayout != EWordLayout::Unknown)
            return i;
    }
    return -1;
}

bool CFrameSearch::IsConfirmed(CBitStream& in, int64_t nCandidate, EWordLayout eLayout, bool bAnyLayout,
                               const Confirm& confirm)
{
    // The first frame of a file of 14-bit words is where its offsets start counting.
    if (bAnyLayout)
        in.SetOrigin(nCandidate);
    if (!in.Reseat(nCandidate, eLayout))
        return false;
    // A frame and what follows it are read from the buffer, so that going back to the candidate,
    // or on to the next, reads nothing twice: input dense with syncs is searched in linear time.
    in.Prefetch(kConfirmAhead);
    return confirm(in) && in.Reseat(nCandidate, eLayout);
}

bool CFrameSearch::Find(CBitStream& in, int64_t nFrom, bool bAnyLayout, const Confirm& confirm, int64_t& nFound)
{
    nFound = -1;
    const EWordLayout eLayout = bAnyLayout ? EWordLayout::Words16BE : in.GetLayout();
    const Scan scan = MakeScan(eLayout, bAnyLayout, in.GetOrigin());
    int64_t nPos = bAnyLayout ? nFrom + 1 : in.NextWordAfter(nFrom, eLayout);
    if (!in.Reseat(nPos, scan.eRead))
        return false;
    uint8_t window[kWindow];
    while (!in.IsStopRequested()) {
        const int nValid = in.PeekBytes(window, kWindow);
        const int nLast = nValid == kWindow ? nValid - kOverlap : nValid;
        bool bTried = false;
        int nAdvance = nLast;
        const EWindow eWindow = ScanWindow(in, scan, bAnyLayout, confirm, window, nValid, nLast, nPos, bTried, nAdvance);
        if (eWindow == EWindow::Found) {
            nFound = in.GetBytePos();
            return true;
        }
        if (eWindow == EWindow::Stopped)
            return false;
        // The stream is still at the window's start unless a candidate was read; the window's end
        // is then most likely still buffered.
        const bool bMoved = bTried ? in.Reseat(nPos + nAdvance, scan.eRead) : nValid == kWindow && in.SkipBytes(nAdvance);
        if (nValid < kWindow || !bMoved) {
            nFound = bAnyLayout ? nPos + nValid : in.WalkOffsetOf(nPos + nValid, eLayout);
            return false;
        }
        nPos += nAdvance;
    }
    return false;
}

CFrameSearch::EWindow CFrameSearch::ScanWindow(CBitStream& in, const Scan& scan, bool bAnyLayout, const Confirm& confirm,
                                               const uint8_t* pWindow, int nValid, int nLast, int64_t nPos, bool& bTried,
                                               int& nAdvance)
{
    // Only 16-bit big-endian words may start a frame at an odd distance from the origin.
    const bool bOddStarts = (bAnyLayout ? EWordLayout::Words16BE : in.GetLayout()) == EWordLayout::Words16BE;
    int nTried = 0;
    nAdvance = nLast;
    // Each candidate that is no frame is passed within the window copied once: the bytes are not
    // copied again for the next.
    for (int i = 0; i < nLast && nValid - i >= 4;) {
        EWordLayout eLayout = EWordLayout::Unknown;
        const int nAt = FirstCandidate(scan, pWindow + i, nValid - i, nLast - i, nPos + i, eLayout);
        if (nAt < 0)
            break;
        const int64_t nCandidate = nPos + i + nAt;
        // The window's bytes are the stream's where the candidate is in 16-bit words as read.
        const bool bStreamBytes = !IsPacked14(eLayout) && (!scan.bStored || eLayout == EWordLayout::Words16BE);
        const ECandidate eJudged = Judge(bStreamBytes, pWindow + i + nAt, nValid - i - nAt);
        // A candidate the window cuts short starts the next window, unless it starts this one.
        if (eJudged == ECandidate::Undecided && i + nAt > 0 && nValid == kWindow) {
            nAdvance = i + nAt;
            return EWindow::Passed;
        }
        if (eJudged != ECandidate::RuledOut) {
            bTried = true;
            if (IsConfirmed(in, nCandidate, eLayout, bAnyLayout, confirm))
                return EWindow::Found;
        }
        // Input made of syncs has a candidate every few bytes: a stop is still heard at once.
        if (++nTried % 1024 == 0 && in.IsStopRequested())
            return EWindow::Stopped;
        const int64_t nNext = bOddStarts ? nCandidate + 1 : nCandidate + 2 - ((nCandidate - scan.nOrigin) & 1);
        i = static_cast<int>(nNext - nPos);
    }
    return EWindow::Passed;
}
