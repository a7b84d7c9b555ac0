// SPDX-License-Identifier: GPL-3.0-or-later
// A batch run beside the window: owns the worker thread and the run's stop flag, starts a run
// with its options fixed, and passes on what the worker reports, on the window's thread.
#pragma once

#include <QObject>
#include <QThread>

#include <atomic>
#include <vector>

#include "app/BatchWorker.h"

class CBatchRun : public QObject {
    Q_OBJECT
public:
    explicit CBatchRun(QObject* pParent = nullptr);
    // A run still going is stopped and waited for.
    ~CBatchRun() override;

    // Starts walking items with options; false while a run is going.
    bool Start(const std::vector<CBatchWorker::SItem>& items, const CBatchWorker::SOptions& options);
    // Ends the run after the frame in hand; its end is still reported by RunEnded.
    void Stop();
    bool IsRunning() const { return m_bRunning; }
    // Stops the run and returns once the worker has left the file in hand (closing the window).
    void StopAndWait();

    // The worker's signals, queued to the window's thread: connect to these.
    CBatchWorker& Worker() { return *m_pWorker; }

signals:
    void RunEnded(bool bStopped);

private:
    std::atomic<bool> m_bStop{false};
    bool m_bRunning = false;
    QThread m_Thread;
    CBatchWorker* m_pWorker = nullptr; // lives on m_Thread, deleted when it ends
};
