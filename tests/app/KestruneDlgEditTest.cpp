// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's newer handling driven offscreen: editing the batch, drops, copying and
// saving the frame list, settings kept between runs, the window's layout at other sizes, and
// a frame list of a million rows.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QProgressBar>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <cstdio>

#include "DlgTestSupport.h"
#include "app/FrameListModel.h"
#include "app/FrameStore.h"
#include "app/ListExport.h"
#include "app/OutputFolderChoice.h"

namespace {

QAction* FindAction(QWidget* pWidget, const QString& strText)
{
    for (QAction* pAction : pWidget->actions()) {
        if (pAction->text() == strText)
            return pAction;
    }
    return nullptr;
}

void SelectRows(CListView& list, const QList<int>& rows)
{
    list.clearSelection();
    for (int nRow : rows)
        list.selectionModel()->select(list.GetModel().index(nRow, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

bool Drop(QWidget& target, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    const QPointF at(target.width() / 2.0, target.height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    return drop.isAccepted();
}

// Every visible child inside the window, and no two of the listed controls overlapping.
void ExpectWhole(const CKestruneDlg& dlg)
{
    const QRect window(QPoint(0, 0), dlg.size());
    for (QWidget* pChild : dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (pChild->isVisible()) {
            EXPECT_TRUE(window.contains(pChild->geometry())) << pChild->metaObject()->className();
        }
    }
    const QWidget* order[] = {C(dlg).m_ctlLogo, C(dlg).m_ctlProcessingGroup, C(dlg).m_ctlDebugGroup, C(dlg).m_ctlBatchList,
                              C(dlg).m_ctlProgress, C(dlg).m_ctlFrameList, C(dlg).m_ctlAddFile, C(dlg).m_ctlOutputFolder,
                              C(dlg).m_ctlOutputName};
    for (const QWidget* pA : order)
        for (const QWidget* pB : order)
            if (pA != pB) {
                EXPECT_FALSE(pA->geometry().intersects(pB->geometry()))
                    << pA->metaObject()->className() << " / " << pB->metaObject()->className();
            }
    EXPECT_LT(C(dlg).m_ctlQuit->geometry().bottom(), C(dlg).m_ctlOutputName->y());
    EXPECT_LT(C(dlg).m_ctlLogo->geometry().right(), C(dlg).m_ctlProcessingGroup->x());
}

} // namespace

// Catches rows removed during a run (the run walks them by index), a Delete key or context
// menu that removes the wrong rows or none, tool tips left on the rows that moved up, and
// "Clear list" missing.
TEST_F(KestruneDlgTest, EditsTheBatchBetweenRunsOnly)
{
    const std::string a = CopySample(m_Dir, "stereo_48k.dts", "a.dts");
    const std::string b = CopySample(m_Dir, "mono_8k.dts", "b.dts");
    const std::string c = CopySample(m_Dir, "stereo_48k.dts", "c.dts");
    Add({Q(a), Q(b), Q(c)});
    CListView& batch = *C(m_Dlg).m_ctlBatchList;
    ASSERT_EQ(batch.contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction* pRemove = FindAction(&batch, "Remove");
    QAction* pClear = FindAction(&batch, "Clear list");
    ASSERT_TRUE(pRemove && pClear);

    SelectRows(batch, {1, 2});
    C(m_Dlg).m_ctlStartBatch->click();
    QTest::keyClick(&batch, Qt::Key_Delete);
    EXPECT_FALSE(pRemove->isEnabled());
    EXPECT_FALSE(pClear->isEnabled());
    m_Dlg.RemoveSelectedRows();
    m_Dlg.ClearBatchList();
    EXPECT_EQ(batch.GetItemCount(), 3);
    ASSERT_TRUE(WaitForRunEnd(m_Dlg));
    EXPECT_EQ(Column(batch, 1), QStringList({"done", "done", "done"}));

    // After the run: the Delete key removes the selected rows; what was below moves up whole.
    EXPECT_TRUE(pRemove->isEnabled());
    SelectRows(batch, {0, 1});
    QTest::keyClick(&batch, Qt::Key_Delete);
    ASSERT_EQ(batch.GetItemCount(), 1);
    EXPECT_EQ(Row(batch, 0), QStringList({Q(c), "done", "12288 bytes", "DTS 16/48", "DTS 2.0 16-bit 48 kHz, 0:00.256, 384 kb/s"}));
    EXPECT_EQ(batch.GetModel().data(batch.GetModel().index(0, 0), Qt::ToolTipRole).toString(), Q(c));

    Add({Q(a)});
    SelectRows(batch, {1});
    pRemove->trigger();
    EXPECT_EQ(Column(batch, 0), QStringList({Q(c)}));
    pClear->trigger();
    EXPECT_EQ(batch.GetItemCount(), 0);
}

// Catches drops refused, folders added as rows, files inside folders missed, out of order or
// taken whatever their extension, a folder's outputs of an earlier run taken as inputs, and
// drops of things that are not files accepted.
TEST_F(KestruneDlgTest, AddsDroppedFilesAndFolders)
{
    const std::string single = CopySample(m_Dir, "mono_8k.dts", "single.bin");
    fs::create_directories(fs::u8path(m_Dir.Path("x/sub")));
    const std::string b = CopySample(m_Dir, "stereo_48k.dts", "x/b.dts");
    const std::string d = CopySample(m_Dir, "stereo_48k.dts", "x/d.cpt");
    const std::string a = CopySample(m_Dir, "stereo_48k.dts", "x/sub/a.DTS");
    const std::string w = CopySample(m_Dir, "stereo_48k.dts", "x/sub/w.wav");
    CopySample(m_Dir, "stereo_48k.dts", "x/notes.txt");
    CopySample(m_Dir, "stereo_48k.dts", "x/b.dts.fixed.dts");

    QMimeData text;
    text.setText("not a file");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&m_Dlg, &enter);
    EXPECT_FALSE(enter.isAccepted());

    ASSERT_TRUE(Drop(m_Dlg, {QUrl::fromLocalFile(Q(single)), QUrl::fromLocalFile(Q(m_Dir.Path("x")))}));
    EXPECT_EQ(Column(*C(m_Dlg).m_ctlBatchList, 0), QStringList({Q(single), Q(b), Q(d), Q(a), Q(w)}));
    EXPECT_EQ(Column(*C(m_Dlg).m_ctlBatchList, 1), QStringList({"queued", "queued", "queued", "queued", "queued"}));
    EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetItemText(0, 2), "2048 bytes");
}

// Catches Ctrl+C copying one cell, copies without headings or in another order, a CSV that
// differs from the list, and a failed save passing silently.
TEST_F(KestruneDlgTest, CopiesAndSavesTheFrameList)
{
    const std::string b = CopySample(m_Dir, "stereo_48k_ratechange.dts", "b.dts");
    Add({Q(b)});
    RunAndWait(m_Dlg);
    CListView& frames = *C(m_Dlg).m_ctlFrameList;
    ASSERT_EQ(frames.GetItemCount(), 2);
    const QStringList second = {"00000A00", "00000005", "768", "DTS 16/48", "L+R (stereo)", "1024 bytes", "-0 dB", "NO"};
    const QString strHeadings = "Offset\tFrame\tBitrate\tFormat\tChannels\tFrameSize\tDiagNorm\tCRC\n";

    frames.setFocus();
    QTest::keyClick(&frames, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&frames, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              strHeadings + kStereo48Row.join('\t') + "\n" + second.join('\t') + "\n");
    SelectRows(frames, {1});
    ASSERT_NE(FindAction(&frames, "Copy"), nullptr);
    FindAction(&frames, "Copy")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), strHeadings + second.join('\t') + "\n");

    const std::string csv = m_Dir.Path("frames.csv");
    m_Tools.m_SaveAnswers.push_back(Q(csv));
    ASSERT_NE(FindAction(&frames, "Save list..."), nullptr);
    FindAction(&frames, "Save list...")->trigger();
    const std::vector<uint8_t> bytes = ReadFileBytes(csv);
    const std::string expected = "Offset,Frame,Bitrate,Format,Channels,FrameSize,DiagNorm,CRC\r\n"
                                 "00000000,00000000,384,DTS 16/48,L+R (stereo),512 bytes,-0 dB,NO\r\n"
                                 "00000A00,00000005,768,DTS 16/48,L+R (stereo),1024 bytes,-0 dB,NO\r\n";
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
    EXPECT_TRUE(m_Tools.m_Messages.size() == 1u); // the batch's closing box only

    m_Tools.m_SaveAnswers.push_back(Q(m_Dir.Path("no/such/folder/frames.csv")));
    FindAction(&frames, "Save list...")->trigger();
    ASSERT_EQ(m_Tools.m_Messages.size(), 2u);
    EXPECT_EQ(m_Tools.m_Messages[1].eIcon, EIcon::Stop);
    EXPECT_TRUE(m_Tools.m_Messages[1].strText.contains("no/such/folder")) << m_Tools.m_Messages[1].strText.toStdString();
}

// Catches fields with commas, quotes or line breaks written bare, and plain fields quoted.
TEST(ListExport, QuotesOnlyTheFieldsThatNeedIt)
{
    EXPECT_EQ(CListExport::CsvField("L+R (stereo)"), "L+R (stereo)");
    EXPECT_EQ(CListExport::CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CListExport::CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CListExport::CsvField("two\nlines"), "\"two\nlines\"");
}

// Catches ticks, size, position or "Core only" lost between runs, and "Core only" not
// following "Rebuild Stream" as the removal options do.
TEST_F(KestruneDlgTest, RemembersOptionsAndGeometry)
{
    EXPECT_FALSE(C(m_Dlg).m_ctlCoreOnly->isEnabled());
    C(m_Dlg).m_ctlRebuildStream->click();
    EXPECT_TRUE(C(m_Dlg).m_ctlCoreOnly->isEnabled());
    C(m_Dlg).m_ctlCoreOnly->click();
    C(m_Dlg).m_ctlRemoveCRC->click();
    C(m_Dlg).m_ctlEnableLog->click();
    const QSize size = m_Dlg.size() + QSize(120, 90);
    m_Dlg.resize(size);
    m_Dlg.move(40, 30);
    const QPoint at = m_Dlg.pos();
    C(m_Dlg).m_ctlQuit->click();

    CKestruneDlg again(m_Tools);
    again.show();
    EXPECT_TRUE(C(again).m_ctlRebuildStream->isChecked());
    EXPECT_TRUE(C(again).m_ctlCoreOnly->isChecked());
    EXPECT_TRUE(C(again).m_ctlCoreOnly->isEnabled());
    EXPECT_TRUE(C(again).m_ctlRemoveCRC->isChecked());
    EXPECT_TRUE(C(again).m_ctlEnableLog->isChecked());
    EXPECT_FALSE(C(again).m_ctlRemoveDialNorm->isChecked());
    EXPECT_EQ(again.size(), size);
    EXPECT_EQ(again.pos(), at);
    EXPECT_TRUE(m_Tools.Settings().contains("geometry"));
}

// Catches outputs written beside the input while a folder is chosen, the choice lost between
// runs, and runs started into a folder that takes no files or with two inputs of one name (the
// second output would replace the first): those stop before any row runs, saying why.
TEST_F(KestruneDlgTest, WritesOutputsIntoTheChosenFolder)
{
    for (const char* pszFolder : {"a", "b", "out"})
        fs::create_directories(fs::u8path(m_Dir.Path(pszFolder)));
    const std::string first = CopySample(m_Dir, "stereo_48k.dts", "a/x.dts");
    const std::string output = m_Dir.Path("out/x.dts.fixed.dts");
    C(m_Dlg).m_ctlOutputFolder->SetFolder(Q(m_Dir.Path("out")));
    C(m_Dlg).m_ctlRebuildStream->click();
    Add({Q(first)});
    RunAndWait(m_Dlg);
    EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetItemText(0, 1), "done");
    EXPECT_TRUE(fs::exists(fs::u8path(output)));
    EXPECT_FALSE(fs::exists(fs::u8path(first + ".fixed.dts")));
    {
        CKestruneDlg again(m_Tools);
        EXPECT_EQ(C(again).m_ctlOutputFolder->Folder(), Q(m_Dir.Path("out")));
    }

