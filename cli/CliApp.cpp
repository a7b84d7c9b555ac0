// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli: reads the arguments, walks the files into a text or JSON report, and tells
// by its exit status how it went.
#include "cli/CliApp.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "cli/CliArguments.h"
#include "cli/CliHost.h"
#include "cli/ExitStatus.h"
#include "cli/JsonReport.h"
#include "cli/TerminalText.h"
#include "cli/TextReport.h"
#include "dts/FileJob.h"
#include "dts/InputItems.h"
#include "dts/RemuxJob.h"
#include "dts/input/InputKind.h"
#include "stream/BitStream.h"
#include "stream/FileShim.h"
#include "stream/OutBitStream.h"

namespace {

// How an item is walked, given its file's size: a file or track of its own, or a track of a copy.
using Walk = std::function<CFileJob::Result(const InputItem&, int64_t)>;
// What follows a walk before its item is reported: may change the result, and returns the
// output written, if any.
using AfterWalk = std::function<std::optional<std::string>(CFileJob::Result&)>;

// Walks one item into the report; a failure's cause goes to err.
CFileJob::EState RunItem(const InputItem& item, CCliHost& host, CBitStream& inStream, CCliReport& report, std::ostream& err,
             const Walk& walk, const AfterWalk& after)
{
    const std::string& strPath = item.strPath;
    uint64_t nSize = 0;
    std::string strCause;
    const bool bSized = CFileShim::GetRegularFileSize(strPath, nSize, strCause);
    report.BeginFile(item, bSized ? std::optional<uint64_t>(nSize) : std::nullopt);

    host.BeginFile(item.Label());
    host.CountBytesOf(bSized ? nullptr : &inStream);
    CFileJob::Result result = item.strProblem.empty() ? walk(item, static_cast<int64_t>(nSize))
                                                      : CFileJob::Unwalkable(strPath, item.strProblem, item.bReadFailed);
    host.EndFile();
    const std::optional<std::string> strOutput = after(result);

    CCliReport::FileSummary summary = CCliReport::FileSummary::Of(result);
    if (host.HasDetectedFormat())
        summary.strDetectedFormat = host.DetectedFormat();
    summary.strOutput = strOutput;
    report.EndFile(summary);

    // A stopped file is no failure of its own: the exit status tells of the signal.
    if (result.eState != CFileJob::EState::Done && result.eState != CFileJob::EState::Stopped)
        err << "kestrune-cli: " << CTerminalText::Escape(result.Message()) << '\n';
    return result.eState;
}

// The outcome of a file from those of its items: stopped when one was, else the first failure.
void Combine(CFileJob::EState& eAll, CFileJob::EState eItem)
{
    if (eItem == CFileJob::EState::Stopped || eAll == CFileJob::EState::Done)
        eAll = eItem;
}

// Walks each item of a file as a stream of its own.
CFileJob::EState RunFile(const std::vector<InputItem>& items, const CCliArguments& args, CCliHost& host, CCliReport& report,
             CBitStream& inStream, COutBitStream& outStream, std::ostream& err)
{
    const CFileJob::Options options{args.bRebuild, args.bCoreOnly, args.bRemoveCRC, args.bRemoveDialNorm};
    CFileJob::EState eAll = CFileJob::EState::Done;
    for (const InputItem& item : items) {
        if (host.IsStopSet() || !report.IsGood())
            break;
        const std::string strOutputPath = CFileJob::OutputPathFor(item.strOutputStem, args.strOutputFolder);
        const Walk walk = [&](const InputItem& walked, int64_t nSize) {
            return CFileJob::Run(host, inStream, outStream, walked.strPath, strOutputPath, nSize, options, &walked);
        };
        const AfterWalk after = [&strOutputPath](CFileJob::Result& result) {
            return result.bOutputWritten ? std::optional<std::string>(strOutputPath) : std::nullopt;
        };
        Combine(eAll, RunItem(item, host, inStream, report, err, walk, after));
    }
    return eAll;
}

// Walks every DTS track of a movie file and writes its copy after the last one, which reports
// the copy as its output (or why there is none).
CFileJob::EState RunRemuxFile(const std::vector<InputItem>& items, const CCliArguments& args, CCliHost& host, CCliReport& report,
                  CBitStream& inStream, COutBitStream& outStream, std::ostream& err)
{
    CRemuxJob job(items.front().strPath);
    const CFileJob::Result prepared = job.Prepare();
    const CFileJob::Options options{true, args.bCoreOnly, args.bRemoveCRC, args.bRemoveDialNorm};
    const Walk walk = [&](const InputItem& item, int64_t nSize) {
        return prepared.eState != CFileJob::EState::Done ? prepared
                                                        : job.WalkTrack(host, inStream, outStream, item, nSize, options);
    };
    CFileJob::EState eAll = CFileJob::EState::Done;
    for (size_t i = 0; i < items.size(); ++i) {
        if (host.IsStopSet() || !report.IsGood())
            break;
        const bool bLast = i + 1 == items.size() || prepared.eState != CFileJob::EState::Done;
        const AfterWalk after = [&](CFileJob::Result& result) -> std::optional<std::string> {
            if (!bLast || result.eState != CFileJob::EState::Done)
                return std::nullopt;
            CFileJob::Result finished = job.Finish(host);
            finished.nFrames = result.nFrames;
            finished.strInputKind = result.strInputKind;
            result = finished;
            return result.bOutputWritten ? std::optional<std::string>(job.GetOutputPath()) : std::nullopt;
        };
        Combine(eAll, RunItem(items[i], host, inStream, report, err, walk, after));
        if (bLast)
            break;
    }
    return eAll;
}

// Walks the items of one path given: as a copy of a movie with --remux, each on its own otherwise.
// A file that cannot be read, or a container without the tracks asked for, fails as it would
// without --remux.
CFileJob::EState RunInput(const std::vector<InputItem>& items, const CCliArguments& args, CCliHost& host, CCliReport& report,
              CBitStream& inStream, COutBitStream& outStream, std::ostream& err)
{
    if (args.bRemux && items.front().IsTrack())
        return RunRemuxFile(items, args, host, report, inStream, outStream, err);
    return RunFile(items, args, host, report, inStream, outStream, err);
}

bool IsReadable(const std::string& strPath)
{
    std::FILE* pFile = CFileShim::OpenForReading(strPath);
    if (pFile != nullptr)
        std::fclose(pFile);
    return pFile != nullptr;
}

// A file our own readers take: a DTS stream in any word layout, or WAVE.
bool IsStreamOrWave(const std::string& strPath)
{
    std::FILE* pFile = CFileShim::OpenForReading(strPath);
    if (pFile == nullptr)
        return false;
    uint8_t bytes[8] = {};
    const size_t nRead = std::fread(bytes, 1, sizeof bytes, pFile);
    std::fclose(pFile);
    return DetectInputKind(bytes, nRead) != EInputKind::Unknown;
}

// With --remux every file must be a movie file: a DTS stream or WAVE file is a usage error,
// found before anything is walked. Returns the items of each file, or an empty list after
// such an error (explained on err).
std::vector<std::vector<InputItem>> ExpandForRemux(const CCliArguments& args, std::ostream& err)
{
    std::vector<std::vector<InputItem>> expanded;
    for (const std::string& strPath : args.files) {
        expanded.push_back(CInputItems::Expand(strPath, args.tracks));
        InputItem& first = expanded.back().front();
        if (IsStreamOrWave(strPath)) {
            err << "kestrune-cli: --remux writes a copy of a movie file; '" << CTerminalText::Escape(strPath)
                << "' is a DTS stream or WAVE file (--rebuild writes its clean copy)\n" << "Try 'kestrune-cli --help'.\n";
            return {};
        }
        // Anything else that is no container (a stream starting with damage) has nothing to copy.
        if (!first.IsTrack() && first.strProblem.empty() && first.strContainer.empty() && IsReadable(strPath))
            first.strProblem = "it is no movie file that can be copied (no container libavformat knows)";
    }
    return expanded;
}

// What must hold before anything is read: standard input and output are no terminals where
// they carry streams, the output folder takes files, and no two inputs would write the same
// output (the second would replace the first). A usage error's text, or empty.
std::string CheckBeforeReading(const CCliArguments& args)
{
    // A terminal would show the stream as garbage and could take its bytes as commands.
    if (CFileShim::IsStandardStream(args.strOutputFolder) && CTerminalText::IsTerminal(stdout))
        return "standard output is a terminal: redirect -o - to a file or a pipe";
    // Typed input is no stream: the run would only wait.
    if (std::find(args.files.begin(), args.files.end(), CFileShim::kStandardStream) != args.files.end()
        && CTerminalText::IsTerminal(stdin))
        return "standard input is a terminal: pipe a stream into - or redirect it from a file (< FILE)";
    if (!args.bRebuild || args.strOutputFolder.empty() || CFileShim::IsStandardStream(args.strOutputFolder))
        return std::string();
    std::string strCause;
    if (!CFileShim::CanCreateIn(args.strOutputFolder, strCause))
        return "cannot write to the output folder " + args.strOutputFolder + ": " + strCause;
    std::map<std::string, std::string> claimed;
    for (const std::string& strPath : args.files) {
        const auto [it, bNew] = claimed.emplace(CFileJob::OutputPathFor(strPath, args.strOutputFolder), strPath);
        if (!bNew && it->second != strPath)
            return it->second + " and " + strPath + " would both be written to " + it->first;
    }
    return std::string();
}

// Opens the file --json=FILE names, when it names one; false (the cause on err) when it cannot.
bool OpenJsonFile(const std::string& strPath, std::ofstream& file, std::ostream& err)
{
    if (strPath.empty())
        return true;
    file.open(CFileShim::ToPath(strPath), std::ios::binary | std::ios::trunc);
    if (!file)
        err << "kestrune-cli: cannot create the JSON report " << CTerminalText::Escape(strPath) << ": "
            << CFileShim::DescribeOutputProblem(strPath) << '\n';
    return file.is_open();
}

} // namespace

