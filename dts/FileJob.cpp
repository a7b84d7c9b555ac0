// SPDX-License-Identifier: GPL-3.0-or-later
// One file of a batch, shared by the dialog and the command line.
#include "dts/FileJob.h"

#include <filesystem>
#include <optional>
#include <iterator>
#include <system_error>

#include "dts/FrameLoop.h"
#include "dts/InputItems.h"
#include "dts/IFrameLoopHost.h"
#include "dts/input/IContainerSupport.h"
#include "dts/input/InputFile.h"
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
    {"error: read failed", "read failed"},
    {"error: no DTS frames found", "no DTS frames found"},
    {"error: no whole frame", "no whole frame"},
    {"error: no core to keep", "no core to keep"},
    {"error: DTS-UHD is not supported", "DTS-UHD is not supported"},
    {"stopped", ""},
};
static_assert(std::size(kStateTexts) == static_cast<size_t>(CFileJob::EState::Stopped) + 1, "a text for every state");

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

CFileJob::Result Stopped()
{
    CFileJob::Result result;
    result.eState = CFileJob::EState::Stopped;
    return result;
}

const char* const kReadFailedCause = "reading the input failed (I/O error)";
const char* const kWriteFailedCause = "writing the output failed (disk full?); no output was kept";

// An output that is the input under another name (the same path, a link) must not replace it.
bool IsSameFile(const std::string& strA, const std::string& strB)
{
    if (CFileShim::IsStandardStream(strA) || CFileShim::IsStandardStream(strB))
        return false;
    std::error_code ec;
    return std::filesystem::equivalent(CFileShim::ToPath(strA), CFileShim::ToPath(strB), ec);
}

// What the walk found that no output can be made of: a DTS-UHD stream, or a core-only rebuild of
// a stream without a core. None for any other.
std::optional<CFileJob::Result> JudgeStream(const CFrameLoop& loop, int64_t nFrames, bool bCoreOnlyRebuild,
                                            const std::string& strInputPath)
{
    if (loop.IsUhd())
        return Failure(CFileJob::EState::Unsupported, CFileJob::EFailedPath::Input, strInputPath,
                       "it is a DTS-UHD stream (frames with the sync word 40411BF2), a format this tool does not read");
    if (bCoreOnlyRebuild && nFrames > 0 && !loop.GetSummary().HasCore())
        return Failure(CFileJob::EState::NoCoreToKeep, CFileJob::EFailedPath::Input, strInputPath,
                       loop.GetSummary().GetValues().strKind + " has no core to keep; no output was kept");
    return std::nullopt;
}

// How a walk that ran its course went, before any output is kept: a stop, then a failed read or
// write, then a stream no output can be made of, then a file without a single frame, then one
// whose frames are all cut short.
CFileJob::Result JudgeWalk(const IFrameLoopHost& host, const CBitStream& inStream, const CInputFile& input,
                           const COutBitStream* pOutStream, const CFrameLoop& loop, int64_t nFrames, bool bCoreOnlyRebuild,
                           const std::string& strInputPath, const std::string& strOutputPath)
{
    CFileJob::Result result;
    if (host.IsStopSet())
        result = Stopped();
    else if (inStream.HasReadError())
        result = Failure(CFileJob::EState::ReadFailed, CFileJob::EFailedPath::Input, strInputPath, kReadFailedCause);
    else if (input.HasShrunk())
        result = Failure(CFileJob::EState::ReadFailed, CFileJob::EFailedPath::Input, strInputPath,
                         "the file grew shorter while it was read (another program cut it); the rest of its stream is gone");
    else if (input.WasRepositionRefused())
        result = Failure(CFileJob::EState::ReadFailed, CFileJob::EFailedPath::Input, strInputPath,
                         "a pipe is read once, in order, and the stream has junk or damage that needs a "
                         "search back; save it to a file and give its name");
    else if (pOutStream != nullptr && pOutStream->HasWriteError())
        result = Failure(CFileJob::EState::WriteFailed, CFileJob::EFailedPath::Output, strOutputPath, kWriteFailedCause);
    else if (const auto failure = JudgeStream(loop, nFrames, bCoreOnlyRebuild, strInputPath))
        result = *failure;
    else if (nFrames == 0)
        result = Failure(CFileJob::EState::NoFrames, CFileJob::EFailedPath::Input, strInputPath,
                         "nothing in it starts a DTS core frame (the sync word 7FFE8001 and a whole header)");
    else if (loop.GetWholeFrames() == 0)
        result = Failure(CFileJob::EState::NoWholeFrame, CFileJob::EFailedPath::Input, strInputPath,
                         "the end of the file cuts short every frame in it; there is nothing whole to keep");
    result.nFrames = nFrames;
    return result;
}

