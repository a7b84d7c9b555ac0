// SPDX-License-Identifier: GPL-3.0-or-later
// What the dialog tests share: a dialog shown offscreen with fake platform tools, a scratch
// folder, and helpers that read its lists back.
#pragma once

#include <QCheckBox>
#include <QCoreApplication>
#include <QSemaphore>
#include <QTimer>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "FakePlatformTools.h"
#include "app/BatchRun.h"
#include "app/KestruneDlg.h"
#include "app/ListView.h"
#include "app/OutputFolderChoice.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

// Failures print the texts rather than their bytes.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& strText, std::ostream* pOut)
{
    *pOut << '"' << strText.toStdString() << '"';
}
QT_END_NAMESPACE

// Each helper and the fixture are used by the several files of dialog tests.

using EIcon = IPlatformTools::EIcon;

inline QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

inline QStringList Row(const CListView& list, int nRow)
{
    QStringList cells;
    for (int c = 0; c < list.GetColumnCount(); ++c)
        cells.append(list.GetItemText(nRow, c));
    return cells;
}

inline QStringList Column(const CListView& list, int nColumn)
{
    QStringList cells;
    for (int r = 0; r < list.GetItemCount(); ++r)
        cells.append(list.GetItemText(r, nColumn));
    return cells;
}

// The window's controls, found as accessibility tools and scripts find them: by object name.
struct SDlgControls {
    explicit SDlgControls(const CKestruneDlg& dlg)
        : m_Dlg(dlg)
    {
    }
    template <typename T>
    T* Find(const char* pszName) const
    {
        T* pControl = m_Dlg.findChild<T*>(QLatin1String(pszName));
        EXPECT_NE(pControl, nullptr) << pszName;
        return pControl;
    }
    const CKestruneDlg& m_Dlg;
    QProgressBar* const m_ctlProgress = Find<QProgressBar>("progress");
    QCheckBox* const m_ctlRebuildStream = Find<QCheckBox>("rebuildStream");
    QCheckBox* const m_ctlRemoveDialNorm = Find<QCheckBox>("removeDialNorm");
    QCheckBox* const m_ctlRemoveCRC = Find<QCheckBox>("removeCRC");
    QCheckBox* const m_ctlEnableLog = Find<QCheckBox>("enableLog");
    QCheckBox* const m_ctlCoreOnly = Find<QCheckBox>("coreOnly");
    QCheckBox* const m_ctlRemuxCopy = Find<QCheckBox>("remuxCopy");
    QCheckBox* const m_ctlSwapWord = Find<QCheckBox>("swapWord");
    CListView* const m_ctlBatchList = Find<CListView>("batchList");
    CListView* const m_ctlFrameList = Find<CListView>("frameList");
    QLabel* const m_ctlOutputName = Find<QLabel>("outputName");
    QLabel* const m_ctlCurrentFrame = Find<QLabel>("currentFrame");
    QLabel* const m_ctlFileCount = Find<QLabel>("fileCount");
    QLabel* const m_ctlLogo = Find<QLabel>("logo");
    QLabel* const m_ctlStatus = Find<QLabel>("status");
    QPushButton* const m_ctlAddFile = Find<QPushButton>("addFile");
    QPushButton* const m_ctlStartBatch = Find<QPushButton>("startBatch");
    QPushButton* const m_ctlStop = Find<QPushButton>("stop");
    QPushButton* const m_ctlQuit = Find<QPushButton>("quit");
    COutputFolderChoice* const m_ctlOutputFolder = Find<COutputFolderChoice>("outputFolder");
    QGroupBox* const m_ctlProcessingGroup = Find<QGroupBox>("processingGroup");
    QGroupBox* const m_ctlDebugGroup = Find<QGroupBox>("debugGroup");
};

inline SDlgControls C(const CKestruneDlg& dlg)
{
    return SDlgControls(dlg);
}