    fs::remove(fs::u8path(output));
    Add({Q(CopySample(m_Dir, "stereo_48k.dts", "b/x.dts"))});
    RunAndWait(m_Dlg);
    ASSERT_FALSE(m_Tools.m_Messages.empty());
    EXPECT_TRUE(m_Tools.m_Messages.back().strText.contains("would both be written to")) << m_Tools.m_Messages.back().strText.toStdString();
    m_Dlg.ClearBatchList();
    Add({Q(first)});
    C(m_Dlg).m_ctlOutputFolder->SetFolder(Q(m_Dir.Path("missing")));
    RunAndWait(m_Dlg);
    EXPECT_TRUE(m_Tools.m_Messages.back().strText.contains("the folder does not exist")) << m_Tools.m_Messages.back().strText.toStdString();
    EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetItemText(0, 1), "queued");
    EXPECT_FALSE(fs::exists(fs::u8path(output)));
}

// Catches lists that keep their size in a larger window, controls left behind by the
// window's right edge, and a smallest window that clips or overlaps controls.
TEST_F(KestruneDlgTest, ListsStretchWithTheWindow)
{
    const QRect batch = C(m_Dlg).m_ctlBatchList->geometry();
    const QRect frames = C(m_Dlg).m_ctlFrameList->geometry();
    const QRect quit = C(m_Dlg).m_ctlQuit->geometry();
    m_Dlg.resize(m_Dlg.size() + QSize(200, 100));
    EXPECT_EQ(C(m_Dlg).m_ctlBatchList->geometry(), batch.adjusted(0, 0, 200, 50));
    EXPECT_EQ(C(m_Dlg).m_ctlFrameList->geometry(), frames.adjusted(0, 50, 200, 100));
    EXPECT_EQ(C(m_Dlg).m_ctlQuit->geometry(), quit.translated(200, 0));
    ExpectWhole(m_Dlg);

    m_Dlg.resize(m_Dlg.minimumSize());
    EXPECT_EQ(m_Dlg.size(), m_Dlg.minimumSize());
    EXPECT_LT(m_Dlg.width(), m_Dlg.DialogUnitsToPixels(0, 0, 382, 301).width());
    EXPECT_LT(m_Dlg.height(), m_Dlg.DialogUnitsToPixels(0, 0, 382, 301).height());
    ExpectWhole(m_Dlg);
    // Each list still shows its headings and a row or two.
    for (CListView* pList : {C(m_Dlg).m_ctlBatchList, C(m_Dlg).m_ctlFrameList})
        EXPECT_GE(pList->height(), 2 * pList->verticalHeader()->defaultSectionSize());
    // Captions still fit.
    for (QAbstractButton* pButton : m_Dlg.findChildren<QAbstractButton*>()) {
        if (pButton->isVisible()) {
            EXPECT_LE(pButton->sizeHint().width(), pButton->width()) << pButton->text().toStdString();
        }
    }
}

