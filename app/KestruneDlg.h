// The main window: the batch list and its buttons, the options, the frame list and the
// progress of the file in hand. It is the frame loop's host.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>
#include <QUrl>

#include <cstdint>

#include "app/DialogLayout.h"
#include "dts/IFrameLoopHost.h"
#include "dts/InputItems.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"

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

class CKestruneDlg : public QDialog, public IFrameLoopHost {
    Q_OBJECT
public:
    // The dialog builds its controls, initialises them and takes the settings of the last
    // run at once. tools picks files, shows message boxes and keeps the settings; it must
    // outlive the dialog.
    explicit CKestruneDlg(IPlatformTools& tools, QWidget* pParent = nullptr);
    ~CKestruneDlg() override;

    bool InitMainDialog();
    void UpdateRebuildOptions();
    void OnQuit();

    void AddFiles();
    // Adds rows for the given files, as picking them does.
    void AddPaths(const QStringList& paths);
    // Appends one batch row: strPath as shown, the size of strFile. False (after telling the
    // user) when strFile cannot be added.
    bool AddRow(const QString& strPath, const QString& strFile);
    void RunBatch();
    // The size of a file in bytes, in decimal. Throws CFileException when it cannot be opened.
    static QString GetFileSizeText(const QString& strPath);
    // The files a drop names: each file as it is, and for each folder the files inside it
    // (at any depth, sorted by path) whose extensions the DTS filters name, but for outputs of
    // an earlier run (FILE.fixed.dts).
    static QStringList CollectDroppedPaths(const QList<QUrl>& urls);

    // Batch editing, refused while a batch runs.
    void RemoveSelectedRows();
    void ClearBatchList();
    // The selected frame-list rows, with the headings, as tab-separated text on the clipboard.
    void CopyFrameRows();
    // Asks for a file name and writes the whole frame list there as CSV.
    void SaveFrameList();

    void InitListViews();
    void AutoSizeColumns(CListView& list);

    bool IsBatchRunning() const { return m_bBatchRunning; }

    // Read once per file, when the batch starts it.
    bool IsRebuildStreamTicked() const;
    bool IsCoreOnlyTicked() const;

    // Shrinks the window, and moves it, until it and its frame lie inside rcAvailable (the
    // screen's free area); it never grows past its size nor shrinks below its minimum.
    void FitToScreen(const QRect& rcAvailable);
    // The settings kept between runs: size and position, and the option ticks.
    void LoadSettings();
    void SaveSettings();

    // IFrameLoopHost
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void SetProgressRange(int nLower, int nUpper) override;
    void SetProgressPos(int nPos) override;
    void ClearStop() override;
    bool IsStopSet() const override;
    void ClearFrameList() override;
    void DispatchPendingMessage() override;
    bool IsRemoveDialNormTicked() override;
    bool IsRemoveCRCTicked() override;
    void SetDetectedFormat(const std::string& strFormat) override;
    void SetCurrentFrame(int64_t nFrame) override;
    void AddFrameRow(const FrameRow& row) override;

    // The open-file dialog's filters, in the order it offers them; the last takes every file.
    static const QStringList& FileFilters();

    // Controls, in template order of the members the frame loop and the batch use.
    QProgressBar* m_ctlProgress = nullptr;
    QCheckBox* m_ctlRebuildStream = nullptr;
    QCheckBox* m_ctlRemoveDialNorm = nullptr;
    QCheckBox* m_ctlRemoveCRC = nullptr;
    QCheckBox* m_ctlEnableLog = nullptr;
    CListView* m_ctlBatchList = nullptr;
    QLabel* m_ctlOutputName = nullptr;
    QLabel* m_ctlCurrentFrame = nullptr;
    CListView* m_ctlFrameList = nullptr;
    // The other controls of the window.
    QPushButton* m_ctlAddFile = nullptr;
    QPushButton* m_ctlStartBatch = nullptr;
    QPushButton* m_ctlQuit = nullptr;
    QCheckBox* m_ctlSwapWord = nullptr;
    QCheckBox* m_ctlCoreOnly = nullptr;
    QLabel* m_ctlFileCount = nullptr; // "file k of n" while a batch runs
    COutputFolderChoice* m_ctlOutputFolder = nullptr; // beside each input, or one folder
    QLabel* m_ctlLogo = nullptr;
    QGroupBox* m_ctlProcessingGroup = nullptr;
    QGroupBox* m_ctlDebugGroup = nullptr;
    // The lists' context menus.
    QAction* m_pRemoveAction = nullptr;
    QAction* m_pClearAction = nullptr;
    QAction* m_pCopyAction = nullptr;
    QAction* m_pSaveAction = nullptr;

    int m_bSwapWord = 0; // state of the hidden "Swap Word" box; nothing reads it
    QIcon m_hIcon;
    // The batch rows that stand for a movie file's track (or a movie file that has none), by
    // their text; any other row is a file of its own.
    QHash<QString, InputItem> m_BatchItems;
    QString m_strInputPath;
    QString m_strOutputPath;
    int64_t m_nInputSize = 0;
    CBitStream m_InStream;
    COutBitStream m_OutStream;
    bool m_bStop = false;

    // The dialog-unit rectangle of the template, in pixels of the dialog's font.
    QRect DialogUnitsToPixels(int x, int y, int cx, int cy) const;

public slots:
    void accept() override;
    void reject() override;
    void done(int nResult) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    void LayOutControls();
    void CreateActions();
    void ShowCurrentFrame();
    // Runs one row; true when its file is done.
    bool RunRow(int nRow);
    void SetRowOutcome(int nRow, const QString& strState, const QString& strCause, bool bDone);
    void SetBatchRunning(bool bRunning);
    int LogoRightLimit() const;

    IPlatformTools& m_Tools;
    CFrameListModel* m_pFrameModel = nullptr; // owned by the frame list
    CDialogLayout m_Layout;
    bool m_bBatchRunning = false;
    int m_nRunningRow = -1;   // the batch row whose file the loop is walking
    // The loop asks to dispatch events on every frame; doing so only every few
    // milliseconds keeps the window live without slowing the loop.
    QElapsedTimer m_DispatchClock;
    int64_t m_nShownFrame = -1;
    int64_t m_nCurrentFrame = -1;
    int m_nWaitCursorDepth = 0;
};
