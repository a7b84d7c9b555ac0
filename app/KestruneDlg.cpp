// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: builds the template's controls, edits the batch list and shows the run.
#include "app/KestruneDlg.h"

#include "KestruneVersion.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSet>
#include <QSettings>
#include <QStyle>
#include <QTimer>

#include <algorithm>

#include "app/BatchExport.h"
#include "app/BatchRun.h"
#include "app/FileCollector.h"
#include "app/FrameListModel.h"
#include "app/IPlatformTools.h"
#include "app/ListExport.h"
#include "app/ListView.h"
#include "app/OutputFolderChoice.h"
#include "stream/FileShim.h"

namespace {

const char* const kBatchListHeadings[] = {"Filename", "State", "Size", "Detected Format", "Stream"};
constexpr int kBatchColumnFilename = 0;
constexpr int kBatchColumnState = 1;
constexpr int kBatchColumnSize = 2;
constexpr int kBatchColumnDetectedFormat = 3;
constexpr int kBatchColumnStream = 4;
constexpr int kInitialColumnWidth = 50;

// Room for a window frame before the window is shown and its real frame is known.
constexpr int kFrameAllowanceX = 8;
constexpr int kFrameAllowanceY = 40;

const char* const kQueuedText = "queued";
const char* const kParsingText = "parsing...";
const char* const kRefusedWhileRunning = "The batch list and the options cannot change while a batch runs; press Stop first.";

QString Caption()
{
    return QStringLiteral("Kestrune");
}

} // namespace

// The images are compiled into a static library, whose initialiser a linker may drop.
static void InitResources()
{
    Q_INIT_RESOURCE(kestrune);
}

CKestruneDlg::CKestruneDlg(IPlatformTools& tools, QWidget* pParent)
    : QDialog(pParent)
    , m_Tools(tools)
    , m_pRun(new CBatchRun(this))
{
    InitResources();
    m_hIcon.addFile(QStringLiteral(":/kestrune/kestrune_32.png"), QSize(32, 32));
    m_hIcon.addFile(QStringLiteral(":/kestrune/kestrune_16.png"), QSize(16, 16));
    setWindowIcon(m_hIcon);
    CreateControls();
    LayOutControls();
    DescribeControls();
    CreateActions();
    ConnectRun();
    InitListViews();
    UpdateRebuildOptions();
    m_ctlAddFile->setFocus();
    LoadSettings();
}

CKestruneDlg::~CKestruneDlg()
{
    // The worker may still be walking: it is stopped before the rows it reports to go.
    delete m_pRun;
    m_pRun = nullptr;
    // The frame list outlives the batch rows (it goes with the window's children, after the
    // members): it must not be left showing a store that is freed.
    m_pFrameModel->Show(nullptr);
}

const QStringList& CKestruneDlg::FileFilters()
{
    static const QStringList filters = {
        QStringLiteral("All supported files (*.dts *.dtswav *.wav *.cpt *.mkv *.mka *.mp4 *.m4a *.mov *.ts *.m2ts *.mts *.vob *.evo)"),
        QStringLiteral("DTS Padded audio Files (*.dts)"),
        QStringLiteral("DTS WAV audio Files (*.dtswav, *.wav)"),
        QStringLiteral("DTS Compact audio Files (*.cpt)"),
        QStringLiteral("Movie files (*.mkv *.mka *.mp4 *.m4a *.mov *.ts *.m2ts *.mts *.vob *.evo)"),
        QStringLiteral("All files (*)"),
    };
    return filters;
}

QRect CKestruneDlg::DialogUnitsToPixels(int x, int y, int cx, int cy) const
{
    return m_Layout.ToPixels(QRect(x, y, cx, cy));
}

