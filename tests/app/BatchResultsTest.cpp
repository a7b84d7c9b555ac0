// SPDX-License-Identifier: GPL-3.0-or-later
// What a run leaves in the window: each file's frames, the batch report, the logs and the
// copied rows, held against what kestrune-cli prints for the same files.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QTest>

#include <sstream>

#include "DlgTestSupport.h"
#include "cli/CliApp.h"
#include "support/SyntheticFrames.h"

namespace {

std::string Cli(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    CCliApp::Run(args, out, err, nullptr);
    return out.str();
}

std::string ReadText(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

QAction* FindAction(QWidget* pWidget, const char* pszText)
{
    for (QAction* pAction : pWidget->actions())
        if (pAction->text() == QLatin1String(pszText))
            return pAction;
    return nullptr;
}

} // namespace

// Catches results lost when the next file starts, a skipped stretch shown as a fake frame, a
// report or a log that differs from the command line's (rows, states, formats), logs not
// written or not named in the closing box, and Ctrl+C in the batch list copying one cell.
TEST_F(KestruneDlgTest, KeepsEachFilesResultsAndReportsThemAsTheCommandLine)
{
    const std::string a = CopySample(m_Dir, "stereo_48k.dts", "a.dts");
    std::vector<uint8_t> damaged = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    damaged.insert(damaged.begin() + 1024, 100, 0x55);
    const std::string bad = m_Dir.Write("damaged.dts", damaged);
    const std::string b = CopySample(m_Dir, "stereo_48k_ratechange.dts", "b.dts");
    Add({Q(a), Q(bad), Q(b)});
    SDlgControls ctl = C(m_Dlg);
    ctl.m_ctlEnableLog->click();
    RunAndWait(m_Dlg);
    ASSERT_EQ(Column(*ctl.m_ctlBatchList, 1), QStringList({"done", "done", "done"}));

    // Each file's frames, shown when its row is selected; the damage is a row of its own.
    ctl.m_ctlBatchList->selectRow(0);
    EXPECT_EQ(ctl.m_ctlFrameList->GetItemCount(), 1);
    EXPECT_EQ(Row(*ctl.m_ctlFrameList, 0), kStereo48Row);
    ctl.m_ctlBatchList->selectRow(1);
    ASSERT_EQ(ctl.m_ctlFrameList->GetItemCount(), 3);
    EXPECT_EQ(Row(*ctl.m_ctlFrameList, 1), QStringList({"00000400", "", "", "skipped 100 bytes", "", "", "", ""}));
    EXPECT_NE(Q(Cli({bad})).indexOf("skipped 100 bytes"), -1) << "as the command line says";
    ctl.m_ctlBatchList->selectRow(2);
    EXPECT_EQ(ctl.m_ctlFrameList->GetItemCount(), 2);

    // The logs are the command line's report of each file, and the closing box names them.
    for (const std::string& path : {a, bad, b})
        EXPECT_EQ(ReadText(path + ".kestrune.log"), Cli({path})) << path;
    ASSERT_EQ(m_Tools.m_Messages.size(), 1u);
    EXPECT_TRUE(m_Tools.m_Messages[0].strText.contains(Q(bad + ".kestrune.log"))) << m_Tools.m_Messages[0].strText.toStdString();

    // The report: JSON as kestrune-cli --json prints it, CSV with a line per row.
    QAction* pReport = FindAction(ctl.m_ctlBatchList, "Save report...");
    ASSERT_NE(pReport, nullptr);
    m_Tools.m_SaveAnswers.push_back(Q(m_Dir.Path("report.json")));
    pReport->trigger();
    EXPECT_EQ(ReadText(m_Dir.Path("report.json")), Cli({"--json", a, bad, b}));
    m_Tools.m_SaveAnswers.push_back(Q(m_Dir.Path("report.csv")));
    pReport->trigger();
    const QStringList lines = Q(ReadText(m_Dir.Path("report.csv"))).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 1 + 3 + 2);
    EXPECT_EQ(lines[0], "File,State,Detected Format,Stream,Offset,Frame,Bitrate,Format,Channels,FrameSize,DiagNorm,CRC");
    // The Stream cell is the list's, which is the end of the command line's file line.
    const QString strBadStream = ctl.m_ctlBatchList->GetItemText(1, 4);
    EXPECT_FALSE(strBadStream.isEmpty());
    EXPECT_NE(Q(Cli({bad})).indexOf(", " + strBadStream + "\n"), -1) << strBadStream.toStdString();
    EXPECT_EQ(lines[3], Q(bad) + ",done,DTS 16/48,\"" + strBadStream + "\",00000400,,,skipped 100 bytes,,,,");

