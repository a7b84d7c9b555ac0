// SPDX-License-Identifier: GPL-3.0-or-later
// The report lists: row order, cell alignment, headings, and columns sized to their widest text.
#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QPixmap>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "app/ListModel.h"
#include "app/ListView.h"

namespace {

// The sizing rule measured from scratch over every heading and cell: the widest text of a
// column, cut to 1,023 characters, followed by ten spaces, in the list's own font.
std::vector<int> FullRuleWidths(const CListView& view)
{
    const QFontMetrics metrics(view.font());
    const QString spaces(10, QLatin1Char(' '));
    std::vector<int> widths;
    QString strHeading;
    for (int c = 0; view.GetModel().GetColumnHeading(c, strHeading); ++c) {
        int nWidth = metrics.horizontalAdvance(strHeading.left(1023) + spaces);
        for (int r = 0; r < view.GetModel().GetItemCount(); ++r)
            nWidth = std::max(nWidth, metrics.horizontalAdvance(view.GetModel().GetItemText(r, c).left(1023) + spaces));
        widths.push_back(nWidth);
    }
    return widths;
}

std::vector<int> ShownWidths(const CListView& view)
{
    std::vector<int> widths;
    for (int c = 0; c < view.GetColumnCount(); ++c)
        widths.push_back(view.GetColumnWidth(c));
    return widths;
}

QString RandomText(QRandomGenerator& rng)
{
    static const QString alphabet = QStringLiteral("0123456789ABCDEF ilmwW.+-/()éß");
    const int nLength = rng.bounded(20) == 0 ? 1000 + rng.bounded(100) : rng.bounded(30);
    QString text;
    for (int i = 0; i < nLength; ++i)
        text.append(alphabet[rng.bounded(int(alphabet.size()))]);
    return text;
}

} // namespace

