// The frame loop: walks every core frame of one opened input, reports each change of
// format as a FrameRow, and rebuilds the stream on request.
#pragma once

#include <cstdint>

class CBitStream;
class COutBitStream;
class IFrameLoopHost;

class CFrameLoop {
public:
    // pOutStream: where the frames are rebuilt, or null when this file is not rebuilt. The loop
    // neither opens nor closes a stream: whoever opened one closes it.
    CFrameLoop(IFrameLoopHost& host, CBitStream& inStream, COutBitStream* pOutStream);

    // Walks the input, which is open at its start, until its end, a frame start without
    // the sync, or the host's stop flag. nInputSize is the file's length for the progress.
    // Returns the number of frames handled.
    int64_t ParseFile(int64_t nInputSize);

    // How many frames the last ParseFile wrote to the output stream.
    int64_t GetFramesWritten() const { return m_nFramesWritten; }
    // How many frames the last ParseFile found whole (not cut short by the end of the input),
    // written or not.
    int64_t GetWholeFrames() const { return m_nWholeFrames; }
    // How many zero bytes the last ParseFile stepped over between frames (padding, not damage).
    int64_t GetPaddingBytes() const { return m_nPaddingBytes; }

    // When rebuilding: leave the extension substreams out of the output.
    void SetCoreOnly(bool bCoreOnly) { m_bCoreOnly = bCoreOnly; }

private:
    // Whether the walk goes on to the next frame: no stop, no failed write.
    bool KeepsWalking() const;
    // Searches on from the damaged frame start nFrom for the next real frame, reports the
    // stretch skipped (at dTime) and leaves the input at that frame; false when none follows.
    bool SkipDamage(int64_t nFrom, bool bAnyLayout, bool bAfterFrames, double dTime);
    // The time of the frame at nOffset: the container's, else dPlayed (the frames before it).
    double TimeOf(int64_t nOffset, double dPlayed) const;

    IFrameLoopHost& m_Host;
    CBitStream& m_InStream;
    COutBitStream* m_pOutStream;
    bool m_bCoreOnly = false;
    int64_t m_nFramesWritten = 0;
    int64_t m_nWholeFrames = 0;
    int64_t m_nPaddingBytes = 0;
};
