// SPDX-License-Identifier: GPL-3.0-or-later
// The batch's worker thread and its stop flag.
#include "app/BatchRun.h"

#include <QEventLoop>

CBatchRun::CBatchRun(QObject* pParent)
    : QObject(pParent)
    , m_pWorker(new CBatchWorker(m_bStop))
{
    qRegisterMetaType<FrameRowBatch>();
    qRegisterMetaType<CBatchWorker::SOutcome>();
    m_Thread.setObjectName(QStringLiteral("kestrune batch"));
    m_pWorker->moveToThread(&m_Thread);
    connect(&m_Thread, &QThread::finished, m_pWorker, &QObject::deleteLater);
    connect(m_pWorker, &CBatchWorker::RunEnded, this, [this](bool bStopped) {
        m_bRunning = false;
        emit RunEnded(bStopped);
    });
    m_Thread.start();
}

CBatchRun::~CBatchRun()
{
    m_bStop = true;
    m_Thread.quit();
    m_Thread.wait();
}

bool CBatchRun::Start(const std::vector<CBatchWorker::SItem>& items, const CBatchWorker::SOptions& options)
{
    if (m_bRunning)
        return false;
    m_bRunning = true;
    m_bStop = false;
    CBatchWorker* pWorker = m_pWorker;
    QMetaObject::invokeMethod(pWorker, [pWorker, items, options] { pWorker->Run(items, options); }, Qt::QueuedConnection);
    return true;
}

void CBatchRun::Stop()
{
    if (m_bRunning)
        m_bStop = true;
}

void CBatchRun::StopAndWait()
{
    if (!m_bRunning)
        return;
    Stop();
    // The worker's last reports are let in, so the rows and states shown are its final ones.
    QEventLoop loop;
    connect(this, &CBatchRun::RunEnded, &loop, &QEventLoop::quit);
    if (m_bRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
}