void CKestruneDlg::CreateControls()
{
    setWindowTitle(QString::fromLatin1(KestruneVersion::kTitle));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    // The controls sit on a page that scrolls when the screen is too small for the smallest
    // window that keeps them whole (a 1024x768 screen at 200%).
    m_pScroll = new QScrollArea(this);
    m_pScroll->setObjectName(QStringLiteral("scroll"));
    m_pScroll->setFrameShape(QFrame::NoFrame);
    m_pScroll->setWidgetResizable(false);
    m_pPage = new QWidget;
    m_pScroll->setWidget(m_pPage);
    using L = CDialogLayout;
    auto place = [this](auto* pControl, const char* pszName, int x, int y, int cx, int cy, unsigned follow = L::kStay) {
        pControl->setObjectName(QLatin1String(pszName));
        m_Layout.Add(pControl, QRect(x, y, cx, cy), follow);
        return pControl;
    };
    auto text = [this](const QString& strText) {
        auto* pLabel = new QLabel(strText, m_pPage);
        pLabel->setTextFormat(Qt::PlainText);
        pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return pLabel;
    };
    auto box = [this](const char* pszText) { return new QCheckBox(QString::fromLatin1(pszText), m_pPage); };
    auto button = [this](const char* pszText) { return new QPushButton(QString::fromLatin1(pszText), m_pPage); };
    auto group = [this](const char* pszTitle) { return new QGroupBox(QString::fromLatin1(pszTitle), m_pPage); };

    // Each list's label names it (with a mnemonic that reaches it); the status line sits below
    // the frame list and follows the window's lower edge.
    m_ctlAddFile = place(button("&Add DTS file..."), "addFile", 160, 80, 55, 14, L::kFollowRight);
    m_ctlFrameList = place(new CListView(m_pPage, m_pFrameModel = new CFrameListModel), "frameList", 7, 223, 368, 61,
                           L::kGrowWidth | L::kBelowUpper | L::kGrowWithLower);
    m_ctlFrameLabel = place(text(QStringLiteral("Current &Frame:")), "currentFrameLabel", 7, 206, 48, 9, L::kBelowUpper);
    m_ctlCurrentFrame = place(text(QString()), "currentFrame", 60, 206, 48, 9, L::kBelowUpper);
    m_ctlOutputName = place(text(QString()), "outputName", 60, 110, 315, 12, L::kGrowWidth);
    m_ctlSwapWord = place(box("Swap Word"), "swapWord", 305, 55, 64, 9, L::kFollowRight);
    m_ctlBatchLabel = place(text(QStringLiteral("&Batch list:")), "batchListLabel", 5, 110, 48, 9);
    m_ctlStartBatch = place(button("&Start Batch"), "startBatch", 220, 80, 55, 14, L::kFollowRight);
    // Stop takes Start's place while a batch runs.
    m_ctlStop = place(button("S&top"), "stop", 220, 80, 55, 14, L::kFollowRight);
    m_ctlRemuxCopy = place(box("&Write into a copy of the movie"), "remuxCopy", 165, 27, 125, 9, L::kFollowRight);
    m_ctlRemoveCRC = place(box("Remove &CRC"), "removeCRC", 165, 38, 64, 9, L::kFollowRight);
    m_ctlRemoveDialNorm = place(box("Remove &Dialog Normalization"), "removeDialNorm", 165, 49, 125, 9, L::kFollowRight);
    m_ctlCoreOnly = place(box("C&ore only"), "coreOnly", 165, 60, 64, 9, L::kFollowRight);
    m_ctlProcessingGroup = place(group("Processing"), "processingGroup", 160, 5, 135, 70, L::kFollowRight);
    m_ctlRebuildStream = place(box("&Rebuild Stream"), "rebuildStream", 165, 16, 64, 9, L::kFollowRight);
    m_ctlLogo = new QLabel(m_pPage);
    m_ctlLogo->setObjectName(QStringLiteral("logo"));
    m_ctlEnableLog = place(box("Enable &Log"), "enableLog", 305, 20, 64, 9, L::kFollowRight);
    m_ctlQuit = place(button("&Quit"), "quit", 320, 80, 55, 14, L::kFollowRight);
    m_ctlBatchList = place(new CListView(m_pPage), "batchList", 5, 125, 370, 71, L::kGrowWidth | L::kGrowWithUpper);
    m_ctlDebugGroup = place(group("Debug"), "debugGroup", 300, 5, 75, 70, L::kFollowRight);
    m_ctlFileCount = place(text(QString()), "fileCount", 115, 206, 60, 9, L::kBelowUpper);
    m_ctlProgress = place(new QProgressBar(m_pPage), "progress", 180, 205, 195, 15, L::kGrowWidth | L::kBelowUpper);
    m_ctlStatus = place(text(QString()), "status", 7, 287, 368, 9, L::kGrowWidth | L::kBelowUpper | L::kBelowLower);
    m_ctlOutputFolderLabel = place(text(QStringLiteral("O&utput folder:")), "outputFolderLabel", 5, 98, 48, 9);
    m_ctlOutputFolder = place(new COutputFolderChoice(m_Tools.Settings(), m_pPage), "outputFolder", 55, 96, 100, 13);
}

void CKestruneDlg::LayOutControls()
{
    m_ctlAddFile->setDefault(true);
    m_ctlStartBatch->setAutoDefault(true);
    m_ctlQuit->setAutoDefault(false);
    m_ctlStop->setAutoDefault(false);
    m_ctlStop->setVisible(false);
    m_ctlOutputName->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_ctlOutputName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_ctlSwapWord->setVisible(false);
    m_ctlSwapWord->setEnabled(false);
    // The bar shows the whole batch's progress, in percent.
    m_ctlProgress->setRange(0, 100);
    m_ctlProgress->setValue(0);
    m_ctlProgress->setTextVisible(true);
    m_ctlProgress->setFormat(QStringLiteral("%p%"));
    m_ctlStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The picture control takes the size of its bitmap, as a Windows bitmap static does.
    m_ctlLogo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_ctlLogo->setLineWidth(2);
    const QPixmap logo(QStringLiteral(":/kestrune/logo.png"));
    m_ctlLogo->setPixmap(logo);

    m_Layout.ComputeUnits(font());
    const QPoint logoAt = DialogUnitsToPixels(5, 5, 0, 0).topLeft();
    const int nFrame = m_ctlLogo->frameWidth();
    m_ctlLogo->setGeometry(logoAt.x(), logoAt.y(), logo.width() + 2 * nFrame, logo.height() + 2 * nFrame);
    m_ContentMinimum = m_Layout.MinimumSize(LogoRightLimit());
    setMinimumSize(m_ContentMinimum);
    resize(m_Layout.TemplateSize());
    LayOutPage();

    // Group boxes only frame their controls: they sit beneath them, so clicks reach the boxes.
    m_ctlProcessingGroup->lower();
    m_ctlDebugGroup->lower();
    setAcceptDrops(true);

    connect(m_ctlAddFile, &QPushButton::clicked, this, &CKestruneDlg::AddFiles);
    connect(m_ctlStartBatch, &QPushButton::clicked, this, &CKestruneDlg::RunBatch);
    connect(m_ctlStop, &QPushButton::clicked, this, &CKestruneDlg::StopBatch);
    connect(m_ctlRebuildStream, &QCheckBox::clicked, this, &CKestruneDlg::UpdateRebuildOptions);
    connect(m_ctlQuit, &QPushButton::clicked, this, &CKestruneDlg::accept);
}

