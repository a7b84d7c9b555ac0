// The main window: builds the template's controls, runs the batch and hosts the frame loop.
#include "app/KestruneDlg.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QTimer>

#include "app/FileException.h"
#include "app/FrameListModel.h"
#include "app/IPlatformTools.h"
#include "app/ListExport.h"
#include "app/ListView.h"
#include "app/OutputFolderChoice.h"
#include "app/PlatformTools.h"
#include "dts/FileJob.h"
#include "stream/FileShim.h"
#include "stream/ScopeExit.h"

#include <algorithm>

namespace {

const char* const kBatchListHeadings[] = {"Filename", "State", "Size", "Detected Format", "Stream"};
constexpr int kBatchColumnFilename = 0;
constexpr int kBatchColumnState = 1;
constexpr int kBatchColumnSize = 2;
constexpr int kBatchColumnDetectedFormat = 3;
constexpr int kBatchColumnStream = 4;
constexpr int kInitialColumnWidth = 50;

// Events are let through at most this often while a file is parsed: often enough for
// Quit and the check boxes to answer at once, rarely enough to cost nothing per frame.
constexpr qint64 kDispatchIntervalMs = 20;

// Room for a window frame before the window is shown and its real frame is known.
constexpr int kFrameAllowanceX = 8;
constexpr int kFrameAllowanceY = 40;

// The state a row shows when its run was stopped by Quit or by closing the window.
const char* const kStoppedText = "stopped";

// The option ticks kept between runs, by settings key.
struct SOptionKey {
    const char* pszKey;
    QCheckBox* CKestruneDlg::*pBox;
};
const SOptionKey kOptionKeys[] = {
    {"rebuildStream", &CKestruneDlg::m_ctlRebuildStream},   {"removeCRC", &CKestruneDlg::m_ctlRemoveCRC},
    {"removeDialNorm", &CKestruneDlg::m_ctlRemoveDialNorm}, {"coreOnly", &CKestruneDlg::m_ctlCoreOnly},
    {"enableLog", &CKestruneDlg::m_ctlEnableLog},
};

} // namespace

// The images are compiled into a static library, whose initialiser a linker may drop.
static void InitResources()
{
    Q_INIT_RESOURCE(kestrune);
}

CKestruneDlg::CKestruneDlg(IPlatformTools& tools, QWidget* pParent)
    : QDialog(pParent)
    , m_Tools(tools)
{
    InitResources();
    m_hIcon.addFile(QStringLiteral(":/kestrune/kestrune_32.png"), QSize(32, 32));
    m_hIcon.addFile(QStringLiteral(":/kestrune/kestrune_16.png"), QSize(16, 16));
    CreateControls();
    LayOutControls();
    CreateActions();
    InitMainDialog();
    LoadSettings();
}

