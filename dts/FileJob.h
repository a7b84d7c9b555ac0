// SPDX-License-Identifier: GPL-3.0-or-later
// One file of a batch: opens the input (and the output when rebuilding), runs the frame
// loop, closes both, and says how it went. Shared by the dialog's batch and the command line.
#pragma once

#include <cstdint>
#include <string>

#include "dts/FrameLoop.h"
#include "dts/StreamSummary.h"

class CBitStream;
class COutBitStream;
class IFrameLoopHost;
struct InputItem;

class CFileJob {
public:
    // Stopped: the host's stop flag ended the walk; the rows so far stand, no output is kept.
    // NoWholeFrame: frames start in it, but the end of the input cuts every one short.
    // NoCoreToKeep: a core-only rebuild of a stream without a core; Unsupported: a DTS-UHD stream.
    enum class EState {
        Done, CannotOpenInput, CannotCreateOutput, WriteFailed, ReadFailed, NoFrames, NoWholeFrame, NoCoreToKeep,
        Unsupported, Stopped
    };
    // Which of the two paths a failure concerns.
    enum class EFailedPath { None, Input, Output };

    struct Result {
        EState eState = EState::Done;
        EFailedPath eFailedPath = EFailedPath::None;
        std::string strFailedPath;   // the input or the output path, for a failure
        std::string strError;        // for a failure: the cause in plain English, naming no file
        int64_t nFrames = 0;         // frames handled by the loop
        int64_t nPaddingBytes = 0;   // zeros stepped over between frames (padding, not damage)
        bool bOutputWritten = false; // an output file was created and kept
        std::string strInputKind;    // how the input stores its stream ("14-bit LE in WAVE"), once opened
        CStreamSummary::Values stream; // what the walk found the stream to be; empty kind: no frame
        std::optional<CutShortFrame> cutShort; // the frame the end of the input cut short, if one was

        // "PATH: cannot open input: CAUSE" for a failure, empty when done or stopped.
        std::string Message() const;
        // "last frame cut short: 952 of 2048 bytes, not written", or empty where none was.
        std::string CutShortText() const;
    };

    // The output path of an input: its full path followed by ".fixed.dts", or with a folder
    // strOutputFolder, its name followed by ".fixed.dts" in that folder; "-" (standard output)
    // for the folder "-".
    static std::string OutputPathFor(const std::string& strInputPath, const std::string& strOutputFolder = {});
    // The state texts the batch list and the command line show ("done", "error: write failed").
    static const char* StateText(EState eState);
    // What failed, without the "error: " of the state text ("write failed"); empty for Done.
    static const char* FailureText(EState eState);

    // What is done to a file, taken once when a run starts and the same for every file of it.
    struct Options {
        bool bRebuild = false;        // write the clean copy to the output path
        bool bCoreOnly = false;       // with bRebuild: leave the extension substreams out
        bool bRemoveCRC = false;      // every header loses its CRC (in the rows, and the output)
        bool bRemoveDialNorm = false; // every dialog normalisation is neutralised (likewise)
    };

    // The result of an item that cannot be walked (a container without that DTS track...).
    // bReadFailed: the problem is a failed read ("error: read failed").
    static Result Unwalkable(const std::string& strPath, const std::string& strProblem, bool bReadFailed = false);

    // Processes one file; whether it is rebuilt is decided here, once. With bRebuild the output
    // is written to a temporary file beside the output path, created before the loop reads
    // anything, and renamed over the output path only when the file was walked to its end
    // without error and held a frame; a stop or any failure removes it and leaves what was at
    // the output path as it was, so nothing short is ever left looking complete. The output
    // takes the input's permission bits. Both streams are closed again before it returns.
    // An input path "-" reads standard input; an output path "-" writes the rebuilt stream to
    // standard output as it goes, so a failure there leaves what was written. pTrack: the movie
    // container's DTS track to walk, when the input is one (opened through the installed
    // container support).
    static Result Run(IFrameLoopHost& host, CBitStream& inStream, COutBitStream& outStream,
                      const std::string& strInputPath, const std::string& strOutputPath,
                      int64_t nInputSize, const Options& options, const InputItem* pTrack = nullptr);

private:
    // Run without the word on an older output a failure leaves in place.
    static Result RunOnce(IFrameLoopHost& host, CBitStream& inStream, COutBitStream& outStream,
                          const std::string& strInputPath, const std::string& strOutputPath, int64_t nInputSize,
                          const Options& options, const InputItem* pTrack);
};
