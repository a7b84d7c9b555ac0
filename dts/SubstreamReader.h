// SPDX-License-Identifier: GPL-3.0-or-later
// The extension substreams (DTS-HD) that follow a core frame: read after it, and written after
// its rebuilt copy at the 4-byte boundary decoders expect.
#pragma once

#include <cstdint>
#include <vector>

#include "dts/SubstreamHeader.h"

class CBitStream;
class COutBitStream;

// What a caller wants to know of the substreams beyond their kind, and is told.
struct SubstreamLook {
    bool bLookForDtsX = false;  // in: look into the first substream's lossless frame
    bool bOnlyOne = false;      // in: read one substream only (one frame of a stream without a core)
    bool bWantFacts = false;    // in: read what the first substream's assets say of the audio
    bool bRead = false;         // out: first holds the first substream's header
    SubstreamInfo first;        // out
    bool bDtsX = false;         // out: its lossless frame carries DTS:X object data
    // out: where a substream cut short by the end of the input would have ended (counted as
    // GetBytePos counts), or 0 where its size fields were cut too.
    int64_t nCutEnd = 0;
};

class CSubstreamReader {
public:
    // Reads every substream that follows a core frame of nFrameLength bytes (at its end, or at
    // the next multiple of 4 bytes from its start with zeros between) into substreams, one after
    // the other without the padding. Returns the strongest kind they carry, None when no
    // substream follows. A substream whose header CRC fails is left unread, as damage for the
    // walk to skip; one cut by the end of the input sets bCutShort. Without bKeep they are
    // stepped over and substreams is left empty.
    // A run is bounded (see EndsRunAfterCore): the substream that would take it past the bound is
    // left unread, as damage, so memory stays bounded whatever follows a frame.
    // pLook, when given, asks for more (see there).
    static EExtensionKind ReadAfterFrame(CBitStream& in, int32_t nFrameLength, std::vector<uint8_t>& substreams,
                                         bool& bCutShort, bool bKeep = true, SubstreamLook* pLook = nullptr);

    // The most substream bytes one core frame carries after it. Real DTS-HD frames carry a few
    // tens of kilobytes; one substream's size field reaches 1 MiB.
    static constexpr int64_t kLongestRunAfterCore = int64_t{1} << 20;
    // The one place that decides whether a run of substreams after a core frame, nRunBytes long
    // once the next substream of nNextBytes is taken, is longer than any real one: such a run is
    // not a frame's extension but damage or a stream without a core, and is never held whole.
    static bool EndsRunAfterCore(int64_t nRunBytes, int64_t nNextBytes)
    {
        return nRunBytes + nNextBytes > kLongestRunAfterCore;
    }
    // Writes substreams after a rebuilt core frame of nWrittenLength bytes: zeros up to the next
    // multiple of 4 bytes, then each substream, its dialog normalisation neutralised on request.
    static void Write(COutBitStream& out, int32_t nWrittenLength, std::vector<uint8_t>& substreams,
                      bool bRemoveDialNorm);

    // Where a substream starts in the nCount bytes at p that follow nFrameLength bytes of frame:
    // 0 (right there), the padding to the frame's next 4-byte boundary (zeros before it), or -1
    // where none follows.
    static int StartIn(const uint8_t* p, int nCount, int32_t nFrameLength);

private:
    // Tells pLook (where given and not yet told) of the substream of nSize bytes the input is
    // at, its header read into info.
    static void Look(CBitStream& in, int nSize, const SubstreamInfo& info, SubstreamLook* pLook);
    // StartIn for the bytes coming next from in.
    static int FindStart(CBitStream& in, int32_t nFrameLength);
};