// Puts a fully written output in place; a failure leaves the output path as it was.
CFileJob::Result KeepOutput(COutBitStream& outStream, const CInputFile& input, const std::string& strInputPath,
                            const std::string& strOutputPath, int64_t nFrames)
{
    // Standard input has no permission bits of a file to pass on.
    if (!CFileShim::IsStandardStream(strInputPath))
        outStream.TakePermissionsOf(input.GetFile());
    std::string strCause;
    CFileJob::Result result;
    if (outStream.Commit(strCause))
        result.bOutputWritten = true;
    else if (outStream.HasWriteError())
        result = Failure(CFileJob::EState::WriteFailed, CFileJob::EFailedPath::Output, strOutputPath, kWriteFailedCause);
    else
        result = Failure(CFileJob::EState::CannotCreateOutput, CFileJob::EFailedPath::Output, strOutputPath, strCause);
    result.nFrames = nFrames;
    return result;
}

// Opens the output of a rebuild: standard output for "-", otherwise a temporary file that is
// put in place at the end. Why it cannot be opened, or empty when it is open.
std::string OpenOutput(COutBitStream& outStream, const std::string& strInputPath, const std::string& strOutputPath)
{
    if (IsSameFile(strInputPath, strOutputPath))
        return "it would overwrite the input";
    if (CFileShim::IsStandardStream(strOutputPath))
        return outStream.Open(CFileShim::OpenStandardStream(true)) ? std::string() : "standard output is closed";
    std::string strCause;
    if (outStream.OpenReplacing(strOutputPath, strCause))
        return std::string();
    return strCause.empty() ? "the output cannot be created" : strCause;
}

// A failed rebuild leaves an older output of the same name in place: the cause says so, so that
// it is not taken for this run's result.
void NoteOlderOutput(CFileJob::Result& result, const std::string& strOutputPath)
{
    std::error_code ec;
    if (result.bOutputWritten || result.strError.empty() || result.eFailedPath == CFileJob::EFailedPath::None
        || !std::filesystem::is_regular_file(CFileShim::ToPath(strOutputPath), ec))
        return;
    result.strError += "; the older output of that name was left as it was";
}

// Why an input could not be opened: a failed read, the track's or the WAVE file's own structure
// (which says best what is wrong), or else what the file system says of the path.
CFileJob::Result OpenFailure(const CInputFile& input, const std::string& strInputPath,
                             const std::string& strTrackProblem)
{
    if (input.HadOpenReadError())
        return Failure(CFileJob::EState::ReadFailed, CFileJob::EFailedPath::Input, strInputPath, kReadFailedCause);
    std::string strCause = strTrackProblem.empty() ? input.GetOpenProblem() : strTrackProblem;
    if (strCause.empty())
        strCause = CFileShim::IsStandardStream(strInputPath) ? "standard input is closed"
                                                             : CFileShim::DescribeInputProblem(strInputPath);
    if (strCause.empty())
        strCause = "it is not a readable DTS stream or RIFF WAVE file (a WAVE file needs a \"fmt \" chunk and a \"data\" chunk after it)";
    return Failure(CFileJob::EState::CannotOpenInput, CFileJob::EFailedPath::Input, strInputPath, strCause);
}

// How the input stores its stream, in the words of the report: the layout the walk ended in.
std::string InputKindText(const CInputFile& in, const std::string& strContainer)
{
    const std::string strLayout = in.IsIec61937() ? "IEC 61937" : LayoutOf(in.GetLayout()).pszName;
    if (!strContainer.empty())
        return strLayout + " in " + strContainer;
    return in.GetInputKind() == EInputKind::Wave ? strLayout + " in WAVE" : strLayout;
}

// Opens what options name of strPath: a container's track through the installed support, or
// the file itself. strProblem: why a track could not be opened.
bool OpenInput(CInputFile& in, const std::string& strPath, const InputItem* pTrack,
               const std::function<bool()>& stopProbe, std::string& strProblem)
{
    if (pTrack == nullptr || !pTrack->IsTrack())
        return in.Open(strPath, stopProbe);
    IContainerSupport* pSupport = IContainerSupport::Installed();
    if (pSupport == nullptr) {
        strProblem = "this build reads elementary streams and WAVE only";
        return false;
    }
    return in.Open(pSupport->OpenTrack(strPath, pTrack->nTrack, strProblem));
}

// What the walk found, for every state but those before it.
void DescribeStream(CFileJob::Result& result, const CFrameLoop& loop, const CInputFile& input, int64_t nFrames,
                    const std::string& strContainer)
{
    // A stream of substreams alone has no word layout of its own to tell.
    result.strInputKind = nFrames > 0 && !loop.GetSummary().HasCore() ? "substreams only" : InputKindText(input, strContainer);
    result.stream = loop.GetSummary().GetValues();
    result.cutShort = loop.GetCutShort();
}

} // namespace

