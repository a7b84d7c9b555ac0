// SPDX-License-Identifier: GPL-3.0-or-later
// The walk of a batch's files on a worker thread: runs each file's job with the run's options,
// and sends what the walk finds to the window as queued signals, rows in batches.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dts/FileJob.h"
#include "dts/IFrameLoopHost.h"
#include "dts/InputItems.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"

class CTextReport;

// Rows travel between threads in shared batches, never copied one by one.
using FrameRowBatch = std::shared_ptr<const std::vector<FrameRow>>;

class CBatchWorker : public QObject, public IFrameLoopHost {
    Q_OBJECT
public:
    // One file (or track of a movie file) of the run: the batch row it belongs to, the file's
    // path and what is walked.
    struct SItem {
        int nItem = 0;
        QString strPath;
        InputItem input;
    };
    // What the run does to every file, taken at Start.
    struct SOptions {
        CFileJob::Options job;
        bool bWriteLog = false;   // each file's report beside it, as FILE.kestrune.log
        QString strOutputFolder;  // where outputs go; empty for beside each input
        // With job.bRebuild: a movie file's DTS tracks are rebuilt into one copy of the movie
        // beside it (movie.fixed.mkv), not each into a stream of its own.
        bool bRemux = false;
    };
    // How a file ended.
    struct SOutcome {
        CFileJob::Result result;
        QString strOutputPath;    // where the rebuilt stream (or the movie's copy) went, when one was kept
        QString strLogPath;       // the log written, when one was
        QString strLogError;      // why the log could not be written
    };

    // stop: the run's flag, set by the window's thread.
    explicit CBatchWorker(const std::atomic<bool>& stop);
    ~CBatchWorker() override;

    // Runs every item in order on the worker's thread, until the end or the stop flag.
    void Run(const std::vector<SItem>& items, const SOptions& options);

    // IFrameLoopHost
    bool IsStopSet() const override;
    void AddFrameRow(const FrameRow& row) override;
    void SetDetectedFormat(const std::string& strFormat) override;
    void SetProgressPos(int nPos) override;
    void SetCurrentFrame(int64_t nFrame) override { m_nFrame = nFrame; }

    // The log of a file, FILE.kestrune.log, from its output's stem (a movie's track:
    // movie.mkv.track2.kestrune.log).
    static QString LogPathFor(const QString& strOutputStem);

signals:
    void FileStarted(int nItem, const QString& strOutputPath);
    void RowsFound(int nItem, FrameRowBatch rows);
    void FormatDetected(int nItem, const QString& strFormat);
    // nPercent of the file read; nFrame the last frame handled.
    void ProgressMoved(int nItem, int nPercent, qint64 nFrame);
    void FileEnded(int nItem, const CBatchWorker::SOutcome& outcome);
    void RunEnded(bool bStopped);

private:
    // Walks the file's bytes (nSize of them), once the file is found readable.
    using Walk = std::function<CFileJob::Result(int64_t nSize)>;
    // Runs one item: strOutput is the output the walk writes, shown while it runs.
    SOutcome RunItem(const SItem& item, const SOptions& options, const std::string& strOutput, const Walk& walk);
    // Items [nBegin, nEnd) are the DTS tracks of one movie file, rebuilt into one copy of it;
    // the last track's outcome holds the copy.
    void RunRemux(const std::vector<SItem>& items, size_t nBegin, size_t nEnd, const SOptions& options);
    void FlushRows();
    bool WriteLog(const QString& strPath, const std::string& strText, QString& strCause) const;

    const std::atomic<bool>& m_bStop;
    CBitStream m_InStream;
    COutBitStream m_OutStream;
    int m_nItem = -1;
    std::vector<FrameRow> m_Pending;
    std::chrono::steady_clock::time_point m_LastReport; // when the window last heard of the walk
    int m_nPos = -1;
    int64_t m_nFrame = -1;
    // The file's report as the command line prints it, when a log is written.
    std::unique_ptr<std::ostringstream> m_pLogText;
    std::unique_ptr<CTextReport> m_pLog;
    std::string m_strDetectedFormat;
};

Q_DECLARE_METATYPE(FrameRowBatch)
Q_DECLARE_METATYPE(CBatchWorker::SOutcome)
