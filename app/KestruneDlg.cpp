// The main window: builds the template's controls, runs the batch and hosts the frame loop.
#include "app/KestruneDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>

#include "app/FileException.h"
#include "app/IPlatformTools.h"
#include "app/ListView.h"
#include "dts/FileJob.h"
#include "stream/FileShim.h"
#include "stream/ScopeExit.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

const char* const kBatchListHeadings[] = {"Filename", "State", "Size", "Detected Format"};
constexpr int kBatchColumnFilename = 0;
constexpr int kBatchColumnState = 1;
constexpr int kBatchColumnSize = 2;
constexpr int kBatchColumnDetectedFormat = 3;
constexpr int kInitialColumnWidth = 50;

// Events are let through at most this often while a file is parsed: often enough for
// Quit and the check boxes to answer at once, rarely enough to cost nothing per frame.
constexpr qint64 kDispatchIntervalMs = 20;

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
    InitMainDialog();
}

CKestruneDlg::~CKestruneDlg() = default;

const QStringList& CKestruneDlg::FileFilters()
{
    static const QStringList filters = {
        QStringLiteral("DTS Padded audio Files (*.dts)"),
        QStringLiteral("DTS WAV audio Files (*.dtswav, *.wav)"),
        QStringLiteral("DTS Compact audio Files (*.cpt)"),
    };
    return filters;
}

QRect CKestruneDlg::DialogUnitsToPixels(int x, int y, int cx, int cy) const
{
    auto horz = [this](int n) { return int(n * m_dBaseUnitX / 4 + 0.5); };
    auto vert = [this](int n) { return int(n * m_dBaseUnitY / 8 + 0.5); };
    // Each edge is converted on its own, as Windows maps a dialog rectangle.
    return QRect(QPoint(horz(x), vert(y)), QPoint(horz(x + cx) - 1, vert(y + cy) - 1));
}