void CKestruneDlg::DescribeControls()
{
    // The labels that name a control show their mnemonics and reach it.
    for (QLabel* pLabel : {m_ctlBatchLabel, m_ctlFrameLabel, m_ctlOutputFolderLabel})
        pLabel->setTextFormat(Qt::AutoText);
    m_ctlBatchLabel->setBuddy(m_ctlBatchList);
    m_ctlFrameLabel->setBuddy(m_ctlFrameList);
    m_ctlOutputFolderLabel->setBuddy(m_ctlOutputFolder);
    m_ctlOutputFolder->setAccessibleName(QStringLiteral("Output folder"));
    m_ctlBatchList->setAccessibleName(QStringLiteral("Batch list"));
    m_ctlFrameList->setAccessibleName(QStringLiteral("Frame list"));
    m_ctlProgress->setAccessibleName(QStringLiteral("Batch progress"));
    m_ctlCurrentFrame->setAccessibleName(QStringLiteral("Current frame"));
    m_ctlFileCount->setAccessibleName(QStringLiteral("File in hand"));
    m_ctlOutputName->setAccessibleName(QStringLiteral("Output file"));
    m_ctlStatus->setAccessibleName(QStringLiteral("Status"));
    m_ctlLogo->setAccessibleName(QStringLiteral("Kestrune logo"));
    m_ctlRebuildStream->setToolTip(QStringLiteral("Write a clean 16-bit big-endian copy of each file as FILE.fixed.dts, beside it or in the output folder."));
    m_ctlRemuxCopy->setToolTip(QStringLiteral("With Rebuild Stream, for movie files only: the DTS tracks are rebuilt into one copy of the whole movie, MOVIE.fixed.EXT beside it. DTS and WAVE files are rebuilt as usual."));
    m_ctlRemoveCRC->setToolTip(QStringLiteral("With Rebuild Stream: the copy's frame headers leave out their CRC."));
    m_ctlRemoveDialNorm->setToolTip(QStringLiteral("With Rebuild Stream: the copy's dialog normalisation is set to 0 dB."));
    m_ctlCoreOnly->setToolTip(QStringLiteral("With Rebuild Stream: the copy keeps the DTS core and leaves the DTS-HD extensions out."));
    m_ctlEnableLog->setToolTip(QStringLiteral("Write each file's report beside it, as FILE.kestrune.log."));
    m_ctlOutputFolder->setToolTip(QStringLiteral("Where Rebuild Stream writes FILE.fixed.dts: beside each input, or in one folder."));
    m_ctlStop->setToolTip(QStringLiteral("End the batch after the frame in hand; the list stays."));
    // Top to bottom, left to right: the options, the buttons, then the lists.
    const QList<QWidget*> order = {m_ctlRebuildStream, m_ctlRemuxCopy, m_ctlRemoveCRC, m_ctlRemoveDialNorm, m_ctlCoreOnly, m_ctlEnableLog,
                                   m_ctlAddFile, m_ctlStartBatch, m_ctlStop, m_ctlQuit, m_ctlOutputFolder, m_ctlBatchList,
                                   m_ctlFrameList};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

int CKestruneDlg::LogoRightLimit() const
{
    // The controls right of the logo keep the template's margin from it.
    return m_ctlLogo->geometry().right() + 1 + DialogUnitsToPixels(0, 0, 5, 0).width();
}

void CKestruneDlg::CreateActions()
{
    auto add = [](CListView* pList, const QString& strText, const QKeySequence& key) {
        auto* pAction = new QAction(strText, pList);
        pAction->setShortcut(key);
        pAction->setShortcutContext(Qt::WidgetShortcut);
        pList->addAction(pAction);
        return pAction;
    };
    m_pRemoveAction = add(m_ctlBatchList, QStringLiteral("Remove"), QKeySequence::Delete);
    m_pClearAction = add(m_ctlBatchList, QStringLiteral("Clear list"), QKeySequence());
    QAction* pCopyBatch = add(m_ctlBatchList, QStringLiteral("Copy"), QKeySequence::Copy);
    QAction* pReport = add(m_ctlBatchList, QStringLiteral("Save report..."), QKeySequence());
    QAction* pCopyFrames = add(m_ctlFrameList, QStringLiteral("Copy"), QKeySequence::Copy);
    QAction* pSelectAll = add(m_ctlFrameList, QStringLiteral("Select All"), QKeySequence::SelectAll);
    QAction* pSave = add(m_ctlFrameList, QStringLiteral("Save list..."), QKeySequence());
    for (CListView* pList : {m_ctlBatchList, m_ctlFrameList})
        pList->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_pRemoveAction, &QAction::triggered, this, &CKestruneDlg::RemoveSelectedRows);
    connect(m_pClearAction, &QAction::triggered, this, &CKestruneDlg::ClearBatchList);
    connect(pCopyBatch, &QAction::triggered, this, &CKestruneDlg::CopyBatchRows);
    connect(pReport, &QAction::triggered, this, &CKestruneDlg::SaveReport);
    connect(pCopyFrames, &QAction::triggered, this, &CKestruneDlg::CopyFrameRows);
    connect(pSelectAll, &QAction::triggered, m_ctlFrameList, &CListView::selectAll);
    connect(pSave, &QAction::triggered, this, &CKestruneDlg::SaveFrameList);
}

