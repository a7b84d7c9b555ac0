// One file of a batch, shared by the dialog and the command line.
#include "dts/FileJob.h"

#include <filesystem>
#include <system_error>

#include "dts/FrameLoop.h"
#include "dts/IFrameLoopHost.h"
#include "stream/BitStream.h"
#include "stream/FileShim.h"
#include "stream/OutBitStream.h"
#include "stream/ScopeExit.h"

namespace {

struct StateTexts {
    const char* pszState;
    const char* pszFailure;
};

// By EState.
constexpr StateTexts kStateTexts[] = {
    {"done", ""},
    {"error: cannot open input", "cannot open input"},
    {"error: cannot create output", "cannot create output"},
    {"error: write failed", "write failed"},
};

CFileJob::Result Failure(CFileJob::EState eState, CFileJob::EFailedPath ePath, const std::string& strPath,
                         std::string strError)
{
    CFileJob::Result result;
    result.eState = eState;
    result.eFailedPath = ePath;
    result.strFailedPath = strPath;
    result.strError = std::move(strError);
    return result;
}

// Opening the output empties it, so an output that is the input under another name (the same
// path, a link) would destroy the input before a byte of it is read.
bool IsSameFile(const std::string& strA, const std::string& strB)
{
    std::error_code ec;
    return std::filesystem::equivalent(CFileShim::ToPath(strA), CFileShim::ToPath(strB), ec);
}

// A short output must not be left behind looking complete. Only a plain file is removed: an
// output path that names a device or a link is never deleted. Returns what became of it.
std::string RemoveFailedOutput(const std::string& strOutputPath)
{
    std::error_code ec;
    const std::filesystem::path output = CFileShim::ToPath(strOutputPath);
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(output, ec)))
        return "it is not a plain file and was left as it is";
    if (std::filesystem::remove(output, ec))
        return "the incomplete output was removed";
    return "the incomplete output could not be removed";
}

} // namespace

std::string CFileJob::Result::Message() const
{
    if (eState == EState::Done)
        return std::string();
    return strFailedPath + ": " + FailureText(eState) + ": " + strError;
}

std::string CFileJob::OutputPathFor(const std::string& strInputPath)
{
    return strInputPath + ".fixed.dts";
}

const char* CFileJob::StateText(EState eState)
{
    return kStateTexts[static_cast<int>(eState)].pszState;
}

const char* CFileJob::FailureText(EState eState)
{
    return kStateTexts[static_cast<int>(eState)].pszFailure;
}

CFileJob::Result CFileJob::Run(IFrameLoopHost& host, CBitStream& inStream, COutBitStream& outStream,
                               const std::string& strInputPath, const std::string& strOutputPath,
                               int64_t nInputSize, const Options& options)
{
    const bool bRebuild = options.bRebuild;
    // Long steps before the first frame (a WAVE file's chunks, the search for a frame) listen
    // for a stop as the loop does.
    inStream.SetStopProbe([&host] {
        host.DispatchPendingMessage();
        return host.IsStopSet();
    });
    if (!inStream.Open(strInputPath)) {
        return Failure(EState::CannotOpenInput, EFailedPath::Input, strInputPath,
                       CFileShim::DescribeInputProblem(strInputPath));
    }
    CScopeExit closeInput([&inStream] { inStream.Close(); });

    if (bRebuild) {
        if (IsSameFile(strInputPath, strOutputPath))
            return Failure(EState::CannotCreateOutput, EFailedPath::Output, strOutputPath, "it would overwrite the input");
        if (!outStream.Open(strOutputPath)) {
            return Failure(EState::CannotCreateOutput, EFailedPath::Output, strOutputPath,
                           CFileShim::DescribeOutputProblem(strOutputPath));
        }
    }
    CScopeExit closeOutput([&outStream] { outStream.Close(); });

    CFrameLoop loop(host, inStream, bRebuild ? &outStream : nullptr);
    loop.SetCoreOnly(options.bCoreOnly);
    const int64_t nFrames = loop.ParseFile(nInputSize);
    outStream.Close();
    Result result;
    if (bRebuild && outStream.HasWriteError()) {
        result = Failure(EState::WriteFailed, EFailedPath::Output, strOutputPath,
                         "writing the output failed (disk full?); " + RemoveFailedOutput(strOutputPath));
    } else {
        result.bOutputWritten = bRebuild;
    }
    result.nFrames = nFrames;
    return result;
}
