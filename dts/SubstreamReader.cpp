// SPDX-License-Identifier: GPL-3.0-or-later
// The extension substreams that follow a core frame.
#include "dts/SubstreamReader.h"

#include <algorithm>
#include <cstring>

#include "dts/SyncWords.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"

namespace {

// Decoders expect a substream at the 4-byte boundary after a core frame, zeros before it.
constexpr int kAlign = 4;
constexpr int kMostPadding = kAlign - 1;
constexpr int kSyncBytes = 4;
// Substreams are written in blocks an int can count, whatever the size type holds.
constexpr size_t kWriteBlock = size_t{1} << 20;

// Zeros from the end of a core frame of nLength bytes to its next 4-byte boundary.
int PaddingAfter(int32_t nLength)
{
    return (kAlign - nLength % kAlign) % kAlign;
}

// A substream that would have ended at nEnd was cut short by the end of the input.
EExtensionKind CutShort(bool& bCutShort, SubstreamLook* pLook, int64_t nEnd, EExtensionKind eKind)
{
    bCutShort = true;
    if (pLook != nullptr)
        pLook->nCutEnd = nEnd;
    return eKind;
}

// Whether the next substream read is the first one, whose facts pLook asks for.
bool WantsFacts(const SubstreamLook* pLook)
{
    return pLook != nullptr && (pLook->bWantFacts || pLook->bLookForDtsX) && !pLook->bRead;
}

bool OnlyOne(const SubstreamLook* pLook)
{
    return pLook != nullptr && pLook->bOnlyOne;
}

} // namespace

int CSubstreamReader::StartIn(const uint8_t* p, int nCount, int32_t nFrameLength)
{
    if (nCount >= kSyncBytes && DtsSync::IsSubstreamAt(p))
        return 0;
    const int nPad = PaddingAfter(nFrameLength);
    if (nPad == 0 || nCount < nPad + kSyncBytes || !DtsSync::IsSubstreamAt(p + nPad))
        return -1;
    for (int i = 0; i < nPad; ++i) {
        if (p[i] != 0)
            return -1;
    }
    return nPad;
}

int CSubstreamReader::FindStart(CBitStream& in, int32_t nFrameLength)
{
    uint8_t ahead[kMostPadding + kSyncBytes];
    return StartIn(ahead, in.PeekBytes(ahead, PaddingAfter(nFrameLength) + kSyncBytes), nFrameLength);
}

void CSubstreamReader::Look(CBitStream& in, int nSize, const SubstreamInfo& info, SubstreamLook* pLook)
{
    if (pLook == nullptr || pLook->bRead)
        return;
    SubstreamLook& look = *pLook;
    look.bRead = true;
    look.first = info;
    // The lossless frame is looked into once, so its bytes are peeked at even when the walk
    // steps over the substream.
    if (look.bLookForDtsX && info.best.bLossless) {
        std::vector<uint8_t> bytes(static_cast<size_t>(nSize));
        const int nPeeked = in.PeekBytes(bytes.data(), nSize);
        look.bDtsX = CarriesDtsX(bytes.data(), static_cast<size_t>(nPeeked), info);
    }
}

EExtensionKind CSubstreamReader::ReadAfterFrame(CBitStream& in, int32_t nFrameLength, std::vector<uint8_t>& substreams,
                                                bool& bCutShort, bool bKeep, SubstreamLook* pLook)
{
    substreams.clear();
    EExtensionKind eKind = EExtensionKind::None;
    // Counted whether kept or not, so a walk that writes nothing reports the same frames.
    int64_t nRun = 0;
    int nStart = FindStart(in, nFrameLength);
    while (nStart >= 0) {
        const int nSizeBytes = nStart + static_cast<int>(kSizeFieldBytes);
        uint8_t window[kMostPadding + kSizeFieldBytes];
        int nHeaderSize = 0;
        int nSize = 0;
        if (in.PeekBytes(window, nSizeBytes) < nSizeBytes) {
            bCutShort = true;
            return eKind;
        }
        if (!ReadSubstreamSizes(window + nStart, kSizeFieldBytes, nHeaderSize, nSize)
            || EndsRunAfterCore(nRun, std::max(nHeaderSize, nSize)))
            break;
        const int64_t nEnd = in.GetBytePos() + nStart + nSize;
        // The header is looked at before anything is taken, so that a substream whose CRC fails
        // is left in place as damage; the padding before it is not kept (the writer lays it anew).
        const size_t nAt = substreams.size();
        const int nHeaderBytes = nStart + nHeaderSize;
        substreams.resize(nAt + static_cast<size_t>(bKeep ? std::max(nHeaderBytes, nSize) : nHeaderBytes));
        SubstreamInfo info;
        if (in.PeekBytes(substreams.data() + nAt, nHeaderBytes) < nHeaderBytes) {
            substreams.resize(nAt);
            return CutShort(bCutShort, pLook, nEnd, eKind);
        }
        if (!ParseSubstream(substreams.data() + nAt + nStart, static_cast<size_t>(nHeaderSize), info, WantsFacts(pLook))
            || !info.bCrcOk) {
            substreams.resize(nAt);
            return eKind;
        }
        in.SkipBytes(nStart);
        Look(in, nSize, info, pLook);
        // Stepped over, not copied, when nothing is written.
        const bool bWhole = bKeep ? in.ReadBytes(substreams.data() + nAt, nSize) == nSize : in.SkipBytes(nSize);
        substreams.resize(bWhole && bKeep ? nAt + static_cast<size_t>(nSize) : nAt);
        if (!bWhole)
            return CutShort(bCutShort, pLook, nEnd, eKind);
        nRun += nSize;
        eKind = StrongerKind(eKind, info.eKind);
        nStart = OnlyOne(pLook) ? -1 : FindStart(in, 0);
    }
    return eKind;
}

void CSubstreamReader::Write(COutBitStream& out, int32_t nWrittenLength, std::vector<uint8_t>& substreams,
                             bool bRemoveDialNorm)
{
    if (substreams.empty())
        return;
    static const uint8_t kZeros[kMostPadding] = {};
    out.PutBytes(kZeros, PaddingAfter(nWrittenLength));
    if (bRemoveDialNorm) {
        size_t nAt = 0;
        int nHeaderSize = 0;
        int nSize = 0;
        while (nAt < substreams.size()
               && ReadSubstreamSizes(substreams.data() + nAt, substreams.size() - nAt, nHeaderSize, nSize)) {
            NeutraliseDialNorm(substreams.data() + nAt, std::min(substreams.size() - nAt, static_cast<size_t>(nSize)));
            nAt += static_cast<size_t>(nSize);
        }
    }
    for (size_t nAt = 0; nAt < substreams.size();) {
        const int nBlock = static_cast<int>(std::min<size_t>(substreams.size() - nAt, kWriteBlock));
        out.PutBytes(substreams.data() + nAt, nBlock);
        nAt += static_cast<size_t>(nBlock);
    }
}