// Catches rows landing out of order, headings readable past the last column (which would
// make sizing run on forever), and cells that are not centred.
TEST(ListModel, KeepsInsertionOrderAndCentresCells)
{
    CListModel model;
    EXPECT_EQ(model.InsertColumn(0, "Filename"), 0);
    EXPECT_EQ(model.InsertColumn(1, "State"), 1);
    QString strHeading;
    EXPECT_TRUE(model.GetColumnHeading(1, strHeading));
    EXPECT_EQ(strHeading, "State");
    EXPECT_FALSE(model.GetColumnHeading(2, strHeading));
    EXPECT_FALSE(model.GetColumnHeading(-1, strHeading));

    EXPECT_EQ(model.InsertItem(0, "a"), 0);
    EXPECT_EQ(model.InsertItem(1, "b"), 1); // at the row count: becomes the last row
    EXPECT_EQ(model.InsertItem(99, "c"), 2);
    EXPECT_EQ(model.AppendRow({"d", "queued", "ignored"}), 3);
    ASSERT_EQ(model.GetItemCount(), 4);
    EXPECT_EQ(model.GetItemText(0, 0), "a");
    EXPECT_EQ(model.GetItemText(1, 0), "b");
    EXPECT_EQ(model.GetItemText(2, 0), "c");
    EXPECT_EQ(model.GetItemText(3, 1), "queued");
    EXPECT_EQ(model.GetItemText(0, 1), "");
    EXPECT_FALSE(model.SetItemText(4, 0, "x"));
    EXPECT_FALSE(model.SetItemText(0, 2, "x"));
    EXPECT_TRUE(model.SetItemText(0, 1, "done"));
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), "done");
    EXPECT_EQ(model.data(model.index(0, 1), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Filename");

    model.DeleteAllItems();
    EXPECT_EQ(model.GetItemCount(), 0);
    EXPECT_EQ(model.GetColumnCount(), 2); // the columns stay
}

// Catches widths kept incrementally drifting from the rule: a narrower text replacing the
// widest, rows of an emptied list still counted, over-long texts measured whole, or an
// emptied list re-sized before its next row.
TEST(ListView, IncrementalSizingEqualsTheFullRule)
{
    // A fixed seed keeps CI's verdict the same from run to run; KESTRUNE_TEST_SEED replays another.
    // This one meets hex digits the font kerns ("4B"), which summed advances once measured 1 px wide.
    const quint32 nSeed = qEnvironmentVariableIsSet("KESTRUNE_TEST_SEED")
                              ? quint32(qEnvironmentVariableIntValue("KESTRUNE_TEST_SEED"))
                              : 492621406u;
    std::printf("seed %u\n", nSeed);
    QRandomGenerator rng(nSeed);
    CListView view;
    for (int c = 0; c < 4; ++c)
        view.InsertColumn(c, c == 2 ? QString(1100, QLatin1Char('H')) : QStringLiteral("Col %1").arg(c), Qt::AlignCenter, 50);
    view.AutoSizeColumns();
    ASSERT_EQ(ShownWidths(view), FullRuleWidths(view)) << "seed " << nSeed;

    for (int step = 0; step < 600; ++step) {
        const int op = rng.bounded(100);
        if (op < 50) {
            QStringList row;
            for (int c = 0; c < 4; ++c)
                row.append(RandomText(rng));
            view.AppendRow(row);
        } else if (op < 60) {
            view.InsertItem(view.GetItemCount(), RandomText(rng));
        } else if (op < 65 && view.GetItemCount() > 0) {
            view.DeleteItem(rng.bounded(view.GetItemCount()));
        } else if (op < 95 && view.GetItemCount() > 0) {
            view.SetItemText(rng.bounded(view.GetItemCount()), rng.bounded(4), RandomText(rng));
        } else if (op >= 95) {
            const std::vector<int> before = ShownWidths(view);
            view.DeleteAllItems();
            ASSERT_EQ(ShownWidths(view), before) << "an emptied list keeps its widths until sized again";
        }
        if (rng.bounded(3) == 0) {
            view.AutoSizeColumns();
            ASSERT_EQ(ShownWidths(view), FullRuleWidths(view)) << "seed " << nSeed << " step " << step;
        }
    }
    view.AutoSizeColumns();
    EXPECT_EQ(ShownWidths(view), FullRuleWidths(view)) << "seed " << nSeed;

    // The font changes: every width is measured again in the new one.
    QFont bigger = view.font();
    bigger.setPointSize(bigger.pointSize() + 6);
    view.setFont(bigger);
    view.AutoSizeColumns();
    EXPECT_EQ(ShownWidths(view), FullRuleWidths(view)) << "seed " << nSeed;
}

// Catches sizing that goes back over every row: 100,000 appended rows, each followed by
// sizing, must take seconds, not the hours a quadratic pass would.
TEST(ListView, HundredThousandRowsFillInSeconds)
{
    CListView view;
    const char* headings[] = {"Offset", "Frame", "Bitrate", "Format", "Channels", "FrameSize", "DiagNorm", "CRC"};
    for (int c = 0; c < 8; ++c)
        view.InsertColumn(c, headings[c], Qt::AlignCenter, 50);
    view.resize(600, 200);
    view.show();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100000; ++i) {
        view.AppendRow({QString::asprintf("%8.8X", i * 2048), QString::asprintf("%8.8d", i), i % 7 ? "384" : "1536",
                        "DTS 16/48", "L+R (stereo)", QStringLiteral("%1 bytes").arg(2048 + i % 3), "-0 dB",
                        i % 2 ? "YES" : "NO"});
        view.AutoSizeColumns();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("100000 rows appended and sized in %.2f s\n", seconds);
    EXPECT_LT(seconds, 30.0); // a pass over every row per append would take hours
    EXPECT_EQ(view.GetItemCount(), 100000);
    EXPECT_EQ(ShownWidths(view), FullRuleWidths(view));
}

// Catches the alignment given to a column being ignored, and tool tips or icons left on the
// row that took a deleted row's place.
TEST(ListModel, HonoursAlignmentAndMovesCellExtrasWithTheirRows)
{
    CListView view;
    view.InsertColumn(0, "Name", Qt::AlignLeft, 50);
    view.InsertColumn(1, "State", Qt::AlignCenter, 50);
    const CReportModel& model = view.GetModel();
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
    view.AppendRow({"a", "x"});
    view.AppendRow({"b", "y"});
    view.AppendRow({"c", "z"});
    EXPECT_EQ(model.data(model.index(0, 0), Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
    EXPECT_EQ(model.data(model.index(0, 1), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));

    CListModel* pText = view.GetTextModel();
    ASSERT_NE(pText, nullptr);
    QPixmap red(8, 8);
    red.fill(Qt::red);
    pText->SetItemToolTip(2, 1, "why c failed");
    pText->SetItemIcon(2, 1, QIcon(red));
    pText->SetItemToolTip(0, 1, "why a failed");
    EXPECT_TRUE(view.DeleteItem(1));
    EXPECT_FALSE(view.DeleteItem(2));
    EXPECT_EQ(model.data(model.index(1, 1), Qt::ToolTipRole).toString(), "why c failed");
    EXPECT_FALSE(model.data(model.index(1, 1), Qt::DecorationRole).isNull());
    EXPECT_EQ(model.data(model.index(0, 1), Qt::ToolTipRole).toString(), "why a failed");
    EXPECT_TRUE(model.data(model.index(0, 1), Qt::DecorationRole).isNull());
    pText->SetItemIcon(1, 1, QIcon());
    EXPECT_TRUE(model.data(model.index(1, 1), Qt::DecorationRole).isNull());
    EXPECT_EQ(model.data(model.index(1, 1), Qt::ToolTipRole).toString(), "why c failed");
}

// Catches an elastic column that pushes the others out of view, or one squeezed below its
// heading when the list is narrow.
TEST(ListView, ElasticColumnTakesTheRoomTheOthersLeave)
{
    CListView view;
    for (const char* heading : {"Filename", "State", "Size"})
        view.InsertColumn(view.GetColumnCount(), heading, Qt::AlignCenter, 50);
    view.SetElasticColumn(0);
    view.resize(500, 200);
    view.show();
    view.AppendRow({QString(300, 'x') + ".dts", "queued", "12288 bytes"});
    view.AutoSizeColumns();
    const int nOthers = view.GetColumnWidth(1) + view.GetColumnWidth(2);
    EXPECT_EQ(view.GetColumnWidth(0), view.viewport()->width() - nOthers);
    view.resize(100, 200);
    EXPECT_EQ(view.GetColumnWidth(0), view.MeasureCellText("Filename"));
    view.resize(4000, 200);
    EXPECT_EQ(view.GetColumnWidth(0), view.MeasureCellText(view.GetItemText(0, 0)));
}
