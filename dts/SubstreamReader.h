// The extension substreams (DTS-HD) that follow a core frame: read after it, and written after
// its rebuilt copy at the 4-byte boundary decoders expect.
#pragma once

#include <cstdint>
#include <vector>

#include "dts/SubstreamHeader.h"

class CBitStream;
class COutBitStream;

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
    static EExtensionKind ReadAfterFrame(CBitStream& in, int32_t nFrameLength, std::vector<uint8_t>& substreams,
                                         bool& bCutShort, bool bKeep = true);

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
    // StartIn for the bytes coming next from in.
    static int FindStart(CBitStream& in, int32_t nFrameLength);
};
