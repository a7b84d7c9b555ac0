// SPDX-License-Identifier: GPL-3.0-or-later
// The batch's walk on the worker thread.
#include "app/BatchWorker.h"

#include <QFileInfo>
#include <QSaveFile>

#include "cli/TextReport.h"
#include "dts/RemuxJob.h"
#include "stream/FileShim.h"

namespace {

// Rows and progress are sent at most this often, and rows also when this many wait: every
// report costs the window a pass of its event loop and a repaint, so a file with a row in every
// frame costs it a dozen, not one per row or per percent.
constexpr std::chrono::milliseconds kReportInterval(50);
constexpr size_t kRowsPerBatch = 8192;

// Whether item is a DTS track of a movie that the run rebuilds into a copy of the movie.
bool IsRemuxed(const CBatchWorker::SItem& item, const CBatchWorker::SOptions& options)
{
    return options.bRemux && options.job.bRebuild && item.input.IsTrack() && item.input.strProblem.empty();
}

} // namespace

CBatchWorker::CBatchWorker(const std::atomic<bool>& stop)
    : m_bStop(stop)
{
}

CBatchWorker::~CBatchWorker() = default;

QString CBatchWorker::LogPathFor(const QString& strOutputStem)
{
    return strOutputStem + QStringLiteral(".kestrune.log");
}

void CBatchWorker::Run(const std::vector<SItem>& items, const SOptions& options)
{
    for (size_t i = 0; i < items.size() && !IsStopSet();) {
        size_t nEnd = i + 1;
        if (IsRemuxed(items[i], options)) {
            // The consecutive tracks of one movie go into one copy.
            while (nEnd < items.size() && items[nEnd].strPath == items[i].strPath && IsRemuxed(items[nEnd], options))
                ++nEnd;
            RunRemux(items, i, nEnd, options);
        } else {
            const SItem& item = items[i];
            const std::string strInput = item.strPath.toStdString();
            const std::string strOutput =
                CFileJob::OutputPathFor(item.input.strOutputStem, options.strOutputFolder.toStdString());
            const Walk walk = [&](int64_t nSize) {
                return CFileJob::Run(*this, m_InStream, m_OutStream, strInput, strOutput, nSize, options.job, &item.input);
            };
            emit FileEnded(item.nItem, RunItem(item, options, strOutput, walk));
        }
        i = nEnd;
    }
    emit RunEnded(IsStopSet());
}

void CBatchWorker::RunRemux(const std::vector<SItem>& items, size_t nBegin, size_t nEnd, const SOptions& options)
{
    CRemuxJob job(items[nBegin].strPath.toStdString());
    const CFileJob::Result prepared = job.Prepare();
    for (size_t i = nBegin; i < nEnd && !IsStopSet(); ++i) {
        const Walk walk = [&](int64_t nSize) {
            if (prepared.eState != CFileJob::EState::Done)
                return prepared;
            CFileJob::Result result = job.WalkTrack(*this, m_InStream, m_OutStream, items[i].input, nSize, options.job);
            // The copy is written after the last track (or refused, naming the copy, when an
            // earlier one failed).
            if (i + 1 < nEnd || result.eState != CFileJob::EState::Done)
                return result;
            CFileJob::Result finished = job.Finish(*this);
            finished.nFrames = result.nFrames;
            finished.strInputKind = result.strInputKind;
            return finished;
        };
        emit FileEnded(items[i].nItem, RunItem(items[i], options, job.GetOutputPath(), walk));
    }
}

CBatchWorker::SOutcome CBatchWorker::RunItem(const SItem& item, const SOptions& options, const std::string& strOutput,
                                             const Walk& walk)
{
    m_nItem = item.nItem;
    m_Pending.clear();
    m_nPos = -1;
    m_nFrame = -1;
    m_LastReport = {};
    m_strDetectedFormat.clear();
    const std::string strInput = item.strPath.toStdString();
    emit FileStarted(item.nItem, QString::fromStdString(strOutput));

    SOutcome outcome;
    uint64_t nSize = 0;
    // A file gone, or turned into a folder or a pipe, since it was added fails here, before
    // anything opens it (a pipe with no writer would hold the walk for good).
    const bool bSized = CFileShim::GetRegularFileSize(strInput, nSize, outcome.result.strError);
    if (options.bWriteLog) {
        m_pLogText = std::make_unique<std::ostringstream>();
        m_pLog = std::make_unique<CTextReport>(*m_pLogText);
        m_pLog->BeginFile(item.input, bSized ? std::optional<uint64_t>(nSize) : std::nullopt);
    }
    if (!bSized) {
        outcome.result.eState = CFileJob::EState::CannotOpenInput;
        outcome.result.eFailedPath = CFileJob::EFailedPath::Input;
        outcome.result.strFailedPath = strInput;
    } else if (!item.input.strProblem.empty()) {
        // A movie file without a DTS track (or one that cannot be read) says what it holds.
        outcome.result = CFileJob::Unwalkable(strInput, item.input.strProblem, item.input.bReadFailed);
    } else {
        outcome.result = walk(int64_t(nSize));
    }
    FlushRows();
    if (outcome.result.bOutputWritten)
        outcome.strOutputPath = QString::fromStdString(strOutput);
    // A stopped file's report is not whole: no log stands for it.
    if (m_pLog && outcome.result.eState != CFileJob::EState::Stopped) {
        CCliReport::FileSummary summary = CCliReport::FileSummary::Of(outcome.result);
        if (!m_strDetectedFormat.empty())
            summary.strDetectedFormat = m_strDetectedFormat;
        if (outcome.result.bOutputWritten)
            summary.strOutput = strOutput;
        m_pLog->EndFile(summary);
        const QString strLogPath = LogPathFor(QString::fromStdString(item.input.strOutputStem));
        if (WriteLog(strLogPath, m_pLogText->str(), outcome.strLogError))
            outcome.strLogPath = strLogPath;
    }
    m_pLog.reset();
    m_pLogText.reset();
    return outcome;
}

bool CBatchWorker::WriteLog(const QString& strPath, const std::string& strText, QString& strCause) const
{
    // Written whole beside the input, or not at all.
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(strText.data(), qint64(strText.size())) != qint64(strText.size())
        || !file.commit()) {
        strCause = QStringLiteral("Cannot write the log \"%1\": %2.").arg(strPath, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

bool CBatchWorker::IsStopSet() const
{
    return m_bStop.load(std::memory_order_relaxed);
}

void CBatchWorker::AddFrameRow(const FrameRow& row)
{
    if (m_pLog)
        m_pLog->AddRow(row);
    m_Pending.push_back(row);
    if (m_Pending.size() >= kRowsPerBatch)
        FlushRows();
}

void CBatchWorker::SetDetectedFormat(const std::string& strFormat)
{
    m_strDetectedFormat = strFormat;
    emit FormatDetected(m_nItem, QString::fromStdString(strFormat));
}

void CBatchWorker::SetProgressPos(int nPos)
{
    // Called for every frame: the clock is read only when the percentage moves.
    if (nPos == m_nPos)
        return;
    m_nPos = nPos;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_LastReport < kReportInterval)
        return;
    m_LastReport = now;
    FlushRows();
    emit ProgressMoved(m_nItem, nPos, m_nFrame);
}

void CBatchWorker::FlushRows()
{
    if (m_Pending.empty())
        return;
    auto rows = std::make_shared<std::vector<FrameRow>>();
    rows->swap(m_Pending);
    emit RowsFound(m_nItem, std::move(rows));
}