    // Ctrl+C in the batch list: the selected rows with the headings.
    ctl.m_ctlBatchList->setFocus();
    ctl.m_ctlBatchList->selectRow(2);
    QTest::keyClick(ctl.m_ctlBatchList, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              "Filename\tState\tSize\tDetected Format\tStream\n" + Q(b)
                  + "\tdone\t7680 bytes\tDTS 16/48\tDTS 2.0 16-bit 48 kHz, 0:00.107, 576 kb/s\n");
}

// Catches a greyed box that still acts (the removals changing the rows with Rebuild Stream
// unticked) and a log half written for a stopped file.
TEST_F(KestruneDlgTest, AGreyedOptionNeverActs)
{
    FrameSpec spec;
    spec.dialnorm = 5;
    spec.cpf = true;
    const std::string crc = m_Dir.Write("crc.dts", RepeatFrame(spec, 5));
    Add({Q(crc)});
    SDlgControls ctl = C(m_Dlg);
    RunAndWait(m_Dlg);
    const QStringList plain = Row(*ctl.m_ctlFrameList, 0);

    ctl.m_ctlRebuildStream->click();
    ctl.m_ctlRemoveDialNorm->click();
    ctl.m_ctlRemoveCRC->click();
    ctl.m_ctlRebuildStream->click();
    ASSERT_FALSE(ctl.m_ctlRemoveDialNorm->isEnabled());
    RunAndWait(m_Dlg);
    ctl.m_ctlBatchList->selectRow(0);
    EXPECT_EQ(Row(*ctl.m_ctlFrameList, 0), plain);
    EXPECT_FALSE(fs::exists(fs::u8path(crc + ".fixed.dts")));

    // With Rebuild Stream the same ticks act: the dialog level is neutralised in the rows.
    ctl.m_ctlRebuildStream->click();
    RunAndWait(m_Dlg);
    ctl.m_ctlBatchList->selectRow(0);
    EXPECT_NE(Row(*ctl.m_ctlFrameList, 0)[6], plain[6]);
    EXPECT_EQ(plain[6], "-5 dB");
    EXPECT_EQ(fs::file_size(fs::u8path(crc + ".fixed.dts")), 5u * (spec.fsize + 1) - 5 * 2);

    // A stopped file leaves no log.
    const std::string big = WriteLongStream(m_Dir, "big.dts");
    ctl.m_ctlBatchList->selectRow(0);
    m_Dlg.RemoveSelectedRows();
    Add({Q(big)});
    ctl.m_ctlEnableLog->click();
    CWalkGate gate(m_Dlg, 0);
    ctl.m_ctlStartBatch->click();
    ASSERT_TRUE(gate.WaitHeld());
    ctl.m_ctlStop->click();
    gate.Release();
    ASSERT_TRUE(WaitForRunEnd(m_Dlg));
    EXPECT_EQ(ctl.m_ctlBatchList->GetItemText(0, 1), "stopped");
    EXPECT_FALSE(fs::exists(fs::u8path(big + ".kestrune.log")));
}

// Catches a last frame cut short by the end of the input that the window keeps quiet about, or
// tells as a failure: the row is "done", and its state tool tip and Stream cell say what the
// command line's file line says.
TEST_F(KestruneDlgTest, TellsALastFrameCutShortOnTheStateToolTip)
{
    std::vector<uint8_t> bytes = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    bytes.resize(bytes.size() - 100);
    const std::string cut = m_Dir.Write("cut.dts", bytes);
    Add({Q(cut)});
    RunAndWait(m_Dlg);
    SDlgControls ctl = C(m_Dlg);
    const CReportModel& model = ctl.m_ctlBatchList->GetModel();
    const QString strTip = model.data(model.index(0, 1), Qt::ToolTipRole).toString();
    const QString strLine = Q(Cli({cut}));
    EXPECT_EQ(ctl.m_ctlBatchList->GetItemText(0, 1), "done");
    EXPECT_TRUE(strTip.startsWith("last frame cut short: ")) << strTip.toStdString();
    EXPECT_NE(strLine.indexOf("(" + strTip + "), " + ctl.m_ctlBatchList->GetItemText(0, 4) + "\n"), -1)
        << strLine.toStdString();
}