int CCliApp::Run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
                 std::FILE* progressOut)
{
    CCliArguments args;
    const int nParsed = args.Parse(argv, out, err);
    if (nParsed >= 0)
        return nParsed;

    if (const std::string strProblem = CheckBeforeReading(args); !strProblem.empty()) {
        err << "kestrune-cli: " << CTerminalText::Escape(strProblem) << '\n';
        return ExitStatus::kUsage;
    }
    std::vector<std::vector<InputItem>> remuxItems;
    if (args.bRemux) {
        remuxItems = ExpandForRemux(args, err);
        if (remuxItems.empty())
            return ExitStatus::kUsage;
    }
    // With -o - standard output carries the stream, and the report goes to standard error.
    const bool bStreamOut = CFileShim::IsStandardStream(args.strOutputFolder);
    std::ofstream jsonFile;
    if (!OpenJsonFile(args.strJsonPath, jsonFile, err))
        return ExitStatus::kUsage;
    std::ostream& reportOut = jsonFile.is_open() ? jsonFile : bStreamOut ? err : out;
    std::unique_ptr<CCliReport> report;
    if (args.bJson)
        report = std::make_unique<CJsonReport>(reportOut);
    else
        report = std::make_unique<CTextReport>(reportOut);
    CCliHost host(*report, progressOut);
    CBitStream inStream;
    COutBitStream outStream;
    host.WatchStandardOutput(&reportOut == &out, bStreamOut ? &outStream : nullptr);
    bool bAnyFailed = false;
    // The outcome is decided by what the report says: a signal that came after the last file was
    // done (its output already in place) stops nothing, and the status says "done" as the report does.
    bool bStopped = false;
    for (size_t i = 0; i < args.files.size(); ++i) {
        bStopped = CCliHost::StopRequested();
        // A report that can no longer be written ends the run after the file it failed in.
        if (bStopped || !report->IsGood())
            break;
        const std::vector<InputItem> items = args.bRemux ? remuxItems[i] : CInputItems::Expand(args.files[i], args.tracks);
        const CFileJob::EState eState = RunInput(items, args, host, *report, inStream, outStream, err);
        bStopped = eState == CFileJob::EState::Stopped;
        bAnyFailed |= eState != CFileJob::EState::Done && !bStopped;
    }
    report->Finish();
    reportOut.flush();
    return FinalStatus(host, *report, bStopped, bAnyFailed, err);
}

int CCliApp::FinalStatus(const CCliHost& host, const CCliReport& report, bool bStopped, bool bAnyFailed,
                         std::ostream& err)
{
    // A signal the user sent tells more than the pipe it may also have broken; one that came
    // after the last file was done stopped nothing.
    if (bStopped && CCliHost::StopRequested()) {
        err << "kestrune-cli: stopped by signal " << CCliHost::StopSignal() << '\n';
        return ExitStatus::kSignalBase + CCliHost::StopSignal();
    }
    if (host.OutputBroken())
        return ExitStatus::kBrokenPipe;
    if (!report.IsGood()) {
        err << "kestrune-cli: writing the report failed (disk full or output closed?)\n";
        return ExitStatus::kFileFailed;
    }
    return bAnyFailed ? ExitStatus::kFileFailed : ExitStatus::kOk;
}