// Lets the window's events through until its batch has ended, for at most nTimeoutMs.
inline bool WaitForRunEnd(CKestruneDlg& dlg, int nTimeoutMs = 120000)
{
    QElapsedTimer clock;
    clock.start();
    while (dlg.IsBatchRunning() && clock.elapsed() < nTimeoutMs)
        QTest::qWait(5);
    return !dlg.IsBatchRunning();
}

// Holds the walk, on the worker's thread, once it reports nPercent of a file (reports come at
// most every 50 ms: 0, the file's start, always comes), until Release: a test can then press
// Stop or Quit while a file is surely in hand, however fast the walk.
class CWalkGate {
public:
    CWalkGate(CKestruneDlg& dlg, int nPercent)
    {
        CBatchRun* pRun = dlg.findChild<CBatchRun*>();
        EXPECT_NE(pRun, nullptr);
        m_Connection = QObject::connect(&pRun->Worker(), &CBatchWorker::ProgressMoved, &pRun->Worker(),
            [this, nPercent](int, int nPos, qint64) {
                if (nPos < nPercent || m_bFired)
                    return;
                m_bFired = true;
                m_Reached.release();
                m_Proceed.acquire();
            }, Qt::DirectConnection);
    }
    ~CWalkGate()
    {
        QObject::disconnect(m_Connection);
        Release();
    }
    // Lets the window's events through until the walk is held.
    bool WaitHeld(int nTimeoutMs = 60000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_Reached.tryAcquire(1, 1)) {
            QCoreApplication::processEvents();
            if (clock.elapsed() > nTimeoutMs)
                return false;
        }
        return true;
    }
    void Release()
    {
        if (m_bFired && !m_bReleased) {
            m_bReleased = true;
            m_Proceed.release();
        }
    }
    // Releases the walk once the window's thread next waits for events (inside a modal wait).
    void ReleaseLater()
    {
        QTimer::singleShot(0, [this] { Release(); });
    }

private:
    QMetaObject::Connection m_Connection;
    QSemaphore m_Reached;
    QSemaphore m_Proceed;
    std::atomic<bool> m_bFired{false};
    bool m_bReleased = false;
};

// Start Batch pressed, and the run waited for.
inline void RunAndWait(CKestruneDlg& dlg)
{
    C(dlg).m_ctlStartBatch->click();
    EXPECT_TRUE(WaitForRunEnd(dlg)) << "the batch ends";
}

// A committed sample copied into dir under a new name, so outputs land in the scratch directory.
inline std::string CopySample(const CTempDir& dir, const std::string& sample, const std::string& name)
{
    const std::string path = dir.Path(name);
    fs::copy_file(TestDataPath(sample), fs::u8path(path), fs::copy_options::overwrite_existing);
    return path;
}

// A plain stream of about 64 MB (a sample's frames over and over): long enough that a run is
// still walking it when a test presses Stop or Quit right after Start.
inline std::string WriteLongStream(const CTempDir& dir, const std::string& name)
{
    const std::vector<uint8_t> frames = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    std::vector<uint8_t> bytes;
    bytes.reserve(frames.size() * 5462);
    for (int i = 0; i < 5462; ++i)
        bytes.insert(bytes.end(), frames.begin(), frames.end());
    return dir.Write(name, bytes);
}

class KestruneDlgTest : public ::testing::Test {
protected:
    KestruneDlgTest() { m_Dlg.show(); }

    void Add(const QStringList& paths)
    {
        m_Tools.m_PickAnswers.push_back(paths);
        C(m_Dlg).m_ctlAddFile->click();
    }

    CFakePlatformTools m_Tools;
    CKestruneDlg m_Dlg{m_Tools};
    CTempDir m_Dir;
};

inline const QStringList kStereo48Row = {"00000000", "00000000", "384", "DTS 16/48", "L+R (stereo)", "512 bytes", "-0 dB", "NO"};