void CKestruneDlg::ConnectRun()
{
    CBatchWorker& worker = m_pRun->Worker();
    // Queued: the worker's thread only reports; every change to the window is made here.
    connect(&worker, &CBatchWorker::FileStarted, this, &CKestruneDlg::OnFileStarted, Qt::QueuedConnection);
    connect(&worker, &CBatchWorker::RowsFound, this, &CKestruneDlg::OnRowsFound, Qt::QueuedConnection);
    connect(&worker, &CBatchWorker::FormatDetected, this, &CKestruneDlg::OnFormatDetected, Qt::QueuedConnection);
    connect(&worker, &CBatchWorker::ProgressMoved, this, &CKestruneDlg::OnProgressMoved, Qt::QueuedConnection);
    connect(&worker, &CBatchWorker::FileEnded, this, &CKestruneDlg::OnFileEnded, Qt::QueuedConnection);
    connect(m_pRun, &CBatchRun::RunEnded, this, &CKestruneDlg::OnRunEnded);
    connect(m_ctlBatchList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { ShowFramesOf(current.isValid() ? current.row() : -1); });
}

void CKestruneDlg::UpdateRebuildOptions()
{
    const bool bRebuild = m_ctlRebuildStream->isChecked();
    const bool bFree = !IsBatchRunning();
    m_ctlRebuildStream->setEnabled(bFree);
    m_ctlEnableLog->setEnabled(bFree);
    m_ctlOutputFolder->setEnabled(bFree);
    m_ctlRemuxCopy->setEnabled(bFree && bRebuild);
    m_ctlRemoveCRC->setEnabled(bFree && bRebuild);
    m_ctlRemoveDialNorm->setEnabled(bFree && bRebuild);
    m_ctlCoreOnly->setEnabled(bFree && bRebuild);
}

bool CKestruneDlg::IsBatchRunning() const
{
    return m_pRun != nullptr && m_pRun->IsRunning();
}

bool CKestruneDlg::MayClose()
{
    if (!IsBatchRunning())
        return true;
    if (!m_Tools.AskQuestion(this, QStringLiteral("Stop the run and quit?"), Caption()))
        return false;
    // The file in hand ends after its frame; its output, half written, is removed.
    m_pRun->StopAndWait();
    return true;
}

void CKestruneDlg::accept()
{
    // Quit: closes the window, asking first while a batch runs.
    if (MayClose())
        QDialog::accept();
}

void CKestruneDlg::reject()
{
    // Closing the window by its frame or its menu, as Quit does.
    if (MayClose())
        QDialog::reject();
}

void CKestruneDlg::done(int nResult)
{
    SaveSettings();
    QDialog::done(nResult);
}

