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

    struct Result {
        EState eState = EState::Done;
        int64_t nFrames = 0;     // frames handled by the loop
        bool bOutputWritten = false; // an output file was created and kept
        std::string strError;    // for a failure: the cause in plain English, naming no file
    };

    // The output path of an input: its full path followed by ".fixed.dts".
    static std::string OutputPathFor(const std::string& strInputPath);
    // The state texts the batch list and the command line show.
    static const char* StateText(EState eState);
    // Why a file cannot be read, in plain English ("the file does not exist", "it is a directory").
    static std::string DescribeInputProblem(const std::string& strPath);
    // Why an output cannot be created, in plain English ("its folder does not exist").
    static std::string DescribeOutputProblem(const std::string& strPath);

    // Processes one file. With bRebuild the output is created before the loop reads anything,
    // unless it is the input itself under another name; an output whose writing failed is
    // removed when it is a plain file, so nothing short is left looking complete.
    static Result Run(IFrameLoopHost& host, CBitStream& inStream, COutBitStream& outStream,
                      const std::string& strInputPath, const std::string& strOutputPath,
                      int64_t nInputSize, bool bRebuild, int nBatchRow);
};
