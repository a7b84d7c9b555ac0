// SPDX-License-Identifier: GPL-3.0-or-later
// The main window driven offscreen: its state at start, the options, adding files, and
// batches over real streams, with a fake picker and a recorder of message boxes.
#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <system_error>

#include "DlgTestSupport.h"
#include "app/KestruneDlg.h"
#include "app/ListView.h"
#include "stream/ScopeExit.h"
#include "support/FakeContainer.h"
#include "support/MachineTraits.h"
#include "support/TestFiles.h"
#ifdef KESTRUNE_TEST_MEDIA
#include "media/MediaContainerSupport.h"
#endif


// Catches options that start ticked or enabled, leftover texts, and columns not sized to
// their headings before any row exists.
TEST_F(KestruneDlgTest, StartsWithEverythingUntickedAndEmpty)
{
    EXPECT_EQ(m_Dlg.windowTitle(), "Kestrune V2.0");
    for (QCheckBox* pBox : {C(m_Dlg).m_ctlRebuildStream, C(m_Dlg).m_ctlRemoveCRC, C(m_Dlg).m_ctlRemoveDialNorm,
                            C(m_Dlg).m_ctlCoreOnly, C(m_Dlg).m_ctlEnableLog, C(m_Dlg).m_ctlSwapWord})
        EXPECT_FALSE(pBox->isChecked()) << pBox->text().toStdString();
    EXPECT_EQ(C(m_Dlg).m_ctlCoreOnly->text().remove('&'), "Core only"); // with its mnemonic
    EXPECT_FALSE(C(m_Dlg).m_ctlCoreOnly->isEnabled());
    EXPECT_FALSE(C(m_Dlg).m_ctlRemoveCRC->isEnabled());
    EXPECT_FALSE(C(m_Dlg).m_ctlRemoveDialNorm->isEnabled());
    EXPECT_TRUE(C(m_Dlg).m_ctlRebuildStream->isEnabled());
    EXPECT_TRUE(C(m_Dlg).m_ctlEnableLog->isEnabled());
    EXPECT_FALSE(C(m_Dlg).m_ctlSwapWord->isVisible());
    EXPECT_FALSE(C(m_Dlg).m_ctlSwapWord->isEnabled());
    EXPECT_EQ(C(m_Dlg).m_ctlCurrentFrame->text(), "");
    EXPECT_EQ(C(m_Dlg).m_ctlOutputName->text(), "");
    EXPECT_TRUE(C(m_Dlg).m_ctlStartBatch->isEnabled());
    EXPECT_TRUE(C(m_Dlg).m_ctlAddFile->isDefault());
    EXPECT_FALSE(m_Dlg.windowIcon().isNull());

    const QStringList frameHeadings = {"Offset", "Frame", "Bitrate", "Format", "Channels", "FrameSize", "DiagNorm", "CRC"};
    const QStringList batchHeadings = {"Filename", "State", "Size", "Detected Format", "Stream"};
    const QString spaces(10, QLatin1Char(' '));
    for (auto [pList, headings] : {std::pair{C(m_Dlg).m_ctlFrameList, frameHeadings}, std::pair{C(m_Dlg).m_ctlBatchList, batchHeadings}}) {
        EXPECT_EQ(pList->GetItemCount(), 0);
        ASSERT_EQ(pList->GetColumnCount(), headings.size());
        EXPECT_TRUE(pList->showGrid());
        EXPECT_EQ(pList->selectionBehavior(), QAbstractItemView::SelectRows);
        const QFontMetrics metrics(pList->font());
        for (int c = 0; c < headings.size(); ++c) {
            QString strHeading;
            ASSERT_TRUE(pList->GetColumnHeading(c, strHeading));
            EXPECT_EQ(strHeading, headings[c]);
            // The batch list's State column is sized from the start for its longest text.
            if (pList == C(m_Dlg).m_ctlBatchList && c == 1)
                EXPECT_GT(pList->GetColumnWidth(c), metrics.horizontalAdvance("error: cannot create output" + spaces));
            // ...and its Stream column for a typical summary.
            else if (pList == C(m_Dlg).m_ctlBatchList && c == 4)
                EXPECT_GT(pList->GetColumnWidth(c), metrics.horizontalAdvance("DTS-HD MA 7.1 24-bit 48 kHz lossless, 0:00.000"));
            else
                EXPECT_EQ(pList->GetColumnWidth(c), metrics.horizontalAdvance(headings[c] + spaces)) << strHeading.toStdString();
        }
    }
}

