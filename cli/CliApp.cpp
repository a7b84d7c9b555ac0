// kestrune-cli: reads the arguments, walks the files into a text or JSON report, and tells
// by its exit status how it went.
#include "cli/CliApp.h"

#include <algorithm>
#include <fstream>
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
#include "stream/BitStream.h"
#include "stream/FileShim.h"
#include "stream/OutBitStream.h"

namespace {

// Walks one file into the report; a failure's cause goes to err.
CFileJob::EState RunFile(const std::string& strPath, const CCliArguments& args, CCliHost& host, CCliReport& report,
             CBitStream& inStream, COutBitStream& outStream, std::ostream& err)
{
    uint64_t nSize = 0;
    std::string strCause;
    const bool bSized = CFileShim::GetRegularFileSize(strPath, nSize, strCause);
    report.BeginFile(strPath, bSized ? std::optional<uint64_t>(nSize) : std::nullopt);

    const std::string strOutputPath = CFileJob::OutputPathFor(strPath, args.strOutputFolder);
    host.BeginFile(strPath);
    host.CountBytesOf(bSized ? nullptr : &inStream);
    const CFileJob::Result result = CFileJob::Run(host, inStream, outStream, strPath, strOutputPath,
                                                  static_cast<int64_t>(nSize), CFileJob::Options{args.bRebuild, args.bCoreOnly, args.bRemoveCRC, args.bRemoveDialNorm});
    host.EndFile();

    CCliReport::FileSummary summary;
    summary.strState = CFileJob::StateText(result.eState);
    summary.strError = result.strError;
    summary.nFrames = result.nFrames;
    summary.strInputKind = result.strInputKind;
    summary.stream = result.stream;
    summary.cutShort = result.cutShort;
    summary.strCutShort = result.CutShortText();
    if (host.HasDetectedFormat())
        summary.strDetectedFormat = host.DetectedFormat();
    if (result.bOutputWritten)
        summary.strOutput = strOutputPath;
    report.EndFile(summary);

    // A stopped file is no failure of its own: the exit status tells of the signal.
    if (result.eState != CFileJob::EState::Done && result.eState != CFileJob::EState::Stopped)
        err << "kestrune-cli: " << CTerminalText::Escape(result.Message()) << '\n';
    return result.eState;
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
    for (const std::string& strPath : args.files) {
        bStopped = CCliHost::StopRequested();
        // A report that can no longer be written ends the run after the file it failed in.
        if (bStopped || !report->IsGood())
            break;
        const CFileJob::EState eState = RunFile(strPath, args, host, *report, inStream, outStream, err);
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
