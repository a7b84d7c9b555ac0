// The frame loop: walks every core frame of one opened input, reports each change of
// format as a FrameRow, and rebuilds the stream on request.
#pragma once

#include <cstdint>

#include "dts/FrameHeader.h"

class CBitStream;
class COutBitStream;
class IFrameLoopHost;

class CFrameLoop {
public:
    CFrameLoop(IFrameLoopHost& host, CBitStream& inStream, COutBitStream& outStream);

    // Walks the input, which is open at its start, until its end, a frame start without
    // the sync, or the host's stop flag. nInputSize is the file's length for the
    // progress. Closes the output stream before it returns; the input stays open.
    // Returns the number of frames handled.
    int64_t ParseFile(int nBatchRow, int64_t nInputSize);

private:
    IFrameLoopHost& m_Host;
    CBitStream& m_InStream;
    COutBitStream& m_OutStream;
};
