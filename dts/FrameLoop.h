// SPDX-License-Identifier: GPL-3.0-or-later
// The frame loop: walks every core frame of one opened input, reports each change of
// format as a FrameRow, and rebuilds the stream on request.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "dts/StreamSummary.h"
#include "dts/input/InputKind.h"

class CBitStream;
class COutBitStream;
class IFrameLoopHost;
struct FrameRead;
struct WatchedValues;

// A frame the end of the input cut short: it is not written.
struct CutShortFrame {
    int64_t nOffset = 0;    // where it starts
    int64_t nFrame = 0;     // its index
    int64_t nBytes = 0;     // bytes of it the input holds
    int64_t nExpected = 0;  // bytes it would have had; 0 where the header that tells was cut too
};

class CFrameLoop {
public:
    // pOutStream: where the frames are rebuilt, or null when this file is not rebuilt. The loop
    // neither opens nor closes a stream: whoever opened one closes it.
    CFrameLoop(IFrameLoopHost& host, CBitStream& inStream, COutBitStream* pOutStream);

    // Walks the input, which is open at its start, until its end, a frame start without
    // the sync, or the host's stop flag. nInputSize is the file's length for the progress;
    // eKind what the input file was recognised as. Returns the number of frames handled.
    int64_t ParseFile(int64_t nInputSize, EInputKind eKind);

    // How many frames the last ParseFile found whole (not cut short by the end of the input),
    // written or not.
    int64_t GetWholeFrames() const { return m_nWholeFrames; }
    // How many zero bytes the last ParseFile stepped over between frames (padding, not damage).
    int64_t GetPaddingBytes() const { return m_nPaddingBytes; }

    // The frame of the last ParseFile that the end of the input cut short, if one was.
    const std::optional<CutShortFrame>& GetCutShort() const { return m_CutShort; }
    // Whether the last ParseFile found a DTS-UHD stream, which it does not walk.
    bool IsUhd() const { return m_bUhd; }

    // What the last ParseFile found the stream to be.
    const CStreamSummary& GetSummary() const { return m_Summary; }

    // When rebuilding: leave the extension substreams out of the output.
    void SetCoreOnly(bool bCoreOnly) { m_bCoreOnly = bCoreOnly; }

    // What is changed in every frame's header, fixed for the whole walk: a walk never mixes
    // frames rebuilt with and without a removal.
    struct Removals {
        bool bRemoveCRC = false;
        bool bRemoveDialNorm = false;
    };
    void SetRemovals(const Removals& removals) { m_Removals = removals; }

private:
    // Whether the walk goes on to the next frame: no stop, no failed write.
    bool KeepsWalking() const;
    // Writes, counts and reports (where it starts a row) a frame just read.
    void TakeFrame(const FrameRead& f, int64_t nFrameIndex, WatchedValues& lastReported,
                   const std::vector<uint8_t>& body, std::vector<uint8_t>& substreams);
    void NoteCutShort(const FrameRead& f, int64_t nFrameIndex);
    // Whether the frame the input is at is a real one (see ConfirmFrame); the input is left at it.
    bool FirstFrameHolds();
    // Searches on from the damaged frame start nFrom for the next real frame, reports the
    // stretch skipped (at dTime) and leaves the input at that frame; false when none follows.
    bool SkipDamage(int64_t nFrom, bool bAnyLayout, bool bAfterFrames, double dTime);
    // The time of the frame at nOffset: the container's, else the play time of the frames before it.
    double TimeOf(int64_t nOffset) const;

    IFrameLoopHost& m_Host;
    CBitStream& m_InStream;
    COutBitStream* m_pOutStream;
    bool m_bCoreOnly = false;
    Removals m_Removals;
    int64_t m_nWholeFrames = 0;
    double m_dPlayed = 0;           // play time of the frames walked, for inputs without container times
    int64_t m_nPaddingBytes = 0;
    CStreamSummary m_Summary;
    std::optional<CutShortFrame> m_CutShort;
    bool m_bUhd = false;
};