// Catches a window that opens at another size than the template's on a large screen,
// controls outside it or outside their group, and captions clipped because the controls
// were placed in the wrong units.
TEST_F(KestruneDlgTest, PlacesEveryControlOfTheTemplate)
{
    EXPECT_EQ(m_Dlg.size(), m_Dlg.DialogUnitsToPixels(0, 0, 382, 301).size());
    const QRect window(QPoint(0, 0), m_Dlg.size());
    for (QWidget* pChild : m_Dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (pChild->isVisible()) {
            EXPECT_TRUE(window.contains(pChild->geometry())) << pChild->metaObject()->className();
        }
    }
    for (QCheckBox* pBox : {C(m_Dlg).m_ctlRebuildStream, C(m_Dlg).m_ctlRemoveCRC, C(m_Dlg).m_ctlRemoveDialNorm, C(m_Dlg).m_ctlCoreOnly})
        EXPECT_TRUE(C(m_Dlg).m_ctlProcessingGroup->geometry().contains(pBox->geometry())) << pBox->text().toStdString();
    EXPECT_TRUE(C(m_Dlg).m_ctlDebugGroup->geometry().contains(C(m_Dlg).m_ctlEnableLog->geometry()));
    EXPECT_EQ(C(m_Dlg).m_ctlProcessingGroup->title(), "Processing");
    EXPECT_EQ(C(m_Dlg).m_ctlDebugGroup->title(), "Debug");

    // Every caption fits its control.
    for (QAbstractButton* pButton : m_Dlg.findChildren<QAbstractButton*>()) {
        if (pButton->isVisible()) {
            EXPECT_LE(pButton->sizeHint().width(), pButton->width()) << pButton->text().toStdString();
        }
    }
    for (QLabel* pLabel : m_Dlg.findChildren<QLabel*>()) {
        if (!pLabel->text().isEmpty()) {
            EXPECT_LE(pLabel->sizeHint().width(), pLabel->width()) << pLabel->text().toStdString();
        }
    }
    // The three buttons stand in one row, in template order.
    EXPECT_EQ(C(m_Dlg).m_ctlAddFile->y(), C(m_Dlg).m_ctlQuit->y());
    EXPECT_LT(C(m_Dlg).m_ctlAddFile->geometry().right(), C(m_Dlg).m_ctlStartBatch->x());
    EXPECT_LT(C(m_Dlg).m_ctlStartBatch->geometry().right(), C(m_Dlg).m_ctlQuit->x());
    // The logo is shown whole, beside the buttons and above the batch list.
    ASSERT_FALSE(C(m_Dlg).m_ctlLogo->pixmap().isNull());
    EXPECT_EQ(C(m_Dlg).m_ctlLogo->pixmap().size(), QSize(180, 137));
    EXPECT_LT(C(m_Dlg).m_ctlLogo->geometry().right(), C(m_Dlg).m_ctlAddFile->x());
    EXPECT_LT(C(m_Dlg).m_ctlLogo->geometry().bottom(), C(m_Dlg).m_ctlBatchList->y());
}

// Catches the removal options following the wrong box, losing their ticks when disabled,
// or "Enable Log" taking part in the rule.
TEST_F(KestruneDlgTest, RebuildStreamEnablesTheRemovalOptions)
{
    C(m_Dlg).m_ctlRebuildStream->click();
    EXPECT_TRUE(C(m_Dlg).m_ctlRemoveCRC->isEnabled());
    EXPECT_TRUE(C(m_Dlg).m_ctlRemoveDialNorm->isEnabled());
    C(m_Dlg).m_ctlRemoveCRC->click();
    C(m_Dlg).m_ctlRemoveDialNorm->click();
    C(m_Dlg).m_ctlRebuildStream->click();
    EXPECT_FALSE(C(m_Dlg).m_ctlRemoveCRC->isEnabled());
    EXPECT_FALSE(C(m_Dlg).m_ctlRemoveDialNorm->isEnabled());
    EXPECT_TRUE(C(m_Dlg).m_ctlRemoveCRC->isChecked());
    EXPECT_TRUE(C(m_Dlg).m_ctlRemoveDialNorm->isChecked());
    C(m_Dlg).m_ctlEnableLog->click();
    EXPECT_FALSE(C(m_Dlg).m_ctlRemoveCRC->isEnabled());
}

