// The search for the next frame after damage or junk.
#include "dts/FrameSearch.h"

#include "stream/BitStream.h"
#include "stream/SyncWords.h"

namespace {

// Bytes looked at per window; a window overlaps the next by one pattern less a byte.
constexpr int kWindow = 16 * 1024;
constexpr int kOverlap = 5;
} // namespace

CFrameSearch::Scan CFrameSearch::MakeScan(EInputKind eLayout, bool bAnyLayout, int64_t nOrigin)
{
    if (bAnyLayout)
        return {EInputKind::Words16BE, EInputKind::Unknown, true, nOrigin, true};
    if (LayoutOf(eLayout).bPacked14)
        return {EInputKind::Words16BE, eLayout, true, nOrigin, false};
    // 16-bit words are read as stream bytes, whatever their order.
    return {eLayout, eLayout, false, nOrigin, false};
}

EInputKind CFrameSearch::CandidateAt(const Scan& scan, const uint8_t* pBytes, int nCount, int64_t nOffset)
{
    // Words start at an even distance from the origin; only plain 16-bit big-endian bytes may
    // start a frame anywhere, and any layout may before the first frame.
    const bool bWordBoundary = scan.bAnyOffset || ((nOffset - scan.nOrigin) & 1) == 0;
    if (!scan.bStored) {
        if (scan.eRead != EInputKind::Words16BE && !bWordBoundary)
            return EInputKind::Unknown;
        return nCount >= 4 && DtsSync::IsCoreAt(pBytes) ? scan.eWanted : EInputKind::Unknown;
    }
    const EInputKind eKind = DetectWordLayout(pBytes, static_cast<size_t>(nCount));
    if (eKind == EInputKind::Unknown || (eKind != EInputKind::Words16BE && !bWordBoundary))
        return EInputKind::Unknown;
    return scan.eWanted == EInputKind::Unknown || eKind == scan.eWanted ? eKind : EInputKind::Unknown;
}

int CFrameSearch::FirstCandidate(const Scan& scan, const uint8_t* pWindow, int nValid, int nLast, int64_t nPos,
                                 EInputKind& eKind)
{
    for (int i = 0; i < nLast; ++i) {
        i += DtsSync::FindLeadPair(pWindow + i, nLast - i);
        if (i >= nLast)
            break;
        eKind = CandidateAt(scan, pWindow + i, nValid - i, nPos + i);
        if (eKind != EInputKind::Unknown)
            return i;
    }
    return -1;
}

bool CFrameSearch::IsConfirmed(CBitStream& in, int64_t nCandidate, EInputKind eKind, bool bAnyLayout,
                               const Confirm& confirm)
{
    // The first frame of a file of 14-bit words is where its offsets start counting.
    if (bAnyLayout)
        in.SetOrigin(nCandidate);
    return in.Reseat(nCandidate, eKind) && confirm(in) && in.Reseat(nCandidate, eKind);
}

bool CFrameSearch::Find(CBitStream& in, int64_t nFrom, bool bAnyLayout, const Confirm& confirm, int64_t& nFound)
{
    nFound = -1;
    const EInputKind eLayout = bAnyLayout ? EInputKind::Words16BE : in.GetLayout();
    const int64_t nOrigin = in.GetOrigin();
    const Scan scan = MakeScan(eLayout, bAnyLayout, nOrigin);
    // Only 16-bit big-endian words may start a frame at an odd distance from the origin.
    const bool bOddStarts = eLayout == EInputKind::Words16BE;
    auto next = [bOddStarts, nOrigin](int64_t n) { return bOddStarts ? n + 1 : n + 2 - ((n - nOrigin) & 1); };
    int64_t nPos = bAnyLayout ? nFrom + 1 : in.NextWordAfter(nFrom, eLayout);
    if (!in.Reseat(nPos, scan.eRead))
        return false;
    uint8_t window[kWindow];
    while (!in.IsStopRequested()) {
        const int nValid = in.PeekBytes(window, kWindow);
        const int nLast = nValid == kWindow ? nValid - kOverlap : nValid;
        EInputKind eKind = EInputKind::Unknown;
        const int nAt = nValid < 4 ? -1 : FirstCandidate(scan, window, nValid, nLast, nPos, eKind);
        if (nAt >= 0) {
            const int64_t nCandidate = nPos + nAt;
            if (IsConfirmed(in, nCandidate, eKind, bAnyLayout, confirm)) {
                nFound = in.GetBytePos();
                return true;
            }
            // Not a frame after all: the scan goes on after it.
            nPos = next(nCandidate);
            if (!in.Reseat(nPos, scan.eRead))
                return false;
            continue;
        }
        if (nValid < kWindow || !in.SkipBytes(nLast)) {
            nFound = bAnyLayout ? nPos + nValid : in.WalkOffsetOf(nPos + nValid, eLayout);
            return false;
        }
        nPos += nLast;
    }
    return false;
}