CKestruneDlg::~CKestruneDlg() = default;

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
    setWindowTitle(QStringLiteral("Kestrune V2.0"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    using L = CDialogLayout;
    auto place = [this](auto* pControl, int x, int y, int cx, int cy, unsigned follow = L::kStay) {
        m_Layout.Add(pControl, QRect(x, y, cx, cy), follow);
        return pControl;
    };
    auto text = [this](const QString& strText) {
        auto* pLabel = new QLabel(strText, this);
        pLabel->setTextFormat(Qt::PlainText);
        pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return pLabel;
    };
    auto box = [this](const char* pszText) { return new QCheckBox(QString::fromLatin1(pszText), this); };
    auto button = [this](const char* pszText) { return new QPushButton(QString::fromLatin1(pszText), this); };
    auto group = [this](const char* pszTitle) { return new QGroupBox(QString::fromLatin1(pszTitle), this); };

    // Created in template order, which Qt also takes as the tab order.
    m_ctlAddFile = place(button("Add DTS file..."), 160, 80, 55, 14, L::kFollowRight);
    m_ctlFrameList = place(new CListView(this, m_pFrameModel = new CFrameListModel), 7, 223, 368, 71,
                           L::kGrowWidth | L::kBelowUpper | L::kGrowWithLower);
    place(text(QStringLiteral("Current Frame:")), 7, 206, 48, 9, L::kBelowUpper);
    m_ctlCurrentFrame = place(text(QString()), 60, 206, 48, 9, L::kBelowUpper);
    m_ctlOutputName = place(text(QString()), 60, 110, 315, 12, L::kGrowWidth);
    m_ctlSwapWord = place(box("Swap Word"), 300, 55, 64, 9, L::kFollowRight);
    place(text(QStringLiteral("Batch list:")), 5, 110, 48, 9);
    m_ctlStartBatch = place(button("Start Batch"), 220, 80, 55, 14, L::kFollowRight);
    m_ctlRemoveCRC = place(box("Remove CRC"), 165, 30, 64, 9, L::kFollowRight);
    m_ctlRemoveDialNorm = place(box("Remove Dialog Normalization"), 165, 43, 110, 9, L::kFollowRight);
    m_ctlCoreOnly = place(box("Core only"), 165, 56, 64, 9, L::kFollowRight);
    m_ctlProcessingGroup = place(group("Processing"), 160, 5, 115, 70, L::kFollowRight);
    m_ctlRebuildStream = place(box("Rebuild Stream"), 165, 17, 64, 9, L::kFollowRight);
    m_ctlLogo = new QLabel(this);
    m_ctlEnableLog = place(box("Enable Log"), 285, 20, 64, 9, L::kFollowRight);
    m_ctlQuit = place(button("Quit"), 320, 80, 55, 14, L::kFollowRight);
    m_ctlBatchList = place(new CListView(this), 5, 125, 370, 71, L::kGrowWidth | L::kGrowWithUpper);
    m_ctlDebugGroup = place(group("Debug"), 280, 5, 95, 70, L::kFollowRight);
    m_ctlFileCount = place(text(QString()), 115, 206, 60, 9, L::kBelowUpper);
    m_ctlProgress = place(new QProgressBar(this), 180, 205, 195, 15, L::kGrowWidth | L::kBelowUpper);
    place(text(QStringLiteral("Output folder:")), 5, 93, 48, 9);
    m_ctlOutputFolder = place(new COutputFolderChoice(m_Tools.Settings(), this), 55, 90, 100, 14);
}

void CKestruneDlg::LayOutControls()
{
    m_ctlAddFile->setDefault(true);
    m_ctlStartBatch->setAutoDefault(true);
    m_ctlQuit->setAutoDefault(false);
    m_ctlOutputName->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_ctlOutputName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_ctlSwapWord->setVisible(false);
    m_ctlSwapWord->setEnabled(false);
    m_ctlProgress->setTextVisible(false);

    // The picture control takes the size of its bitmap, as a Windows bitmap static does.
    m_ctlLogo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_ctlLogo->setLineWidth(2);
    const QPixmap logo(QStringLiteral(":/kestrune/logo.png"));
    m_ctlLogo->setPixmap(logo);

    m_Layout.ComputeUnits(font());
    const QPoint logoAt = DialogUnitsToPixels(5, 5, 0, 0).topLeft();
    const int nFrame = m_ctlLogo->frameWidth();
    m_ctlLogo->setGeometry(logoAt.x(), logoAt.y(), logo.width() + 2 * nFrame, logo.height() + 2 * nFrame);
    setMinimumSize(m_Layout.MinimumSize(LogoRightLimit()));
    resize(m_Layout.TemplateSize());
    m_Layout.Apply(size(), LogoRightLimit());

    // Group boxes only frame their controls: they sit beneath them, so clicks reach the boxes.
    m_ctlProcessingGroup->lower();
    m_ctlDebugGroup->lower();
    setAcceptDrops(true);

    connect(m_ctlAddFile, &QPushButton::clicked, this, &CKestruneDlg::AddFiles);
    connect(m_ctlStartBatch, &QPushButton::clicked, this, &CKestruneDlg::RunBatch);
    connect(m_ctlRebuildStream, &QCheckBox::clicked, this, &CKestruneDlg::UpdateRebuildOptions);
    connect(m_ctlQuit, &QPushButton::clicked, this, &CKestruneDlg::OnQuit);
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
    m_pCopyAction = add(m_ctlFrameList, QStringLiteral("Copy"), QKeySequence::Copy);
    QAction* pSelectAll = add(m_ctlFrameList, QStringLiteral("Select All"), QKeySequence::SelectAll);
    m_pSaveAction = add(m_ctlFrameList, QStringLiteral("Save list..."), QKeySequence());
    for (CListView* pList : {m_ctlBatchList, m_ctlFrameList})
        pList->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_pRemoveAction, &QAction::triggered, this, &CKestruneDlg::RemoveSelectedRows);
    connect(m_pClearAction, &QAction::triggered, this, &CKestruneDlg::ClearBatchList);
    connect(m_pCopyAction, &QAction::triggered, this, &CKestruneDlg::CopyFrameRows);
    connect(pSelectAll, &QAction::triggered, m_ctlFrameList, &CListView::selectAll);
    connect(m_pSaveAction, &QAction::triggered, this, &CKestruneDlg::SaveFrameList);
}