// Catches rows out of picking order, wrong sizes, a cancelled picker adding rows, and a
// file that cannot be measured passing silently or letting the files after it in.
TEST_F(KestruneDlgTest, AddsPickedFilesInOrder)
{
    const std::string a = CopySample(m_Dir, "stereo_48k.dts", "a.dts");
    const std::string b = CopySample(m_Dir, "stereo_48k_ratechange.dts", "b.dts");
    const std::string c = CopySample(m_Dir, "mono_8k.dts", "c.dts");

    C(m_Dlg).m_ctlAddFile->click(); // cancelled: no answer queued
    EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetItemCount(), 0);
    EXPECT_EQ(m_Tools.m_LastFilters, CKestruneDlg::FileFilters());

    Add({Q(a)});
    ASSERT_EQ(C(m_Dlg).m_ctlBatchList->GetItemCount(), 1);
    EXPECT_EQ(Row(*C(m_Dlg).m_ctlBatchList, 0), QStringList({Q(a), "queued", "12288 bytes", "", ""}));
    // The path takes the room the other columns leave (elided in the middle beyond it).
    const CListView& batch = *C(m_Dlg).m_ctlBatchList;
    int nOthers = 0;
    for (int c = 1; c < 5; ++c)
        nOthers += batch.GetColumnWidth(c);
    EXPECT_EQ(batch.GetColumnWidth(0),
              std::min(batch.MeasureCellText(Q(a)), std::max(batch.viewport()->width() - nOthers, batch.MeasureCellText("Filename"))));

    Add({Q(b), Q(c)});
    ASSERT_EQ(C(m_Dlg).m_ctlBatchList->GetItemCount(), 3);
    EXPECT_EQ(Row(*C(m_Dlg).m_ctlBatchList, 1), QStringList({Q(b), "queued", "7680 bytes", "", ""}));
    EXPECT_EQ(Row(*C(m_Dlg).m_ctlBatchList, 2), QStringList({Q(c), "queued", "2048 bytes", "", ""}));
    EXPECT_TRUE(m_Tools.m_Messages.empty());

    // A file already listed is not added again, one that cannot be measured is left out, and
    // the rest still come in; the status line says which and why, and no box interrupts.
    const std::string missing = m_Dir.Path("gone.dts");
    const std::string d = CopySample(m_Dir, "mono_8k.dts", "d.dts");
    Add({Q(a), Q(missing), Q(d), Q(m_Dir.Path("./d.dts"))});
    ASSERT_EQ(C(m_Dlg).m_ctlBatchList->GetItemCount(), 4);
    EXPECT_EQ(Row(*C(m_Dlg).m_ctlBatchList, 3), QStringList({Q(d), "queued", "2048 bytes", "", ""}));
    EXPECT_TRUE(m_Tools.m_Messages.empty());
    const QString strStatus = m_Dlg.GetStatusText();
    EXPECT_TRUE(strStatus.contains(Q(a) + " is in the list already")) << strStatus.toStdString();
    EXPECT_TRUE(strStatus.contains(Q(missing) + ": ")) << strStatus.toStdString();
    EXPECT_TRUE(strStatus.contains("does not exist")) << strStatus.toStdString();
    EXPECT_TRUE(strStatus.contains("./d.dts is in the list already")) << strStatus.toStdString();
}

// Catches sizes cut to 32 bits: a file of 3 GiB (sparse, so it costs no disk) shows its length.
TEST_F(KestruneDlgTest, ShowsTheTrueSizeOfFilesOverTwoGiB)
{
    const std::string big = m_Dir.Path("big.dts");
    WriteFileBytes(big, {});
    std::error_code error;
    fs::resize_file(big, 3ull << 30, error);
    if (error)
        GTEST_SKIP() << "cannot make a sparse file here: " << error.message();
    Add({Q(big)});
    EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetItemText(0, 2), "3221225472 bytes");
}