void CKestruneDlg::keyPressEvent(QKeyEvent* event)
{
    // Esc would close a dialog at once, with the list and any run lost: here it does nothing.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CKestruneDlg::LoadSettings()
{
    QSettings& settings = m_Tools.Settings();
    const std::pair<const char*, QCheckBox*> options[] = {
        {"rebuildStream", m_ctlRebuildStream}, {"removeCRC", m_ctlRemoveCRC}, {"removeDialNorm", m_ctlRemoveDialNorm},
        {"coreOnly", m_ctlCoreOnly},           {"enableLog", m_ctlEnableLog},       {"remuxCopy", m_ctlRemuxCopy},
    };
    for (const auto& [pszKey, pBox] : options)
        pBox->setChecked(settings.value(QLatin1String(pszKey), false).toBool());
    UpdateRebuildOptions();
    const QByteArray geometry = settings.value(QStringLiteral("geometry")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    if (QScreen* pScreen = screen())
        FitToScreen(pScreen->availableGeometry());
}

void CKestruneDlg::SaveSettings()
{
    QSettings& settings = m_Tools.Settings();
    const std::pair<const char*, QCheckBox*> options[] = {
        {"rebuildStream", m_ctlRebuildStream}, {"removeCRC", m_ctlRemoveCRC}, {"removeDialNorm", m_ctlRemoveDialNorm},
        {"coreOnly", m_ctlCoreOnly},           {"enableLog", m_ctlEnableLog},       {"remuxCopy", m_ctlRemuxCopy},
    };
    for (const auto& [pszKey, pBox] : options)
        settings.setValue(QLatin1String(pszKey), pBox->isChecked());
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    settings.sync();
}

void CKestruneDlg::FitToScreen(const QRect& rcAvailable)
{
    // Once shown, the frame is known; before, room is kept for a usual one.
    QSize frame = frameGeometry().size() - size();
    const bool bFrameKnown = isVisible() && !frame.isEmpty();
    if (!bFrameKnown)
        frame = QSize(kFrameAllowanceX, kFrameAllowanceY);
    const QSize room = rcAvailable.size() - frame;
    // On a screen too small for the controls, the window takes the room there is and scrolls.
    setMinimumSize(m_ContentMinimum.boundedTo(room));
    const QSize fitted = size().boundedTo(room).expandedTo(minimumSize());
    if (fitted != size())
        resize(fitted);
    const QRect outer(frameGeometry().topLeft(), fitted + frame);
    const int x = std::max(rcAvailable.left(), std::min(outer.left(), rcAvailable.right() + 1 - outer.width()));
    const int y = std::max(rcAvailable.top(), std::min(outer.top(), rcAvailable.bottom() + 1 - outer.height()));
    // A shown window whose frame is not known yet is left where the window manager put it: a
    // move now would place its inside where its frame should go.
    if (QPoint(x, y) != outer.topLeft() && (bFrameKnown || !isVisible()))
        move(x, y);
}

void CKestruneDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayOutPage();
}

void CKestruneDlg::LayOutPage()
{
    // The page is the window's size, or the smallest that keeps every control whole, which the
    // scroll area then scrolls.
    m_pScroll->setGeometry(rect());
    const QSize page = size().expandedTo(m_ContentMinimum);
    m_pPage->resize(page);
    m_Layout.Apply(page, LogoRightLimit());
}

void CKestruneDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window manager adds its frame once the window is mapped: fit again with the real one.
    for (int nDelayMs : {0, 300}) {
        QTimer::singleShot(nDelayMs, this, [this] {
            if (QScreen* pScreen = screen())
                FitToScreen(pScreen->availableGeometry());
        });
    }
}

void CKestruneDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (!CollectDroppedPaths(event->mimeData()->urls()).isEmpty())
        event->acceptProposedAction();
}

void CKestruneDlg::dropEvent(QDropEvent* event)
{
    const QStringList paths = CollectDroppedPaths(event->mimeData()->urls());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    AddPaths(paths);
}

QStringList CKestruneDlg::CollectDroppedPaths(const QList<QUrl>& urls)
{
    return CFileCollector::CollectDroppedPaths(urls, FileFilters());
}

void CKestruneDlg::InitListViews()
{
    for (CListView* pList : {m_ctlFrameList, m_ctlBatchList}) {
        pList->SetGridLines(true);
        pList->SetFullRowSelect(true);
    }
    for (int c = 0; c < FrameRow::kColumns; ++c)
        m_ctlFrameList->InsertColumn(c, QString::fromLatin1(kFrameListHeadings[c]), Qt::AlignCenter, kInitialColumnWidth);
    for (int c = 0; c < int(std::size(kBatchListHeadings)); ++c)
        m_ctlBatchList->InsertColumn(c, QString::fromLatin1(kBatchListHeadings[c]), Qt::AlignCenter, kInitialColumnWidth);
    // The State column is as wide as its widest text with its icon, from the start, so no
    // failure is cut short and the column does not jump during a run.
    int nStateWidth = 0;
    for (int nState = 0; nState <= int(CFileJob::EState::Stopped); ++nState)
        nStateWidth = std::max(nStateWidth, m_ctlBatchList->MeasureCellText(
                                                QString::fromLatin1(CFileJob::StateText(CFileJob::EState(nState)))));
    for (const char* pszState : {kQueuedText, kParsingText})
        nStateWidth = std::max(nStateWidth, m_ctlBatchList->MeasureCellText(QString::fromLatin1(pszState)));
    const int nIcon = m_ctlBatchList->style()->pixelMetric(QStyle::PM_SmallIconSize) + 8;
    m_ctlBatchList->SetColumnMinimumWidth(kBatchColumnState, nStateWidth + nIcon);
    // The Stream column likewise holds a typical summary from the start.
    m_ctlBatchList->SetColumnMinimumWidth(
        kBatchColumnStream, m_ctlBatchList->MeasureCellText(QStringLiteral("DTS-HD MA 7.1 24-bit 48 kHz lossless, 0:00.000, 1536 kb/s")));
    m_ctlBatchList->SetElasticColumn(kBatchColumnFilename);
    m_ctlFrameList->AutoSizeColumns();
    m_ctlBatchList->AutoSizeColumns();
}