bool CKestruneDlg::InitMainDialog()
{
    m_ctlSwapWord->setChecked(m_bSwapWord == 1);
    setWindowIcon(m_hIcon);
    InitListViews();
    UpdateRebuildOptions();
    m_ctlAddFile->setFocus();
    return true;
}

void CKestruneDlg::UpdateRebuildOptions()
{
    const bool bRebuild = m_ctlRebuildStream->isChecked();
    m_ctlRemoveCRC->setEnabled(bRebuild);
    m_ctlRemoveDialNorm->setEnabled(bRebuild);
    m_ctlCoreOnly->setEnabled(bRebuild);
}

void CKestruneDlg::OnQuit()
{
    m_bStop = true;
    m_bSwapWord = m_ctlSwapWord->isChecked() ? 1 : 0;
    QDialog::accept();
}

void CKestruneDlg::accept()
{
    OnQuit();
}

void CKestruneDlg::reject()
{
    // Closing the window by any means stops a running batch, as Quit does.
    m_bStop = true;
    QDialog::reject();
}

void CKestruneDlg::done(int nResult)
{
    SaveSettings();
    QDialog::done(nResult);
}

void CKestruneDlg::LoadSettings()
{
    QSettings& settings = m_Tools.Settings();
    for (const SOptionKey& option : kOptionKeys)
        (this->*option.pBox)->setChecked(settings.value(QLatin1String(option.pszKey), false).toBool());
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
    for (const SOptionKey& option : kOptionKeys)
        settings.setValue(QLatin1String(option.pszKey), (this->*option.pBox)->isChecked());
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
    m_Layout.Apply(size(), LogoRightLimit());
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
    QStringList patterns;
    for (const QString& strFilter : FileFilters()) {
        for (const QString& strPattern : CPlatformTools::FilterPatterns(strFilter)) {
            if (strPattern != QLatin1String("*"))
                patterns.append(strPattern);
        }
    }
    QStringList paths;
    for (const QUrl& url : urls) {
        const QString strPath = url.toLocalFile();
        if (strPath.isEmpty())
            continue;
        if (!QFileInfo(strPath).isDir()) {
            paths.append(QDir::toNativeSeparators(strPath));
            continue;
        }
        QStringList inside;
        QDirIterator it(strPath, patterns, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            // A folder run again would otherwise take last run's outputs as inputs.
            const QString strFound = it.next();
            if (!strFound.endsWith(QLatin1String(".fixed.dts")))
                inside.append(QDir::toNativeSeparators(strFound));
        }
        inside.sort();
        paths += inside;
    }
    return paths;
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
    for (CFileJob::EState eState : {CFileJob::EState::Done, CFileJob::EState::CannotOpenInput,
                                    CFileJob::EState::CannotCreateOutput, CFileJob::EState::WriteFailed})
        nStateWidth = std::max(nStateWidth, m_ctlBatchList->MeasureCellText(QString::fromLatin1(CFileJob::StateText(eState))));
    for (const char* pszState : {"queued", "parsing...", kStoppedText})
        nStateWidth = std::max(nStateWidth, m_ctlBatchList->MeasureCellText(QString::fromLatin1(pszState)));
    const int nIcon = m_ctlBatchList->style()->pixelMetric(QStyle::PM_SmallIconSize) + 8;
    m_ctlBatchList->SetColumnMinimumWidth(kBatchColumnState, nStateWidth + nIcon);
    // The Stream column likewise holds a typical summary from the start.
    m_ctlBatchList->SetColumnMinimumWidth(
        kBatchColumnStream, m_ctlBatchList->MeasureCellText(QStringLiteral("DTS-HD MA 7.1 24-bit 48 kHz lossless, 0:00.000, 1536 kb/s")));
    m_ctlBatchList->SetElasticColumn(kBatchColumnFilename);
    AutoSizeColumns(*m_ctlFrameList);
    AutoSizeColumns(*m_ctlBatchList);
}