// Catches a batch that skips or reorders files, leaves the frame list of another file,
// writes a copy when not asked, or misses "Done"; with rebuild, an output that differs from
// an input that needs no change, a path with non-ASCII characters, or the removal options
// not reaching the loop.
TEST_F(KestruneDlgTest, RunsABatchOverRealStreams)
{
    // An empty batch is done at once.
    RunAndWait(m_Dlg);
    ASSERT_EQ(m_Tools.m_Messages.size(), 1u);
    EXPECT_EQ(m_Tools.m_Messages[0].strText, "0 files: 0 done, 0 failed");
    EXPECT_EQ(m_Tools.m_Messages[0].strCaption, "Kestrune");
    EXPECT_EQ(m_Tools.m_Messages[0].eIcon, EIcon::None);
    m_Tools.m_Messages.clear();

    const std::string a = CopySample(m_Dir, "stereo_48k.dts", "stéréo ü.dts");
    const std::string b = CopySample(m_Dir, "stereo_48k_ratechange.dts", "b.dts");
    Add({Q(a), Q(b)});
    std::vector<int> batchWidths;
    for (int c = 0; c < 5; ++c)
        batchWidths.push_back(C(m_Dlg).m_ctlBatchList->GetColumnWidth(c));

    RunAndWait(m_Dlg);
    // The batch list is sized when files are added, not when the run writes "parsing...".
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetColumnWidth(c), batchWidths[c]) << c;
    EXPECT_EQ(Column(*C(m_Dlg).m_ctlBatchList, 1), QStringList({"done", "done"}));
    EXPECT_EQ(Column(*C(m_Dlg).m_ctlBatchList, 2), QStringList({"12288 bytes", "7680 bytes"}));
    EXPECT_EQ(Column(*C(m_Dlg).m_ctlBatchList, 3), QStringList({"DTS 16/48", "DTS 16/48"}));
    // Durations as ffprobe's packets add up (24 and 10 of 0.010667 s); bytes over them: 384 kb/s,
    // and 576 for the second, half at 384 and half at 768 (ffprobe's own 0.16 s guesses from its
    // first bit rate).
    EXPECT_EQ(Column(*C(m_Dlg).m_ctlBatchList, 4), QStringList({"DTS 2.0 16-bit 48 kHz, 0:00.256, 384 kb/s",
                                                                "DTS 2.0 16-bit 48 kHz, 0:00.107, 576 kb/s"}));
    EXPECT_FALSE(fs::exists(fs::u8path(a + ".fixed.dts")));
    EXPECT_FALSE(fs::exists(fs::u8path(b + ".fixed.dts")));
    // The frame list holds the last file's rows: its bit rate and frame size change after five frames.
    ASSERT_EQ(C(m_Dlg).m_ctlFrameList->GetItemCount(), 2);
    EXPECT_EQ(Row(*C(m_Dlg).m_ctlFrameList, 0), kStereo48Row);
    EXPECT_EQ(Row(*C(m_Dlg).m_ctlFrameList, 1),
              QStringList({"00000A00", "00000005", "768", "DTS 16/48", "L+R (stereo)", "1024 bytes", "-0 dB", "NO"}));
    EXPECT_EQ(C(m_Dlg).m_ctlCurrentFrame->text(), "9");
    EXPECT_EQ(C(m_Dlg).m_ctlProgress->value(), 100);
    EXPECT_EQ(C(m_Dlg).m_ctlOutputName->text(), Q(b + ".fixed.dts"));
    EXPECT_EQ(C(m_Dlg).m_ctlFileCount->text(), "file 2 of 2");
    ASSERT_EQ(m_Tools.m_Messages.size(), 1u);
    EXPECT_EQ(m_Tools.m_Messages[0].strText, "2 files: 2 done, 0 failed");
    EXPECT_TRUE(C(m_Dlg).m_ctlStartBatch->isEnabled());

    // Again, rebuilding: every row is processed anew, and the copies equal their inputs.
    C(m_Dlg).m_ctlRebuildStream->click();
    RunAndWait(m_Dlg);
    EXPECT_EQ(Column(*C(m_Dlg).m_ctlBatchList, 1), QStringList({"done", "done"}));
    EXPECT_EQ(ReadFileBytes(a + ".fixed.dts"), ReadFileBytes(a));
    EXPECT_EQ(ReadFileBytes(b + ".fixed.dts"), ReadFileBytes(b));
    EXPECT_EQ(m_Tools.m_Messages.size(), 2u);

    // Removing the header CRC takes its two bytes out of each of the 24 frames.
    const std::string crc = CopySample(m_Dir, "stereo_48k_hcrc.dts", "crc.dts");
    Add({Q(crc)});
    C(m_Dlg).m_ctlRemoveCRC->click();
    RunAndWait(m_Dlg);
    EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetItemText(2, 1), "done");
    EXPECT_EQ(fs::file_size(fs::u8path(crc + ".fixed.dts")), 12336u - 24 * 2);
    EXPECT_EQ(C(m_Dlg).m_ctlFrameList->GetItemText(0, 7), "YES");
}