QString CKestruneDlg::GetStatusText() const
{
    return m_ctlStatus->text();
}

void CKestruneDlg::SetStatus(const QString& strText)
{
    m_ctlStatus->setText(strText);
    m_ctlStatus->setToolTip(strText);
}

bool CKestruneDlg::RefuseWhileRunning()
{
    if (!IsBatchRunning())
        return false;
    SetStatus(QString::fromLatin1(kRefusedWhileRunning));
    return true;
}

void CKestruneDlg::AddFiles()
{
    if (RefuseWhileRunning())
        return;
    QStringList paths;
    if (m_Tools.PickFiles(this, FileFilters(), paths))
        AddPaths(paths);
}

void CKestruneDlg::AddPaths(const QStringList& paths)
{
    if (RefuseWhileRunning())
        return;
    QSet<QString> listed;
    for (const SBatchItem& item : m_Items)
        listed.insert(QFileInfo(item.strPath).absoluteFilePath());
    QStringList notes;
    const QList<CFileCollector::SFile> files = CFileCollector::Screen(paths, listed, notes);
    for (const CFileCollector::SFile& file : files) {
        // A movie file is one row per DTS track ("movie.mkv #2 (eng)"), run as that track.
        for (InputItem& input : CInputItems::Expand(file.strPath.toStdString(), {})) {
            SBatchItem item;
            item.strPath = file.strPath;
            item.nSize = file.nSize;
            item.strState = QString::fromLatin1(kQueuedText);
            const QString strLabel = QString::fromStdString(input.Label());
            item.input = std::move(input);
            const int nRow = m_ctlBatchList->AppendRow(
                {strLabel, item.strState, QString::number(file.nSize) + QStringLiteral(" bytes"), QString()});
            m_ctlBatchList->GetTextModel()->SetItemToolTip(nRow, kBatchColumnFilename, strLabel);
            m_Items.push_back(std::move(item));
        }
    }
    m_ctlBatchList->AutoSizeColumns();
    if (notes.isEmpty())
        SetStatus(QString());
    else
        SetStatus(QStringLiteral("Added %1 of %2; left out: %3").arg(files.size()).arg(paths.size()).arg(notes.join(QStringLiteral("; "))));
}

void CKestruneDlg::RemoveSelectedRows()
{
    // Rows are not removed under a running batch, which reports them by index.
    if (RefuseWhileRunning())
        return;
    const QList<int> rows = m_ctlBatchList->GetSelectedRows();
    ShowFramesOf(-1);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        m_ctlBatchList->DeleteItem(*it);
        m_Items.erase(m_Items.begin() + *it);
    }
    m_ctlBatchList->AutoSizeColumns();
}

void CKestruneDlg::ClearBatchList()
{
    if (RefuseWhileRunning())
        return;
    ShowFramesOf(-1);
    m_ctlBatchList->DeleteAllItems();
    m_Items.clear();
    m_ctlBatchList->AutoSizeColumns();
}

void CKestruneDlg::CopyFrameRows()
{
    const QList<int> rows = m_ctlFrameList->GetSelectedRows();
    if (!rows.isEmpty())
        QApplication::clipboard()->setText(CListExport::RowsAsTsv(m_ctlFrameList->GetModel(), rows));
}

void CKestruneDlg::CopyBatchRows()
{
    const QList<int> rows = m_ctlBatchList->GetSelectedRows();
    if (!rows.isEmpty())
        QApplication::clipboard()->setText(CListExport::RowsAsTsv(m_ctlBatchList->GetModel(), rows));
}

void CKestruneDlg::SaveFrameList()
{
    const QString strShown = m_nShownItem >= 0 ? m_Items[size_t(m_nShownItem)].strPath : QString();
    const QString strSuggested =
        strShown.isEmpty() ? QStringLiteral("frames.csv") : QFileInfo(strShown).fileName() + QStringLiteral(".csv");
    QString strPath;
    if (!m_Tools.PickSaveFile(this, QStringLiteral("CSV files (*.csv)"), strSuggested, strPath))
        return;
    QString strCause;
    if (!CListExport::WriteCsv(m_ctlFrameList->GetModel(), strPath, strCause))
        m_Tools.ShowMessage(this, QStringLiteral("Cannot save the frame list to \"%1\": %2.").arg(strPath, strCause),
                            Caption(), IPlatformTools::EIcon::Stop);
}

void CKestruneDlg::SaveReport()
{
    QString strPath;
    if (!m_Tools.PickSaveFile(this, QStringLiteral("CSV files (*.csv);;JSON files (*.json)"),
                              QStringLiteral("kestrune-report.csv"), strPath))
        return;
    QString strCause;
    if (!CBatchExport::Write(m_Items, strPath, CBatchExport::FormatFor(strPath), strCause))
        m_Tools.ShowMessage(this, QStringLiteral("Cannot save the report to \"%1\": %2.").arg(strPath, strCause),
                            Caption(), IPlatformTools::EIcon::Stop);
}