// Catches "file k of n" missing or counting from 0, and rows let in under a running batch.
TEST_F(KestruneDlgTest, ShowsWhichFileOfTheBatchRuns)
{
    const std::string a = CopySample(m_Dir, "stereo_48k.dts", "a.dts");
    const std::string b = CopySample(m_Dir, "stereo_48k.dts", "b.dts");
    const std::string c = CopySample(m_Dir, "stereo_48k.dts", "c.dts");
    Add({Q(a), Q(b)});
    C(m_Dlg).m_ctlStartBatch->click();
    Add({Q(c)});
    ASSERT_TRUE(WaitForRunEnd(m_Dlg));
    EXPECT_EQ(C(m_Dlg).m_ctlFileCount->text(), "file 2 of 2");
    EXPECT_EQ(Column(*C(m_Dlg).m_ctlBatchList, 1), QStringList({"done", "done"}));
    EXPECT_LE(C(m_Dlg).m_ctlFileCount->sizeHint().width(), C(m_Dlg).m_ctlFileCount->width());
}

// Catches a frame list that copies its labels into every row or freezes the window while a
// long stream fills it: a million rows in the batches the worker sends, events let through
// between them, the texts read back exactly, and the memory a row costs.
TEST(FrameListModel, FillsAMillionRowsCompactly)
{
    constexpr int kRows = 1000000;
    int nTicks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&nTicks] { ++nTicks; });
    ticker.start(0);
    const char* const bitrates[] = {"384", "768", "1536", "Open"};
    auto* pModel = new CFrameListModel;
    CListView frames(nullptr, pModel);
    for (int c = 0; c < FrameRow::kColumns; ++c)
        frames.InsertColumn(c, QString::fromLatin1(kFrameListHeadings[c]), Qt::AlignCenter, 50);
    frames.show();
    CFrameStore store;
    pModel->Show(&store);
    QElapsedTimer clock;
    clock.start();
    std::vector<FrameRow> batch;
    for (int i = 0; i < kRows; ++i) {
        FrameRow row;
        row.nOffset = uint64_t(i) * 2048;
        row.nFrame = i;
        row.strBitrate = bitrates[i % 4];
        row.strFormat = "DTS 16/48";
        row.strChannels = "L+R (stereo)";
        row.nFrameSize = 2048 + i % 3;
        row.strDialNorm = "-0 dB";
        row.bCRC = i % 2 == 1;
        batch.push_back(row);
        if (batch.size() == 8192 || i == kRows - 1) {
            const int nFirst = pModel->GetItemCount();
            pModel->Append(store, batch);
            for (int r = nFirst; r < pModel->GetItemCount(); ++r)
                frames.AddRowWidths(r);
            frames.AutoSizeColumns();
            batch.clear();
            QCoreApplication::processEvents();
        }
    }
    const double dSeconds = clock.nsecsElapsed() / 1e9;
    std::printf("1000000 frame-list rows appended, sized and shown in %.2f s\n", dSeconds);
    EXPECT_GT(nTicks, 0) << "events got through while the list filled";

    ASSERT_EQ(frames.GetItemCount(), kRows);
    EXPECT_EQ(Row(frames, 0), QStringList({"00000000", "00000000", "384", "DTS 16/48", "L+R (stereo)", "2048 bytes", "-0 dB", "NO"}));
    EXPECT_EQ(Row(frames, 999999),
              QStringList({"7A11F800", "00999999", "Open", "DTS 16/48", "L+R (stereo)", "2048 bytes", "-0 dB", "YES"}));
    EXPECT_EQ(store.GetKindCount(), 4); // a kind per bit rate; the rest is shared
    // At most about 100 bytes a row: the record, room for the vector to grow, and the kinds.
    const double dBytesPerRow = double(store.GetBytes()) / kRows;
    std::printf("frame list: %zu-byte records, %.1f bytes a row in all\n", sizeof(CFrameStore::SRecord), dBytesPerRow);
    EXPECT_LE(dBytesPerRow, 100.0);
}