// Catches Stop, Esc, Quit or closing not reaching the walk, the window or the list lost by a
// stop, a run closed without asking, the batch going on to the next files, a stopped file shown
// as done, a closing box after a stop, and a second Start leaving the last run's states standing.
TEST_F(KestruneDlgTest, StopEscAndCloseDuringARun)
{
    const std::string big = WriteLongStream(m_Dir, "big.dts");
    const std::string b = CopySample(m_Dir, "stereo_48k.dts", "b.dts");
    Add({Q(big), Q(b)});
    SDlgControls ctl = C(m_Dlg);
    ctl.m_ctlRebuildStream->click();

    // Stop keeps the window and the list; the file in hand reads "stopped", the next "queued".
    auto gate = std::make_unique<CWalkGate>(m_Dlg, 0);
    ctl.m_ctlStartBatch->click();
    ASSERT_TRUE(gate->WaitHeld());
    EXPECT_TRUE(ctl.m_ctlStop->isVisible());
    EXPECT_FALSE(ctl.m_ctlStartBatch->isVisible());
    QTest::keyClick(&m_Dlg, Qt::Key_Escape);
    EXPECT_TRUE(m_Dlg.isVisible()) << "Esc closes nothing";
    EXPECT_TRUE(m_Dlg.IsBatchRunning()) << "Esc stops nothing";
    ctl.m_ctlStop->click();
    gate->Release();
    ASSERT_TRUE(WaitForRunEnd(m_Dlg));
    EXPECT_TRUE(m_Dlg.isVisible());
    EXPECT_EQ(Column(*ctl.m_ctlBatchList, 1), QStringList({"stopped", "queued"}));
    EXPECT_FALSE(fs::exists(fs::u8path(big + ".fixed.dts")));
    EXPECT_TRUE(m_Tools.m_Messages.empty());
    EXPECT_TRUE(ctl.m_ctlStartBatch->isVisible());

    // A second Start first puts every row back to "queued", then runs them all.
    gate.reset();
    ctl.m_ctlStartBatch->click();
    EXPECT_EQ(Column(*ctl.m_ctlBatchList, 1), QStringList({"queued", "queued"}));
    EXPECT_TRUE(WaitForRunEnd(m_Dlg));
    EXPECT_EQ(Column(*ctl.m_ctlBatchList, 1), QStringList({"done", "done"}));
    ASSERT_EQ(m_Tools.m_Messages.size(), 1u);
    m_Tools.m_Messages.clear();

    // Quit during a run asks; No keeps the run going, Yes stops it and closes.
    gate = std::make_unique<CWalkGate>(m_Dlg, 0);
    ctl.m_ctlStartBatch->click();
    ASSERT_TRUE(gate->WaitHeld());
    ctl.m_ctlQuit->click();
    EXPECT_EQ(m_Tools.m_Questions, QStringList({"Stop the run and quit?"}));
    EXPECT_TRUE(m_Dlg.isVisible());
    EXPECT_TRUE(m_Dlg.IsBatchRunning());
    m_Tools.m_QuestionAnswers.push_back(true);
    gate->ReleaseLater();
    ctl.m_ctlQuit->click();
    EXPECT_FALSE(m_Dlg.IsBatchRunning());
    EXPECT_FALSE(m_Dlg.isVisible());
    EXPECT_EQ(m_Dlg.result(), QDialog::Accepted);
    EXPECT_EQ(Column(*ctl.m_ctlBatchList, 1), QStringList({"stopped", "queued"}));
    EXPECT_TRUE(m_Tools.m_Messages.empty());

    // Closing the window by its frame asks the same.
    CKestruneDlg other(m_Tools);
    other.show();
    m_Tools.m_PickAnswers.push_back({Q(big)});
    C(other).m_ctlAddFile->click();
    C(other).m_ctlRebuildStream->click();
    CWalkGate otherGate(other, 0);
    C(other).m_ctlStartBatch->click();
    ASSERT_TRUE(otherGate.WaitHeld());
    m_Tools.m_QuestionAnswers.push_back(true);
    otherGate.ReleaseLater();
    other.close();
    EXPECT_EQ(m_Tools.m_Questions.size(), 3);
    EXPECT_FALSE(other.isVisible());
    EXPECT_EQ(other.result(), QDialog::Rejected);
    EXPECT_EQ(Column(*C(other).m_ctlBatchList, 1), QStringList({"stopped"}));
}