void CKestruneDlg::ShowFramesOf(int nItem)
{
    if (nItem >= int(m_Items.size()))
        nItem = -1;
    if (nItem == m_nShownItem && (nItem < 0 || m_pFrameModel->GetShown() == m_Items[size_t(nItem)].pFrames.get()))
        return;
    m_nShownItem = nItem;
    m_ctlFrameList->DeleteAllItems();
    if (nItem < 0)
        return;
    m_pFrameModel->Show(m_Items[size_t(nItem)].pFrames.get());
    if (m_pFrameModel->GetItemCount() > 0)
        m_ctlFrameList->AddRowsWidths(0, m_pFrameModel->GetItemCount() - 1);
    m_ctlFrameList->AutoSizeColumns();
}

void CKestruneDlg::SetBatchRunning(bool bRunning)
{
    // Start and Stop share one place: the one that can act is shown.
    m_ctlStartBatch->setVisible(!bRunning);
    m_ctlStop->setVisible(bRunning);
    m_ctlStop->setEnabled(bRunning);
    m_ctlAddFile->setEnabled(!bRunning);
    m_pRemoveAction->setEnabled(!bRunning);
    m_pClearAction->setEnabled(!bRunning);
    UpdateRebuildOptions();
    if (bRunning)
        m_ctlStop->setFocus();
    else
        m_ctlStartBatch->setFocus();
}

CBatchWorker::SOptions CKestruneDlg::TakeOptions() const
{
    // A greyed box never acts: the removals count only with Rebuild Stream.
    const bool bRebuild = m_ctlRebuildStream->isChecked();
    CBatchWorker::SOptions options;
    options.job.bRebuild = bRebuild;
    options.job.bCoreOnly = bRebuild && m_ctlCoreOnly->isChecked();
    options.job.bRemoveCRC = bRebuild && m_ctlRemoveCRC->isChecked();
    options.job.bRemoveDialNorm = bRebuild && m_ctlRemoveDialNorm->isChecked();
    options.bWriteLog = m_ctlEnableLog->isChecked();
    options.strOutputFolder = QDir::toNativeSeparators(m_ctlOutputFolder->Folder());
    options.bRemux = bRebuild && m_ctlRemuxCopy->isChecked();
    return options;
}

void CKestruneDlg::ResetRows()
{
    // A new run starts from a clean list: nothing of the last run's states, causes or frames.
    ShowFramesOf(-1);
    CListModel* pModel = m_ctlBatchList->GetTextModel();
    for (size_t i = 0; i < m_Items.size(); ++i) {
        SBatchItem& item = m_Items[i];
        item.strState = QString::fromLatin1(kQueuedText);
        item.strDetectedFormat.clear();
        item.bEnded = false;
        item.result = CFileJob::Result();
        item.strOutputPath.clear();
        item.pFrames = std::make_unique<CFrameStore>();
        const int nRow = int(i);
        m_ctlBatchList->SetItemText(nRow, kBatchColumnState, item.strState);
        m_ctlBatchList->SetItemText(nRow, kBatchColumnDetectedFormat, QString());
        m_ctlBatchList->SetItemText(nRow, kBatchColumnStream, QString());
        pModel->SetItemToolTip(nRow, kBatchColumnState, QString());
        pModel->SetItemIcon(nRow, kBatchColumnState, QIcon());
    }
}

void CKestruneDlg::RunBatch()
{
    // The button is hidden while a run goes on; this guard covers any other way in.
    if (IsBatchRunning())
        return;
    const CBatchWorker::SOptions options = TakeOptions();
    // An output folder that takes no files, or two inputs that would write one output, stop the
    // run before any file is read.
    if (options.job.bRebuild) {
        QStringList inputs;
        // A movie's track is named after its output's stem ("movie.mkv.track2").
        for (const SBatchItem& item : m_Items)
            inputs.append(QString::fromStdString(item.input.strOutputStem));
        const QString strProblem = COutputFolderChoice::ProblemBeforeRun(options.strOutputFolder, inputs);
        if (!strProblem.isEmpty()) {
            m_Tools.ShowMessage(this, strProblem, Caption(), IPlatformTools::EIcon::Stop);
            return;
        }
    }
    ResetRows();
    std::vector<CBatchWorker::SItem> items;
    for (size_t i = 0; i < m_Items.size(); ++i)
        items.push_back({int(i), m_Items[i].strPath, m_Items[i].input});
    m_nRunFiles = int(items.size());
    m_nRunEnded = 0;
    m_nRunDone = 0;
    m_RunLogs.clear();
    m_RunLogErrors.clear();
    m_ctlProgress->setValue(0);
    m_ctlCurrentFrame->clear();
    SetStatus(QString());
    m_pRun->Start(items, options);
    SetBatchRunning(true);
}

void CKestruneDlg::StopBatch()
{
    if (!IsBatchRunning())
        return;
    m_pRun->Stop();
    m_ctlStop->setEnabled(false);
    SetStatus(QStringLiteral("Stopping after the frame in hand..."));
}