void CKestruneDlg::AutoSizeColumns(CListView& list)
{
    list.AutoSizeColumns();
}

QString CKestruneDlg::GetFileSizeText(const QString& strPath)
{
    // Opening a pipe with no writer would block the window for good, so the core looks at what
    // the path names before anything opens it.
    uint64_t nSize = 0;
    std::string strCause;
    if (!CFileShim::GetRegularFileSize(strPath.toStdString(), nSize, strCause))
        throw CFileException(strPath, QString::fromStdString(strCause));
    return QString::number(nSize);
}

void CKestruneDlg::AddFiles()
{
    QStringList paths;
    if (m_Tools.PickFiles(this, FileFilters(), paths))
        AddPaths(paths);
}

void CKestruneDlg::AddPaths(const QStringList& paths)
{
    for (const QString& strFile : paths) {
        // A movie file is one row per DTS track ("movie.mkv #2 (eng)"), run as that track.
        for (const InputItem& item : CInputItems::Expand(strFile.toStdString(), {})) {
            const QString strPath = QString::fromStdString(item.Label());
            if (item.IsTrack() || !item.strProblem.empty())
                m_BatchItems.insert(strPath, item);
            if (!AddRow(strPath, strFile))
                return;
        }
    }
    AutoSizeColumns(*m_ctlBatchList);
}

bool CKestruneDlg::AddRow(const QString& strPath, const QString& strFile)
{
    const int nRow = m_ctlBatchList->InsertItem(m_ctlBatchList->GetItemCount(), strPath);
    m_ctlBatchList->SetItemText(nRow, kBatchColumnState, QStringLiteral("queued"));
    m_ctlBatchList->GetTextModel()->SetItemToolTip(nRow, kBatchColumnFilename, strPath);
    try {
        m_ctlBatchList->SetItemText(nRow, kBatchColumnSize, GetFileSizeText(strFile) + QStringLiteral(" bytes"));
    } catch (const CFileException& e) {
        // Adding stops at this file; its row stays, without a size, and so do those before it.
        AutoSizeColumns(*m_ctlBatchList);
        m_Tools.ShowMessage(this, e.GetMessage(), QStringLiteral("Kestrune"), IPlatformTools::EIcon::Stop);
        return false;
    }
    return true;
}

void CKestruneDlg::RemoveSelectedRows()
{
    // Rows are not removed under a running batch, which walks them by index.
    if (m_bBatchRunning)
        return;
    const QList<int> rows = m_ctlBatchList->GetSelectedRows();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        m_ctlBatchList->DeleteItem(*it);
    AutoSizeColumns(*m_ctlBatchList);
}

void CKestruneDlg::ClearBatchList()
{
    if (m_bBatchRunning)
        return;
    m_ctlBatchList->DeleteAllItems();
    AutoSizeColumns(*m_ctlBatchList);
}

void CKestruneDlg::CopyFrameRows()
{
    const QList<int> rows = m_ctlFrameList->GetSelectedRows();
    if (rows.isEmpty())
        return;
    QApplication::clipboard()->setText(CListExport::RowsAsTsv(m_ctlFrameList->GetModel(), rows));
}

void CKestruneDlg::SaveFrameList()
{
    const QString strSuggested = m_strInputPath.isEmpty() ? QStringLiteral("frames.csv")
                                                          : QFileInfo(m_strInputPath).fileName() + QStringLiteral(".csv");
    QString strPath;
    if (!m_Tools.PickSaveFile(this, QStringLiteral("CSV files (*.csv)"), strSuggested, strPath))
        return;
    QString strCause;
    if (!CListExport::WriteCsv(m_ctlFrameList->GetModel(), strPath, strCause))
        m_Tools.ShowMessage(this, QStringLiteral("Cannot save the frame list to \"%1\": %2.").arg(strPath, strCause),
                            QStringLiteral("Kestrune"), IPlatformTools::EIcon::Stop);
}

void CKestruneDlg::SetBatchRunning(bool bRunning)
{
    m_bBatchRunning = bRunning;
    m_ctlStartBatch->setEnabled(!bRunning);
    m_pRemoveAction->setEnabled(!bRunning);
    m_pClearAction->setEnabled(!bRunning);
    if (!bRunning)
        m_nRunningRow = -1;
}