// Catches a second run started inside the first, which would reopen the streams under the
// running walk, and options or the list changed under a run: Start gives way to Stop, the
// boxes are greyed, and editing is refused with a note.
TEST_F(KestruneDlgTest, LocksTheOptionsAndTheListDuringARun)
{
    const std::string big = WriteLongStream(m_Dir, "big.dts");
    const std::string b = CopySample(m_Dir, "mono_8k.dts", "b.dts");
    Add({Q(big), Q(b)});
    SDlgControls ctl = C(m_Dlg);
    ctl.m_ctlRebuildStream->click();
    ctl.m_ctlStartBatch->click();
    EXPECT_TRUE(m_Dlg.IsBatchRunning());
    EXPECT_FALSE(ctl.m_ctlStartBatch->isVisible());
    for (QCheckBox* pBox : {ctl.m_ctlRebuildStream, ctl.m_ctlRemoveCRC, ctl.m_ctlRemoveDialNorm, ctl.m_ctlCoreOnly, ctl.m_ctlEnableLog})
        EXPECT_FALSE(pBox->isEnabled()) << pBox->objectName().toStdString();
    EXPECT_FALSE(ctl.m_ctlOutputFolder->isEnabled());
    m_Dlg.RunBatch();
    ctl.m_ctlAddFile->click();
    m_Dlg.AddPaths({Q(b)});
    m_Dlg.ClearBatchList();
    EXPECT_EQ(ctl.m_ctlBatchList->GetItemCount(), 2);
    EXPECT_TRUE(m_Dlg.GetStatusText().contains("press Stop")) << m_Dlg.GetStatusText().toStdString();
    ASSERT_TRUE(WaitForRunEnd(m_Dlg));
    EXPECT_EQ(Column(*ctl.m_ctlBatchList, 1), QStringList({"done", "done"}));
    EXPECT_EQ(fs::file_size(fs::u8path(big + ".fixed.dts")), fs::file_size(fs::u8path(big)));
    EXPECT_TRUE(ctl.m_ctlStartBatch->isVisible());
    EXPECT_TRUE(ctl.m_ctlRemoveCRC->isEnabled());
    EXPECT_TRUE(ctl.m_ctlOutputFolder->isEnabled());
    ASSERT_EQ(m_Tools.m_Messages.size(), 1u);
}

