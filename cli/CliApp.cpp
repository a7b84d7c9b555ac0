// kestrune-cli: reads the arguments, walks the files into a text or JSON report, and tells
// by its exit status how it went.
#include "cli/CliApp.h"

#include <memory>
#include <optional>

#include "cli/CliArguments.h"
#include "cli/CliHost.h"
#include "cli/JsonReport.h"
#include "cli/TerminalText.h"
#include "cli/TextReport.h"
#include "dts/FileJob.h"
#include "dts/InputItems.h"
#include "stream/BitStream.h"
#include "stream/FileShim.h"
#include "stream/OutBitStream.h"

namespace {

// Walks one file into the report; false when it failed (the cause went to err).
bool RunItem(const InputItem& item, const CCliArguments& args, CCliHost& host, CCliReport& report,
             CBitStream& inStream, COutBitStream& outStream, std::ostream& err)
{
    const std::string& strPath = item.strPath;
    uint64_t nSize = 0;
    std::string strCause;
    const bool bSized = CFileShim::GetRegularFileSize(strPath, nSize, strCause);
    report.BeginFile(item, bSized ? std::optional<uint64_t>(nSize) : std::nullopt);

    const std::string& strOutputPath = item.strOutputPath;
    host.BeginFile(item.Label());
    const CFileJob::Options options{args.bRebuild, args.bCoreOnly};
    const CFileJob::Result result =
        item.strProblem.empty()
            ? CFileJob::Run(host, inStream, outStream, strPath, strOutputPath, static_cast<int64_t>(nSize), options, &item)
            : CFileJob::Unwalkable(strPath, item.strProblem);
    host.EndFile();

    CCliReport::FileSummary summary;
    summary.strState = CFileJob::StateText(result.eState);
    summary.strError = result.strError;
    summary.nFrames = result.nFrames;
    summary.strInputKind = result.strInputKind;
    if (host.HasDetectedFormat())
        summary.strDetectedFormat = host.DetectedFormat();
    if (result.bOutputWritten)
        summary.strOutput = strOutputPath;
    report.EndFile(summary);

    // A stopped file is no failure of its own: the exit status tells of the signal.
    if (result.eState == CFileJob::EState::Done || result.eState == CFileJob::EState::Stopped)
        return true;
    err << "kestrune-cli: " << CTerminalText::Escape(result.Message()) << '\n';
    return false;
}

} // namespace

int CCliApp::Run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
                 std::FILE* progressOut)
{
    CCliArguments args;
    const int nParsed = args.Parse(argv, out, err);
    if (nParsed >= 0)
        return nParsed;

    std::unique_ptr<CCliReport> report;
    if (args.bJson)
        report = std::make_unique<CJsonReport>(out);
    else
        report = std::make_unique<CTextReport>(out);
    CCliHost host(args.bRemoveCRC, args.bRemoveDialNorm, *report, progressOut);
    CBitStream inStream;
    COutBitStream outStream;
    bool bAnyFailed = false;
    for (const std::string& strPath : args.files) {
        // A report that can no longer be written ends the run after the file it failed in.
        if (CCliHost::StopRequested() || !report->IsGood())
            break;
        for (const InputItem& item : CInputItems::Expand(strPath, args.tracks)) {
            if (CCliHost::StopRequested() || !report->IsGood())
                break;
            bAnyFailed |= !RunItem(item, args, host, *report, inStream, outStream, err);
        }
    }
    report->Finish();
    out.flush();

    if (CCliHost::StopRequested()) {
        err << "kestrune-cli: stopped by signal " << CCliHost::StopSignal() << '\n';
        return kExitSignalBase + CCliHost::StopSignal();
    }
    if (!report->IsGood()) {
        err << "kestrune-cli: writing the report failed (disk full or output closed?)\n";
        return kExitFileFailed;
    }
    return bAnyFailed ? kExitFileFailed : kExitOk;
}