void CKestruneDlg::RunBatch()
{
    // The frame loop lets events through, so a second press could arrive mid-run; the button
    // is disabled meanwhile, and this guard covers any other way in.
    if (m_bBatchRunning)
        return;
    SetBatchRunning(true);
    CScopeExit running([this] { SetBatchRunning(false); });

    m_bStop = false;
    int nDone = 0;
    int nCount = m_ctlBatchList->GetItemCount();
    if (IsRebuildStreamTicked()) {
        QStringList inputs;
        for (int i = 0; i < nCount; ++i) {
            // A movie's track is named after its output's stem ("movie.mkv.track2").
            const QString strRow = m_ctlBatchList->GetItemText(i, kBatchColumnFilename);
            const auto itTrack = m_BatchItems.constFind(strRow);
            inputs.append(itTrack != m_BatchItems.constEnd() ? QString::fromStdString(itTrack->strOutputStem) : strRow);
        }
        const QString strProblem = COutputFolderChoice::ProblemBeforeRun(m_ctlOutputFolder->Folder(), inputs);
        if (!strProblem.isEmpty()) {
            m_Tools.ShowMessage(this, strProblem, QStringLiteral("Kestrune"), IPlatformTools::EIcon::Stop);
            return;
        }
    }
    // Rows added during the run are run too; a file that fails does not stop the others.
    for (int i = 0; i < nCount; ++i, nCount = m_ctlBatchList->GetItemCount()) {
        if (m_bStop)
            return;
        m_ctlFileCount->setText(QStringLiteral("file %1 of %2").arg(i + 1).arg(nCount));
        nDone += RunRow(i) ? 1 : 0;
    }
    if (m_bStop)
        return;
    const int nFailed = nCount - nDone;
    const QString strSummary = QStringLiteral("%1 %2: %3 done, %4 failed")
                                   .arg(nCount)
                                   .arg(nCount == 1 ? QStringLiteral("file") : QStringLiteral("files"))
                                   .arg(nDone)
                                   .arg(nFailed);
    m_Tools.ShowMessage(this, strSummary, QStringLiteral("Kestrune"),
                        nFailed > 0 ? IPlatformTools::EIcon::Warning : IPlatformTools::EIcon::None);
}

bool CKestruneDlg::RunRow(int nRow)
{
    m_strInputPath = m_ctlBatchList->GetItemText(nRow, kBatchColumnFilename);
    const auto itTrack = m_BatchItems.constFind(m_strInputPath);
    const InputItem* pItem = itTrack != m_BatchItems.constEnd() ? &itTrack.value() : nullptr;
    if (pItem != nullptr)
        m_strInputPath = QString::fromStdString(pItem->strPath);
    const QString strFolder = QDir::toNativeSeparators(m_ctlOutputFolder->Folder());
    const std::string strStem = pItem != nullptr ? pItem->strOutputStem : m_strInputPath.toStdString();
    m_strOutputPath = QString::fromStdString(CFileJob::OutputPathFor(strStem, strFolder.toStdString()));
    m_ctlOutputName->setText(m_strOutputPath);
    uint64_t nSize = 0;
    CFileJob::Result result;
    // A file gone, or turned into a folder or a pipe, since it was added fails here, before
    // anything opens it.
    if (!CFileShim::GetRegularFileSize(m_strInputPath.toStdString(), nSize, result.strError)) {
        result.eState = CFileJob::EState::CannotOpenInput;
        result.eFailedPath = CFileJob::EFailedPath::Input;
        result.strFailedPath = m_strInputPath.toStdString();
        SetRowOutcome(nRow, QString::fromLatin1(CFileJob::StateText(result.eState)),
                      QString::fromStdString(result.Message()), false);
        return false;
    }
    m_nInputSize = int64_t(nSize);
    m_ctlBatchList->SetItemText(nRow, kBatchColumnState, QStringLiteral("parsing..."));
    m_ctlBatchList->GetTextModel()->SetItemIcon(nRow, kBatchColumnState, QIcon());
    m_nRunningRow = nRow;
    if (pItem != nullptr && !pItem->strProblem.empty())
        result = CFileJob::Unwalkable(pItem->strPath, pItem->strProblem, pItem->bReadFailed);
    else
        result = CFileJob::Run(*this, m_InStream, m_OutStream, m_strInputPath.toStdString(), m_strOutputPath.toStdString(),
                               m_nInputSize, CFileJob::Options{IsRebuildStreamTicked(), IsCoreOnlyTicked()}, pItem);
    ShowCurrentFrame();
    m_ctlBatchList->SetItemText(nRow, kBatchColumnStream, QString::fromStdString(result.stream.Text()));
    // Until the job reports a stop itself, a walk cut short by Quit or closing reads "stopped".
    const bool bStopped = m_bStop && result.eState == CFileJob::EState::Done;
    const bool bDone = !bStopped && result.eState == CFileJob::EState::Done;
    // A last frame cut short is told on the state's tool tip, after any failure.
    const std::string strCause = result.Message() + (result.Message().empty() || !result.cutShort ? "" : "; ") + result.CutShortText();
    SetRowOutcome(nRow, bStopped ? QString::fromLatin1(kStoppedText) : QString::fromLatin1(CFileJob::StateText(result.eState)),
                  QString::fromStdString(strCause), bDone);
    return bDone;
}