// Catches failures reported as "done", a short output left behind, a failed row that does
// not stand out, a closing box that does not count the failures, and a file gone since it
// was added stopping the run instead of failing its row alone.
TEST_F(KestruneDlgTest, ShowsWhyAFileFailedAndGoesOn)
{
    // A RIFF file with no WAVE data in it: it measures, but does not open as a stream.
    const std::string badInput = m_Dir.Path("bad.wav");
    WriteFileBytes(badInput, {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'J', 'U', 'N', 'K'});
    // A folder where the output would go.
    const std::string blocked = CopySample(m_Dir, "stereo_48k.dts", "blocked.dts");
    fs::create_directory(fs::u8path(blocked + ".fixed.dts"));
    // A link to a device at the output name: left alone, never written through.
    const std::string full = CopySample(m_Dir, "stereo_48k.dts", "full.dts");
    const bool bHaveDevFull = HasDevFull();
    if (bHaveDevFull)
        fs::create_symlink("/dev/full", fs::u8path(full + ".fixed.dts"));
    const std::string good = CopySample(m_Dir, "stereo_48k.dts", "good.dts");

    Add({Q(badInput), Q(blocked), Q(full), Q(good)});
    C(m_Dlg).m_ctlRebuildStream->click();
    RunAndWait(m_Dlg);
    EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetItemText(0, 1), "error: cannot open input");
    EXPECT_FALSE(fs::exists(fs::u8path(badInput + ".fixed.dts")));
    EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetItemText(1, 1), "error: cannot create output");
    EXPECT_TRUE(fs::is_directory(fs::u8path(blocked + ".fixed.dts")));
    if (bHaveDevFull) {
        EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetItemText(2, 1), "error: cannot create output");
    }
    EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetItemText(3, 1), "done");
    EXPECT_EQ(ReadFileBytes(good + ".fixed.dts"), ReadFileBytes(good));
    // The cause rests on the state cell, naming the file that failed; failed rows carry an icon.
    const CReportModel& model = C(m_Dlg).m_ctlBatchList->GetModel();
    const auto tip = [&model](int nRow) { return model.data(model.index(nRow, 1), Qt::ToolTipRole).toString(); };
    const auto hasIcon = [&model](int nRow) { return !model.data(model.index(nRow, 1), Qt::DecorationRole).isNull(); };
    EXPECT_TRUE(tip(0).startsWith(Q(badInput) + ": ")) << tip(0).toStdString();
    EXPECT_TRUE(tip(1).startsWith(Q(blocked + ".fixed.dts") + ": ")) << tip(1).toStdString();
    EXPECT_TRUE(tip(1).contains("folder")) << tip(1).toStdString();
    EXPECT_TRUE(tip(3).isEmpty());
    EXPECT_TRUE(hasIcon(0) && hasIcon(1));
    EXPECT_FALSE(hasIcon(3));
    // Every state text shows whole in its column.
    for (int r = 0; r < 4; ++r)
        EXPECT_GE(C(m_Dlg).m_ctlBatchList->GetColumnWidth(1), C(m_Dlg).m_ctlBatchList->MeasureCellText(C(m_Dlg).m_ctlBatchList->GetItemText(r, 1)));
    ASSERT_EQ(m_Tools.m_Messages.size(), 1u);
    const int nFailed = bHaveDevFull ? 3 : 2;
    EXPECT_EQ(m_Tools.m_Messages[0].strText, QStringLiteral("4 files: %1 done, %2 failed").arg(4 - nFailed).arg(nFailed));
    EXPECT_EQ(m_Tools.m_Messages[0].eIcon, EIcon::Warning);

    // good.dts disappears: its row fails with the cause, and the run goes on to the next file.
    m_Tools.m_Messages.clear();
    const std::string last = CopySample(m_Dir, "mono_8k.dts", "last.dts");
    Add({Q(last)});
    fs::remove(fs::u8path(good));
    RunAndWait(m_Dlg);
    EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetItemText(3, 1), "error: cannot open input");
    EXPECT_TRUE(tip(3).startsWith(Q(good) + ": cannot open input: ")) << tip(3).toStdString();
    EXPECT_TRUE(tip(3).contains("does not exist")) << tip(3).toStdString();
    EXPECT_TRUE(hasIcon(3));
    EXPECT_EQ(C(m_Dlg).m_ctlBatchList->GetItemText(4, 1), "done");
    EXPECT_EQ(ReadFileBytes(last + ".fixed.dts"), ReadFileBytes(last));
    ASSERT_EQ(m_Tools.m_Messages.size(), 1u);
    EXPECT_EQ(m_Tools.m_Messages[0].strText, QStringLiteral("5 files: %1 done, %2 failed").arg(4 - nFailed).arg(nFailed + 1));
    EXPECT_TRUE(C(m_Dlg).m_ctlStartBatch->isEnabled());
    if (!bHaveDevFull)
        GTEST_SKIP() << kNoDevFull;
}

#ifndef _WIN32
// Catches the window freezing: opening a pipe with no writer blocks, so a pipe is refused with a
// message before it is opened.
TEST_F(KestruneDlgTest, RefusesAPipeInsteadOfBlocking)
{
    const std::string pipe = m_Dir.Path("pipe.dts");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // In a pick, the pipe is left out and the file after it still comes in.
    const std::string a = CopySample(m_Dir, "stereo_48k.dts", "a.dts");
    Add({Q(pipe), Q(a)});
    EXPECT_EQ(Column(*C(m_Dlg).m_ctlBatchList, 0), QStringList({Q(a)}));
    EXPECT_TRUE(m_Dlg.GetStatusText().contains(Q(pipe) + ": ")) << m_Dlg.GetStatusText().toStdString();
}
#endif