void CKestruneDlg::CreateControls()
{
    setWindowTitle(QStringLiteral("Kestrune V2.0"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    // Each control with its rectangle in dialog units; all are placed once the units are known.
    std::vector<std::pair<QWidget*, QRect>> placed;
    auto place = [&placed](QWidget* pControl, int x, int y, int cx, int cy) {
        placed.emplace_back(pControl, QRect(x, y, cx, cy));
    };
    auto checkBox = [this, &place](const char* pszText, int x, int y, int cx, int cy) {
        auto* pBox = new QCheckBox(QString::fromLatin1(pszText), this);
        place(pBox, x, y, cx, cy);
        return pBox;
    };
    auto staticText = [this, &place](const QString& strText, int x, int y, int cx, int cy) {
        auto* pLabel = new QLabel(strText, this);
        pLabel->setTextFormat(Qt::PlainText);
        pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        place(pLabel, x, y, cx, cy);
        return pLabel;
    };
    auto groupBox = [this, &place](const char* pszTitle, int x, int y, int cx, int cy) {
        auto* pGroup = new QGroupBox(QString::fromLatin1(pszTitle), this);
        place(pGroup, x, y, cx, cy);
        return pGroup;
    };
    auto pushButton = [this, &place](const char* pszText, int x, int y, int cx, int cy) {
        auto* pButton = new QPushButton(QString::fromLatin1(pszText), this);
        place(pButton, x, y, cx, cy);
        return pButton;
    };

    // Created in template order, which Qt also takes as the tab order.
    m_ctlAddFile = pushButton("Add DTS file...", 160, 80, 55, 14);
    m_ctlAddFile->setDefault(true);
    m_ctlFrameList = new CListView(this);
    place(m_ctlFrameList, 7, 223, 368, 71);
    staticText(QStringLiteral("Current Frame:"), 7, 206, 48, 9);
    m_ctlCurrentFrame = staticText(QString(), 60, 206, 48, 9);
    m_ctlOutputName = staticText(QString(), 60, 110, 315, 12);
    m_ctlOutputName->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_ctlOutputName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_ctlSwapWord = checkBox("Swap Word", 300, 55, 64, 9);
    m_ctlSwapWord->setVisible(false);
    m_ctlSwapWord->setEnabled(false);
    staticText(QStringLiteral("Batch list:"), 5, 110, 48, 9);
    m_ctlStartBatch = pushButton("Start Batch", 220, 80, 55, 14);
    m_ctlStartBatch->setAutoDefault(true);
    m_ctlRemoveCRC = checkBox("Remove CRC", 165, 37, 64, 9);
    m_ctlRemoveDialNorm = checkBox("Remove Dialog Normalization", 165, 54, 110, 9);
    m_ctlProcessingGroup = groupBox("Processing", 160, 5, 115, 70);
    m_ctlRebuildStream = checkBox("Rebuild Stream", 165, 20, 64, 9);
    m_ctlLogo = new QLabel(this);
    m_ctlEnableLog = checkBox("Enable Log", 285, 20, 64, 9);
    m_ctlQuit = pushButton("Quit", 320, 80, 55, 14);
    m_ctlQuit->setAutoDefault(false);
    m_ctlBatchList = new CListView(this);
    place(m_ctlBatchList, 5, 125, 370, 71);
    m_ctlDebugGroup = groupBox("Debug", 280, 5, 95, 70);
    m_ctlProgress = new QProgressBar(this);
    place(m_ctlProgress, 115, 205, 260, 15);
    m_ctlProgress->setTextVisible(false);

    // Dialog units as Windows reckons them: a quarter of the font's average character
    // width across, an eighth of its height down. Qt's check boxes and fonts run wider than
    // the Windows ones the template was drawn for, so the units grow, evenly, until every
    // caption fits: the template's proportions stay and nothing is clipped.
    const QFontMetrics metrics(font());
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_dBaseUnitX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    m_dBaseUnitY = metrics.height();
    for (const auto& [pControl, rc] : placed) {
        if (qobject_cast<QAbstractButton*>(pControl) || qobject_cast<QLabel*>(pControl)
            || qobject_cast<QGroupBox*>(pControl)) {
            const QSize hint = pControl->sizeHint();
            m_dBaseUnitX = std::max(m_dBaseUnitX, std::ceil(hint.width() * 4.0 / rc.width() * 8) / 8);
            // A push button draws well below its preferred height; a caption's text does not.
            if (qobject_cast<QCheckBox*>(pControl) || qobject_cast<QLabel*>(pControl))
                m_dBaseUnitY = std::max(m_dBaseUnitY, std::ceil(hint.height() * 8.0 / rc.height() * 8) / 8);
        }
    }
    setFixedSize(DialogUnitsToPixels(0, 0, 382, 301).size());
    for (const auto& [pControl, rc] : placed)
        pControl->setGeometry(DialogUnitsToPixels(rc.x(), rc.y(), rc.width(), rc.height()));

    // The picture control takes the size of its bitmap, as a Windows bitmap static does.
    m_ctlLogo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_ctlLogo->setLineWidth(2);
    const QPixmap logo(QStringLiteral(":/kestrune/logo.png"));
    m_ctlLogo->setPixmap(logo);
    const QPoint logoAt = DialogUnitsToPixels(5, 5, 0, 0).topLeft();
    const int nFrame = m_ctlLogo->frameWidth();
    m_ctlLogo->setGeometry(logoAt.x(), logoAt.y(), logo.width() + 2 * nFrame, logo.height() + 2 * nFrame);

    // Group boxes only frame their controls: they sit beneath them, so clicks reach the boxes.
    m_ctlProcessingGroup->lower();
    m_ctlDebugGroup->lower();

    connect(m_ctlAddFile, &QPushButton::clicked, this, &CKestruneDlg::AddFiles);
    connect(m_ctlStartBatch, &QPushButton::clicked, this, &CKestruneDlg::RunBatch);
    connect(m_ctlRebuildStream, &QCheckBox::clicked, this, &CKestruneDlg::UpdateRebuildOptions);
    connect(m_ctlQuit, &QPushButton::clicked, this, &CKestruneDlg::OnQuit);
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
    if (!m_Tools.PickFiles(this, FileFilters(), paths))
        return;
    for (const QString& strPath : paths) {
        const int nRow = m_ctlBatchList->InsertItem(m_ctlBatchList->GetItemCount(), strPath);
        m_ctlBatchList->SetItemText(nRow, kBatchColumnState, QStringLiteral("queued"));
        try {
            m_ctlBatchList->SetItemText(nRow, kBatchColumnSize, GetFileSizeText(strPath) + QStringLiteral(" bytes"));
        } catch (const CFileException& e) {
            // Adding stops at this file; its row stays, without a size, and so do those before it.
            AutoSizeColumns(*m_ctlBatchList);
            m_Tools.ShowMessage(this, e.GetMessage(), QStringLiteral("Kestrune"), IPlatformTools::EIcon::Stop);
            return;
        }
    }
    AutoSizeColumns(*m_ctlBatchList);
}

void CKestruneDlg::RunBatch()
{
    // The frame loop lets events through, so a second press could arrive mid-run; the button
    // is disabled meanwhile, and this guard covers any other way in.
    if (m_bBatchRunning)
        return;
    m_bBatchRunning = true;
    m_ctlStartBatch->setEnabled(false);
    CScopeExit running([this] {
        m_bBatchRunning = false;
        m_nRunningRow = -1;
        m_ctlStartBatch->setEnabled(true);
    });

    m_bStop = false;
    int nCount = m_ctlBatchList->GetItemCount();
    for (int i = 0; i < nCount; ++i, nCount = m_ctlBatchList->GetItemCount()) {
        if (m_bStop)
            return;
        m_strInputPath = m_ctlBatchList->GetItemText(i, kBatchColumnFilename);
        m_strOutputPath = QString::fromStdString(CFileJob::OutputPathFor(m_strInputPath.toStdString()));
        m_ctlOutputName->setText(m_strOutputPath);
        try {
            m_nInputSize = GetFileSizeText(m_strInputPath).toLongLong();
        } catch (const CFileException& e) {
            m_Tools.ShowMessage(this, e.GetMessage(), QStringLiteral("Kestrune"), IPlatformTools::EIcon::Stop);
            return;
        }
        m_ctlBatchList->SetItemText(i, kBatchColumnState, QStringLiteral("parsing..."));
        m_nRunningRow = i;
        const CFileJob::Result result =
            CFileJob::Run(*this, m_InStream, m_OutStream, m_strInputPath.toStdString(), m_strOutputPath.toStdString(),
                          m_nInputSize, CFileJob::Options{IsRebuildStreamTicked(), false});
        ShowCurrentFrame();
        m_ctlBatchList->SetItemText(i, kBatchColumnState, QString::fromLatin1(CFileJob::StateText(result.eState)));
        // The state cell keeps its short text; the cause, naming the file, rests on it as a tool tip.
        m_ctlBatchList->GetModel().SetItemToolTip(i, kBatchColumnState, QString::fromStdString(result.Message()));
    }
    if (m_bStop)
        return;
    m_Tools.ShowMessage(this, QStringLiteral("Done"), QStringLiteral("Kestrune"), IPlatformTools::EIcon::None);
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
    QStringList texts;
    for (int c = 0; c < FrameRow::kColumns; ++c)
        texts.append(QString::fromStdString(row.CellText(c)));
    m_ctlFrameList->AppendRow(texts);
    AutoSizeColumns(*m_ctlFrameList);
}