void CKestruneDlg::SetRowOutcome(int nRow, const QString& strState, const QString& strCause, bool bDone)
{
    m_ctlBatchList->SetItemText(nRow, kBatchColumnState, strState);
    // The state cell keeps its short text; the cause, naming the file, rests on it as a tool tip,
    // and a row that is not done carries a warning sign.
    CListModel* pModel = m_ctlBatchList->GetTextModel();
    pModel->SetItemToolTip(nRow, kBatchColumnState, strCause);
    pModel->SetItemIcon(nRow, kBatchColumnState, bDone ? QIcon() : style()->standardIcon(QStyle::SP_MessageBoxWarning));
    AutoSizeColumns(*m_ctlBatchList);
}

void CKestruneDlg::BeginWaitCursor()
{
    ++m_nWaitCursorDepth;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CKestruneDlg::EndWaitCursor()
{
    ShowCurrentFrame();
    if (m_nWaitCursorDepth > 0) {
        --m_nWaitCursorDepth;
        QApplication::restoreOverrideCursor();
    }
}

void CKestruneDlg::SetProgressRange(int nLower, int nUpper)
{
    m_ctlProgress->setRange(nLower, nUpper);
}

void CKestruneDlg::SetProgressPos(int nPos)
{
    if (m_ctlProgress->value() != nPos)
        m_ctlProgress->setValue(nPos);
}

void CKestruneDlg::ClearStop()
{
    m_bStop = false;
}

bool CKestruneDlg::IsStopSet() const
{
    return m_bStop;
}

void CKestruneDlg::ClearFrameList()
{
    m_ctlFrameList->DeleteAllItems();
}

void CKestruneDlg::DispatchPendingMessage()
{
    if (m_DispatchClock.isValid() && m_DispatchClock.elapsed() < kDispatchIntervalMs)
        return;
    ShowCurrentFrame();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_DispatchClock.start();
}

bool CKestruneDlg::IsRebuildStreamTicked() const
{
    return m_ctlRebuildStream->isChecked();
}

bool CKestruneDlg::IsCoreOnlyTicked() const
{
    return m_ctlCoreOnly->isChecked();
}

bool CKestruneDlg::IsRemoveDialNormTicked()
{
    return m_ctlRemoveDialNorm->isChecked();
}

bool CKestruneDlg::IsRemoveCRCTicked()
{
    return m_ctlRemoveCRC->isChecked();
}

void CKestruneDlg::SetDetectedFormat(const std::string& strFormat)
{
    m_ctlBatchList->SetItemText(m_nRunningRow, kBatchColumnDetectedFormat, QString::fromStdString(strFormat));
}

void CKestruneDlg::SetCurrentFrame(int64_t nFrame)
{
    // Shown when events are next let through and when the file ends, not on every frame.
    m_nCurrentFrame = nFrame;
}

void CKestruneDlg::ShowCurrentFrame()
{
    if (m_nCurrentFrame == m_nShownFrame)
        return;
    m_nShownFrame = m_nCurrentFrame;
    m_ctlCurrentFrame->setText(QString::number(m_nCurrentFrame));
}

void CKestruneDlg::AddFrameRow(const FrameRow& row)
{
    // The row is kept compact; its texts are measured once here for the column widths.
    m_ctlFrameList->AddRowWidths(m_pFrameModel->AppendFrameRow(row));
    AutoSizeColumns(*m_ctlFrameList);
}
