// The search for the next frame after damage or junk.
#include "dts/FrameSearch.h"

#include "stream/BitStream.h"
#include "stream/SyncWords.h"

namespace {

// Bytes looked at per window; a window overlaps the next by one pattern less a byte.
constexpr int kWindow = 4096;
constexpr int kOverlap = 5;

} // namespace

EInputKind CFrameSearch::CandidateAt(const uint8_t* pBytes, int nCount, int64_t nOffset, bool bAnyLayout,
                                     EInputKind eLayout)
{
    // Words start at even offsets; only plain 16-bit big-endian bytes may start a frame anywhere.
    const bool bWordBoundary = (nOffset & 1) == 0;
    if (bAnyLayout) {
        const EInputKind eKind = DetectWordLayout(pBytes, static_cast<size_t>(nCount));
        return eKind == EInputKind::Words16BE || bWordBoundary ? eKind : EInputKind::Unknown;
    }
    if (eLayout != EInputKind::Words16BE && !bWordBoundary)
        return EInputKind::Unknown;
    // The input hands out stream bytes, whatever the layout: the sync as the stream has it.
    if (nCount < 4 || !DtsSync::IsCoreAt(pBytes))
        return EInputKind::Unknown;
    return eLayout;
}

int CFrameSearch::FirstCandidate(const uint8_t* pWindow, int nValid, int nLast, int64_t nPos, bool bAnyLayout,
                                 EInputKind eLayout, EInputKind& eKind)
{
    for (int i = 0; i < nLast; ++i) {
        eKind = CandidateAt(pWindow + i, nValid - i, nPos + i, bAnyLayout, eLayout);
        if (eKind != EInputKind::Unknown)
            return i;
    }
    return -1;
}

bool CFrameSearch::Find(CBitStream& in, int64_t nFrom, bool bAnyLayout, const Confirm& confirm, int64_t& nFound)
{
    nFound = -1;
    const EInputKind eLayout = bAnyLayout ? EInputKind::Words16BE : in.GetLayout();
    if (LayoutOf(eLayout).bPacked14)
        return false;
    // Little-endian words are read whole only from an even offset.
    auto align = [eLayout](int64_t n) { return eLayout == EInputKind::Words16BE ? n : (n + 1) & ~int64_t{1}; };
    int64_t nPos = align(nFrom + 1);
    if (!in.Reseat(nPos, eLayout))
        return false;
    uint8_t window[kWindow];
    while (!in.IsStopRequested()) {
        const int nValid = in.PeekBytes(window, kWindow);
        const int nLast = nValid == kWindow ? nValid - kOverlap : nValid;
        EInputKind eKind = EInputKind::Unknown;
        const int nAt = nValid < 4 ? -1 : FirstCandidate(window, nValid, nLast, nPos, bAnyLayout, eLayout, eKind);
        if (nAt >= 0) {
            const int64_t nCandidate = nPos + nAt;
            if (in.Reseat(nCandidate, eKind) && confirm(in) && in.Reseat(nCandidate, eKind)) {
                nFound = nCandidate;
                return true;
            }
            // Not a frame after all: the scan goes on from the byte after it.
            nPos = align(nCandidate + 1);
            if (!in.Reseat(nPos, eLayout))
                return false;
            continue;
        }
        if (nValid < kWindow || !in.SkipBytes(nLast)) {
            nFound = nPos + nValid;
            return false;
        }
        nPos += nLast;
    }
    return false;
}