std::string CFileJob::Result::Message() const
{
    if (eState == EState::Done || eState == EState::Stopped)
        return std::string();
    return strFailedPath + ": " + FailureText(eState) + ": " + strError;
}

std::string CFileJob::Result::CutShortText() const
{
    if (!cutShort)
        return std::string();
    const std::string strOf = cutShort->nExpected > 0 ? " of " + std::to_string(cutShort->nExpected) : std::string();
    return "last frame cut short: " + std::to_string(cutShort->nBytes) + strOf + " bytes, not written";
}

std::string CFileJob::OutputPathFor(const std::string& strInputPath, const std::string& strOutputFolder)
{
    if (strOutputFolder.empty())
        return strInputPath + ".fixed.dts";
    if (CFileShim::IsStandardStream(strOutputFolder))
        return strOutputFolder;
#ifdef _WIN32
    const char* const pszSeparators = "/\\";
#else
    const char* const pszSeparators = "/";
#endif
    // Split by hand: a name that is not valid UTF-8 must reach the folder byte for byte.
    const size_t nSlash = strInputPath.find_last_of(pszSeparators);
    const std::string strName = nSlash == std::string::npos ? strInputPath : strInputPath.substr(nSlash + 1);
    const bool bEndsInSeparator = std::string(pszSeparators).find(strOutputFolder.back()) != std::string::npos;
    return strOutputFolder + (bEndsInSeparator ? "" : "/") + strName + ".fixed.dts";
}

CFileJob::Result CFileJob::Unwalkable(const std::string& strPath, const std::string& strProblem, bool bReadFailed)
{
    return Failure(bReadFailed ? EState::ReadFailed : EState::CannotOpenInput, EFailedPath::Input, strPath, strProblem);
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
                               int64_t nInputSize, const Options& options, const InputItem* pTrack)
{
    Result result = RunOnce(host, inStream, outStream, strInputPath, strOutputPath, nInputSize, options, pTrack);
    if (options.bRebuild && !IsSameFile(strInputPath, strOutputPath))
        NoteOlderOutput(result, strOutputPath);
    return result;
}

CFileJob::Result CFileJob::RunOnce(IFrameLoopHost& host, CBitStream& inStream, COutBitStream& outStream,
                                   const std::string& strInputPath, const std::string& strOutputPath,
                                   int64_t nInputSize, const Options& options, const InputItem* pTrack)
{
    const bool bRebuild = options.bRebuild;
    // Long steps before the first frame (a WAVE file's chunks, the search for a frame) listen
    // for a stop as the loop does.
    const std::function<bool()> stopProbe = [&host] { return host.IsStopSet(); };
    inStream.SetStopProbe(stopProbe);
    std::string strTrackProblem;
    CInputFile input;
    const bool bOpened = OpenInput(input, strInputPath, pTrack, stopProbe, strTrackProblem);
    CScopeExit closeInput([&inStream] { inStream.Close(); });
    // A stop heard while the input was opened ends the file before its walk.
    if (host.IsStopSet())
        return Stopped();
    if (!bOpened)
        return OpenFailure(input, strInputPath, strTrackProblem);
    inStream.Open(input);

    // Closing an output that was not committed removes it, on every way out.
    CScopeExit closeOutput([&outStream] { outStream.Close(); });
    if (bRebuild) {
        const std::string strCause = OpenOutput(outStream, strInputPath, strOutputPath);
        if (!strCause.empty())
            return Failure(EState::CannotCreateOutput, EFailedPath::Output, strOutputPath, strCause);
    }

    CFrameLoop loop(host, inStream, bRebuild ? &outStream : nullptr);
    loop.SetCoreOnly(options.bCoreOnly);
    loop.SetRemovals(CFrameLoop::Removals{options.bRemoveCRC, options.bRemoveDialNorm});
    const int64_t nFrames = loop.ParseFile(nInputSize, input.GetInputKind());
    Result result = JudgeWalk(host, inStream, input, bRebuild ? &outStream : nullptr, loop, nFrames,
                              bRebuild && options.bCoreOnly, strInputPath, strOutputPath);
    if (result.eState == EState::Done && bRebuild)
        result = KeepOutput(outStream, input, strInputPath, strOutputPath, nFrames);
    result.nPaddingBytes = loop.GetPaddingBytes();
    DescribeStream(result, loop, input, nFrames, pTrack != nullptr ? pTrack->strContainer : std::string());
    return result;
}
