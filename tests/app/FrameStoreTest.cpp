// SPDX-License-Identifier: GPL-3.0-or-later
// The compact frame store against the rows it was given.
#include <QApplication>

#include <gtest/gtest.h>

#include "app/FrameStore.h"
#include "app/ListView.h"

// Catches the store's own number formatting drifting from the command line's (padding, case,
// offsets past 4 GiB), a skipped stretch losing its length, kinds shared by rows that differ in
// a typed value only, and a row given back other than it came.
TEST(FrameStore, GivesBackEveryRowAndTheCommandLinesTexts)
{
    FrameRow a;
    a.nOffset = 0x1ABCDEF12ull;
    a.nFrame = 123456789;
    a.strBitrate = "768";
    a.strFormat = "DTS 16/48 + DTS-HD MA";
    a.strExtension = "DTS-HD MA";
    a.strChannels = "3/2+LFE";
    a.nFrameSize = 2013;
    a.strDialNorm = "-5 dB";
    a.bCRC = true;
    a.dBitrateKbps = 768;
    a.nSampleRateHz = 48000;
    a.bLFE = true;
    a.nDialNormDb = -5;
    FrameRow b = a;
    b.nOffset = 0x40;
    b.nFrame = 7;
    b.nDialNormDb = -6; // the same labels, another typed value
    b.bCRC = false;
    FrameRow skipped;
    skipped.nOffset = 0xA00;
    skipped.nSkippedBytes = 4097;

    CFrameStore store;
    for (const FrameRow* pRow : {&a, &b, &skipped, &a})
        store.Append(*pRow);
    ASSERT_EQ(store.GetCount(), 4);
    EXPECT_EQ(store.GetKindCount(), 2);
    const FrameRow* rows[] = {&a, &b, &skipped, &a};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < FrameRow::kColumns; ++c)
            EXPECT_EQ(store.CellText(r, c).toStdString(), rows[r]->CellText(c)) << r << ", " << c;
        const FrameRow back = store.Row(r);
        EXPECT_EQ(back.nDialNormDb, rows[r]->nDialNormDb);
        EXPECT_EQ(back.nSampleRateHz, rows[r]->nSampleRateHz);
        EXPECT_EQ(back.strExtension, rows[r]->strExtension);
        EXPECT_EQ(back.nSkippedBytes, rows[r]->nSkippedBytes);
        EXPECT_EQ(back.nFrameSize, rows[r]->nFrameSize);
    }
    EXPECT_EQ(store.CellText(0, 0), "1ABCDEF12");
    EXPECT_EQ(store.CellText(2, 3), "skipped 4097 bytes");
}

// Catches the summed width of a text of digits drifting from the shaped one by more than a
// rounding (the columns would cut offsets short).
TEST(ListView, MeasuresDigitsAsTheFontDoes)
{
    CListView list;
    for (const char* pszText : {"00000000", "7A11F800", "FFFFFFFF", "123456789", "00999999"}) {
        const QString strText = QString::fromLatin1(pszText);
        EXPECT_NEAR(list.MeasureCellText(strText), list.GetStringWidth(strText + QString(10, QLatin1Char(' '))), 1)
            << pszText;
    }
}
