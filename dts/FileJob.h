// One file of a batch: opens the input (and the output when rebuilding), runs the frame
// loop, closes both, and says how it went. Shared by the dialog's batch and the command line.
#pragma once

#include <cstdint>
#include <string>

class CBitStream;
class COutBitStream;
class IFrameLoopHost;

class CFileJob {
public:
    enum class EState { Done, CannotOpenInput, CannotCreateOutput, WriteFailed };
    // Which of the two paths a failure concerns.
    enum class EFailedPath { None, Input, Output };

    struct Result {
        EState eState = EState::Done;
        EFailedPath eFailedPath = EFailedPath::None;
        std::string strFailedPath;   // the input or the output path, for a failure
        std::string strError;        // for a failure: the cause in plain English, naming no file
        int64_t nFrames = 0;         // frames handled by the loop
        bool bOutputWritten = false; // an output file was created and kept

        // "PATH: cannot open input: CAUSE" for a failure, empty when done.
        std::string Message() const;
    };

    // The output path of an input: its full path followed by ".fixed.dts".
    static std::string OutputPathFor(const std::string& strInputPath);
    // The state texts the batch list and the command line show ("done", "error: write failed").
    static const char* StateText(EState eState);
    // What failed, without the "error: " of the state text ("write failed"); empty for Done.
    static const char* FailureText(EState eState);

    // What is done to a file, decided once when it starts.
    struct Options {
        bool bRebuild = false;   // write the clean copy to the output path
        bool bCoreOnly = false;  // with bRebuild: leave the extension substreams out
    };

    // Processes one file; whether it is rebuilt is decided here, once. With bRebuild the output
    // is created before the loop reads anything, unless it is the input itself under another
    // name; an output whose writing failed is removed when it is a plain file, so nothing short
    // is left looking complete. Both streams are closed again before it returns.
    static Result Run(IFrameLoopHost& host, CBitStream& inStream, COutBitStream& outStream,
                      const std::string& strInputPath, const std::string& strOutputPath,
                      int64_t nInputSize, const Options& options);
};
