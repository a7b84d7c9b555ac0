// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the batch list and its buttons, the options, the frame list of the file
// selected and the progress of the batch. The walk itself runs beside it, in a CBatchRun.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <vector>

#include "app/BatchItem.h"
#include "app/BatchWorker.h"
#include "app/DialogLayout.h"

class CBatchRun;
class CFrameListModel;
class CListView;
class COutputFolderChoice;
class IPlatformTools;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;

class CKestruneDlg : public QDialog {
    Q_OBJECT
public:
    // The dialog builds its controls, initialises them and takes the settings of the last
    // run at once. tools picks files, shows message boxes and keeps the settings; it must
    // outlive the dialog. Its controls carry object names (see CreateControls) by which
    // tests and accessibility tools find them.
    explicit CKestruneDlg(IPlatformTools& tools, QWidget* pParent = nullptr);
    ~CKestruneDlg() override;

    // Asks for files and adds them, as Add does.
    void AddFiles();
    // Adds rows for the given files, as picking them does: a file that cannot be measured, or
    // that is in the list already, is left out with a note in the status line.
    void AddPaths(const QStringList& paths);
    // Starts the batch with the options as they are now; they and the list stay locked until
    // it ends. Returns at once: the run goes on beside the window.
    void RunBatch();
    // Ends the run after the frame in hand; the window and the list stay.
    void StopBatch();
    bool IsBatchRunning() const;
    // The files a drop names: each file as it is, and for each folder the files inside it
    // (at any depth, sorted by path) whose extensions the DTS filters name, but for outputs of
    // an earlier run (FILE.fixed.dts).
    static QStringList CollectDroppedPaths(const QList<QUrl>& urls);

    // Batch editing, refused with a note while a batch runs.
    void RemoveSelectedRows();
    void ClearBatchList();
    // The selected rows of a list, with the headings, as tab-separated text on the clipboard.
    void CopyFrameRows();
    void CopyBatchRows();
    // Asks for a file name and writes the frame list shown there as CSV.
    void SaveFrameList();
    // Asks for a file name and writes the whole batch there, as CSV or (".json") JSON.
    void SaveReport();

    // The text of the status line: what was refused or left out last.
    QString GetStatusText() const;

    // Shrinks the window, and moves it, until it and its frame lie inside rcAvailable (the
    // screen's free area); it never grows past its size nor shrinks below its minimum.
    void FitToScreen(const QRect& rcAvailable);

    // The open-file dialog's filters, in the order it offers them; the last takes every file.
    static const QStringList& FileFilters();

    // The dialog-unit rectangle of the template, in pixels of the dialog's font.
    QRect DialogUnitsToPixels(int x, int y, int cx, int cy) const;

public slots:
    void accept() override;
    void reject() override;
    void done(int nResult) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    void LayOutControls();
    void LayOutPage();
    void DescribeControls();
    void CreateActions();
    void ConnectRun();
    void InitListViews();
    void UpdateRebuildOptions();
    void LoadSettings();
    void SaveSettings();
    int LogoRightLimit() const;
    // True when the window may close: no run, or the user agreed to stop it (then stopped).
    bool MayClose();
    bool RefuseWhileRunning();
    void SetStatus(const QString& strText);
    void SetBatchRunning(bool bRunning);
    CBatchWorker::SOptions TakeOptions() const;
    void ResetRows();
    void ShowFramesOf(int nItem);
    void SetRowState(int nItem, const QString& strState, const QString& strCause, bool bWarning);

    // What the worker reports.
    void OnFileStarted(int nItem, const QString& strOutputPath);
    void OnRowsFound(int nItem, const FrameRowBatch& rows);
    void OnFormatDetected(int nItem, const QString& strFormat);
    void OnProgressMoved(int nItem, int nPercent, qint64 nFrame);
    void OnFileEnded(int nItem, const CBatchWorker::SOutcome& outcome);
    void OnRunEnded(bool bStopped);

    IPlatformTools& m_Tools;
    CDialogLayout m_Layout;
    QScrollArea* m_pScroll = nullptr;
    QWidget* m_pPage = nullptr;        // holds every control; scrolled by m_pScroll
    QSize m_ContentMinimum;            // the smallest page that keeps every control whole
    CBatchRun* m_pRun = nullptr;
    std::vector<SBatchItem> m_Items;   // one per batch-list row, in its order
    CFrameListModel* m_pFrameModel = nullptr; // owned by the frame list
    int m_nShownItem = -1;             // whose frames the frame list shows
    int m_nRunFiles = 0;               // files in the run, for the progress
    int m_nRunEnded = 0;
    int m_nRunDone = 0;
    QStringList m_RunLogs;             // logs written by the run
    QStringList m_RunLogErrors;
    QIcon m_hIcon;

    // Controls, in template order.
    QProgressBar* m_ctlProgress = nullptr;
    QCheckBox* m_ctlRebuildStream = nullptr;
    QCheckBox* m_ctlRemuxCopy = nullptr;
    QCheckBox* m_ctlRemoveDialNorm = nullptr;
    QCheckBox* m_ctlRemoveCRC = nullptr;
    QCheckBox* m_ctlEnableLog = nullptr;
    CListView* m_ctlBatchList = nullptr;
    QLabel* m_ctlOutputName = nullptr;
    QLabel* m_ctlCurrentFrame = nullptr;
    CListView* m_ctlFrameList = nullptr;
    QPushButton* m_ctlAddFile = nullptr;
    QPushButton* m_ctlStartBatch = nullptr;
    QPushButton* m_ctlStop = nullptr;
    QPushButton* m_ctlQuit = nullptr;
    QCheckBox* m_ctlSwapWord = nullptr;
    QCheckBox* m_ctlCoreOnly = nullptr;
    QLabel* m_ctlFileCount = nullptr; // "file k of n" while a batch runs
    QLabel* m_ctlOutputFolderLabel = nullptr;
    // Beside each input, or one folder. It sits below the buttons' row: in a window narrower than
    // the template the buttons move left, over where it would be.
    COutputFolderChoice* m_ctlOutputFolder = nullptr;
    QLabel* m_ctlStatus = nullptr;
    QLabel* m_ctlLogo = nullptr;
    QLabel* m_ctlBatchLabel = nullptr;
    QLabel* m_ctlFrameLabel = nullptr;
    QGroupBox* m_ctlProcessingGroup = nullptr;
    QGroupBox* m_ctlDebugGroup = nullptr;
    QAction* m_pRemoveAction = nullptr;
    QAction* m_pClearAction = nullptr;
};
