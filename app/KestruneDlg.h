// The main window: the batch list and its buttons, the options, the frame list and the
// progress of the file in hand. It is the frame loop's host.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QIcon>
#include <QString>

#include <cstdint>

#include "dts/IFrameLoopHost.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"

class CListView;
class IPlatformTools;
class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

class CKestruneDlg : public QDialog, public IFrameLoopHost {
    Q_OBJECT
public:
    // The dialog builds its controls and initialises them at once. tools picks files and
    // shows message boxes; it must outlive the dialog.
    explicit CKestruneDlg(IPlatformTools& tools, QWidget* pParent = nullptr);
    ~CKestruneDlg() override;

    bool InitMainDialog();
    void UpdateRebuildOptions();
    void OnQuit();

    void AddFiles();
    void RunBatch();
    // The size of a file in bytes, in decimal. Throws CFileException when it cannot be opened.
    static QString GetFileSizeText(const QString& strPath);

    void InitListViews();
    void AutoSizeColumns(CListView& list);

    bool IsBatchRunning() const { return m_bBatchRunning; }

    // Read once per file, when the batch starts it.
    bool IsRebuildStreamTicked() const;

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

    // The open-file dialog's filters, in the order it offers them.
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
    QLabel* m_ctlLogo = nullptr;
    QGroupBox* m_ctlProcessingGroup = nullptr;
    QGroupBox* m_ctlDebugGroup = nullptr;

    int m_bSwapWord = 0; // state of the hidden "Swap Word" box; nothing reads it
    QIcon m_hIcon;
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

private:
    void CreateControls();
    void ShowCurrentFrame();

    IPlatformTools& m_Tools;
    // Pixels per four dialog units across and per eight down: the font's average character
    // width and height, widened where a caption would not fit its control otherwise.
    double m_dBaseUnitX = 0;
    double m_dBaseUnitY = 0;
    bool m_bBatchRunning = false;
    int m_nRunningRow = -1;   // the batch row whose file the loop is walking
    // The loop asks to dispatch events on every frame; doing so only every few
    // milliseconds keeps the window live without slowing the loop.
    QElapsedTimer m_DispatchClock;
    int64_t m_nShownFrame = -1;
    int64_t m_nCurrentFrame = -1;
    int m_nWaitCursorDepth = 0;
};