// A movie file is one batch row per DTS track, named by its stream index and language, each run
// as that track with an output of its own, and a frame row's tool tip tells its time in the
// movie. Catches a movie added as one file (walked as a damaged stream), tracks run as the whole
// file, and two tracks' outputs written over each other.
TEST_F(KestruneDlgTest, AMovieFileIsARowPerDtsTrack)
{
    const std::vector<uint8_t> stream = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const std::string movie = m_Dir.Write("movie.mkv", {0x1A, 0x45, 0xDF, 0xA3, 0, 0, 0, 0});
    CFakeSupport support;
    support.containers[movie] = ContainerInfo{"Matroska", {{0, "video", "H.264", "", "", false},
                                                          {1, "audio", "DTS", "eng", "", true},
                                                          {3, "audio", "DTS", "", "", true}}};
    support.tracks[{movie, 1}] = {{stream, 10.0}};
    support.tracks[{movie, 3}] = {{stream, 20.0}};
    IContainerSupport::Installed() = &support;
    CScopeExit uninstall([] { IContainerSupport::Installed() = nullptr; });

    Add({Q(movie)});
    const SDlgControls c = C(m_Dlg);
    EXPECT_EQ(Column(*c.m_ctlBatchList, 0), QStringList({Q(movie + " #1 (eng)"), Q(movie + " #3")}));
    c.m_ctlRebuildStream->click();
    RunAndWait(m_Dlg);
    EXPECT_EQ(Column(*c.m_ctlBatchList, 1), QStringList({"done", "done"}));
    EXPECT_EQ(ReadFileBytes(movie + ".track1.fixed.dts"), stream);
    EXPECT_EQ(ReadFileBytes(movie + ".track3.fixed.dts"), stream);
    // Each track keeps its frames: selecting its row shows them, with their times in the movie.
    const CReportModel& frames = c.m_ctlFrameList->GetModel();
    c.m_ctlBatchList->selectRow(0);
    EXPECT_EQ(frames.data(frames.index(0, 0), Qt::ToolTipRole).toString(), "at 0:00:10.000");
    c.m_ctlBatchList->selectRow(1);
    EXPECT_EQ(frames.data(frames.index(0, 0), Qt::ToolTipRole).toString(), "at 0:00:20.000");
}

// "Write into a copy of the movie": greyed (and not acting) without Rebuild Stream; with it, the
// DTS tracks of a Matroska become one copy beside it, reported on the last track's row, while a
// plain stream in the same batch is rebuilt as ever. Catches a copy per track, the copy written
// before the last track was walked, a .dts row remuxed, and the box acting while greyed.
TEST_F(KestruneDlgTest, TheCopyOfAMovieTakesAllItsTracks)
{
#ifndef KESTRUNE_TEST_MEDIA
    GTEST_SKIP() << "built without container support";
#else
    if (std::system("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg and ffprobe are needed";
    const std::string movie = m_Dir.Path("movie.mkv");
    const std::string dts = TestDataPath("stereo_48k.dts");
    ASSERT_EQ(std::system(("ffmpeg -v error -i " + dts + " -i " + dts + " -map 0 -map 1 -c copy '" + movie + "'").c_str()), 0);
    const std::string plain = CopySample(m_Dir, "stereo_48k.dts", "plain.dts");
    static CMediaContainerSupport support;
    IContainerSupport::Installed() = &support;
    CScopeExit uninstall([] { IContainerSupport::Installed() = nullptr; });
    Add({Q(movie), Q(plain)});
    const SDlgControls c = C(m_Dlg);
    ASSERT_EQ(c.m_ctlBatchList->GetItemCount(), 3);
    c.m_ctlRemuxCopy->setChecked(true);
    EXPECT_FALSE(c.m_ctlRemuxCopy->isEnabled());
    RunAndWait(m_Dlg);
    EXPECT_FALSE(std::filesystem::exists(m_Dir.Path("movie.fixed.mkv"))) << "a greyed box never acts";
    c.m_ctlRebuildStream->click();
    EXPECT_TRUE(c.m_ctlRemuxCopy->isEnabled());
    RunAndWait(m_Dlg);
    EXPECT_EQ(Column(*c.m_ctlBatchList, 1), QStringList({"done", "done", "done"}));
    auto packets = [](const std::string& path) {
        return ShellOutput("ffprobe -v error -count_packets -show_entries stream=index,codec_name,nb_read_packets "
                           "-of csv=p=0 '" + path + "'");
    };
    EXPECT_EQ(packets(m_Dir.Path("movie.fixed.mkv")), packets(movie));
    EXPECT_NE(packets(movie).find("dts"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(movie + ".track0.fixed.dts"));
    EXPECT_EQ(ReadFileBytes(plain + ".fixed.dts"), ReadFileBytes(plain));
    // Only the last track's row holds the copy, as the report of the batch says.
    m_Tools.m_SaveAnswers.push_back(Q(m_Dir.Path("report.json")));
    for (QAction* pAction : c.m_ctlBatchList->actions()) {
        if (pAction->text() == QStringLiteral("Save report..."))
            pAction->trigger();
    }
    EXPECT_EQ(ShellOutput("grep -o 'movie.fixed.mkv' '" + m_Dir.Path("report.json") + "'"), "movie.fixed.mkv\n")
        << "the copy is named once, not on every track's row";
#endif
}