void CKestruneDlg::SetRowState(int nItem, const QString& strState, const QString& strCause, bool bWarning)
{
    m_Items[size_t(nItem)].strState = strState;
    m_ctlBatchList->SetItemText(nItem, kBatchColumnState, strState);
    // The state cell keeps its short text; the cause, naming the file, rests on it as a tool tip,
    // and a row that is not done carries a warning sign.
    CListModel* pModel = m_ctlBatchList->GetTextModel();
    pModel->SetItemToolTip(nItem, kBatchColumnState, strCause);
    pModel->SetItemIcon(nItem, kBatchColumnState, bWarning ? style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
    m_ctlBatchList->AutoSizeColumns();
}

void CKestruneDlg::OnFileStarted(int nItem, const QString& strOutputPath)
{
    m_ctlOutputName->setText(strOutputPath);
    m_ctlFileCount->setText(QStringLiteral("file %1 of %2").arg(nItem + 1).arg(m_nRunFiles));
    SetRowState(nItem, QString::fromLatin1(kParsingText), QString(), false);
    // The file in hand is shown, as the list shows its rows while they come.
    m_ctlBatchList->selectRow(nItem);
    ShowFramesOf(nItem);
}

void CKestruneDlg::OnRowsFound(int nItem, const FrameRowBatch& rows)
{
    if (nItem >= int(m_Items.size()) || !rows)
        return;
    const int nFirst = m_Items[size_t(nItem)].pFrames->GetCount();
    m_pFrameModel->Append(*m_Items[size_t(nItem)].pFrames, *rows);
    if (nItem != m_nShownItem)
        return;
    // The rows are measured once, as they come, and the columns sized once per batch.
    m_ctlFrameList->AddRowsWidths(nFirst, m_pFrameModel->GetItemCount() - 1);
    m_ctlFrameList->AutoSizeColumns();
}

void CKestruneDlg::OnFormatDetected(int nItem, const QString& strFormat)
{
    m_Items[size_t(nItem)].strDetectedFormat = strFormat;
    m_ctlBatchList->SetItemText(nItem, kBatchColumnDetectedFormat, strFormat);
}

void CKestruneDlg::OnProgressMoved(int /*nItem*/, int nPercent, qint64 nFrame)
{
    // The bar counts the whole batch: the files ended, and the share read of the one in hand.
    const int nFiles = std::max(1, m_nRunFiles);
    m_ctlProgress->setValue(std::min(100, (m_nRunEnded * 100 + nPercent) / nFiles));
    if (nFrame >= 0)
        m_ctlCurrentFrame->setText(QString::number(nFrame));
}

void CKestruneDlg::OnFileEnded(int nItem, const CBatchWorker::SOutcome& outcome)
{
    SBatchItem& item = m_Items[size_t(nItem)];
    item.bEnded = true;
    item.result = outcome.result;
    item.strOutputPath = outcome.strOutputPath;
    const CFileJob::Result& result = outcome.result;
    const bool bDone = result.eState == CFileJob::EState::Done;
    m_ctlBatchList->SetItemText(nItem, kBatchColumnStream, QString::fromStdString(result.stream.Text()));
    // A last frame cut short is told on the state's tool tip, after any failure.
    const std::string strCause =
        result.Message() + (result.Message().empty() || !result.cutShort ? "" : "; ") + result.CutShortText();
    SetRowState(nItem, QString::fromLatin1(CFileJob::StateText(result.eState)), QString::fromStdString(strCause), !bDone);
    ++m_nRunEnded;
    m_nRunDone += bDone ? 1 : 0;
    if (!outcome.strLogPath.isEmpty())
        m_RunLogs.append(outcome.strLogPath);
    if (!outcome.strLogError.isEmpty())
        m_RunLogErrors.append(outcome.strLogError);
    if (outcome.result.nFrames > 0)
        m_ctlCurrentFrame->setText(QString::number(outcome.result.nFrames - 1));
    m_ctlProgress->setValue(std::min(100, m_nRunEnded * 100 / std::max(1, m_nRunFiles)));
}

void CKestruneDlg::OnRunEnded(bool bStopped)
{
    SetBatchRunning(false);
    if (bStopped) {
        SetStatus(QStringLiteral("Stopped: %1 of %2 files done.").arg(m_nRunDone).arg(m_nRunFiles));
        return;
    }
    m_ctlProgress->setValue(100);
    const int nFailed = m_nRunFiles - m_nRunDone;
    QString strSummary = QStringLiteral("%1 %2: %3 done, %4 failed")
                             .arg(m_nRunFiles)
                             .arg(m_nRunFiles == 1 ? QStringLiteral("file") : QStringLiteral("files"))
                             .arg(m_nRunDone)
                             .arg(nFailed);
    // Where the logs went, and which could not be written.
    if (!m_RunLogs.isEmpty())
        strSummary += QStringLiteral("\n\nLogs written beside the inputs:\n") + m_RunLogs.join(QLatin1Char('\n'));
    if (!m_RunLogErrors.isEmpty())
        strSummary += QStringLiteral("\n\n") + m_RunLogErrors.join(QLatin1Char('\n'));
    m_Tools.ShowMessage(this, strSummary, Caption(),
                        nFailed > 0 || !m_RunLogErrors.isEmpty() ? IPlatformTools::EIcon::Warning
                                                                 : IPlatformTools::EIcon::None);
}
