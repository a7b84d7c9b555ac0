// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a 1024x768 screen at 144 dpi (run twice by CTest: fonts at 144 logical dpi,
// and Qt scaling everything by 1.5), where the template's size no longer fits.
#include <QApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include "DlgTestSupport.h"
#include "app/KestruneDlg.h"
#include "app/ListView.h"

// Catches a window that opens larger than the screen's free area (frame included), which
// puts the frame list, Quit and the close box off-screen, and lists shrunk to nothing.
TEST(FitScreen, OpensInsideASmallScreenAt144Dpi)
{
    QScreen* pScreen = QGuiApplication::primaryScreen();
    ASSERT_NE(pScreen, nullptr);
    const QRect available = pScreen->availableGeometry();
    std::printf("screen %dx%d logical, %.0f dpi, scale %.2f\n", available.width(), available.height(),
                pScreen->logicalDotsPerInch(), pScreen->devicePixelRatio());
    CFakePlatformTools tools;
    CKestruneDlg dlg(tools);
    const QSize templateSize = dlg.DialogUnitsToPixels(0, 0, 382, 301).size();
    ASSERT_GT(templateSize.height(), available.height()) << "the screen must be too small for the template";
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTest::qWait(50);
    EXPECT_TRUE(available.contains(dlg.frameGeometry()))
        << dlg.frameGeometry().width() << "x" << dlg.frameGeometry().height() << " at " << dlg.frameGeometry().x()
        << "," << dlg.frameGeometry().y();
    const QRect window(QPoint(0, 0), dlg.size());
    for (QWidget* pChild : dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (pChild->isVisible()) {
            EXPECT_TRUE(window.contains(pChild->geometry())) << pChild->metaObject()->className();
        }
    }
    for (CListView* pList : {C(dlg).m_ctlBatchList, C(dlg).m_ctlFrameList})
        EXPECT_GE(pList->height(), 2 * QFontMetrics(pList->font()).height());
    EXPECT_LT(C(dlg).m_ctlBatchList->geometry().bottom(), C(dlg).m_ctlFrameList->y());
    // Whatever does not fit can be scrolled to: Quit's corner and the frame list's are reachable.
    auto* pScroll = dlg.findChild<QScrollArea*>();
    ASSERT_NE(pScroll, nullptr);
    const QSize viewport = pScroll->viewport()->size();
    for (QWidget* pControl : {static_cast<QWidget*>(C(dlg).m_ctlQuit), static_cast<QWidget*>(C(dlg).m_ctlFrameList)}) {
        const QRect rc = pControl->geometry();
        EXPECT_LE(rc.right() + 1 - viewport.width(), pScroll->horizontalScrollBar()->maximum()) << pControl->objectName().toStdString();
        EXPECT_LE(rc.bottom() + 1 - viewport.height(), pScroll->verticalScrollBar()->maximum()) << pControl->objectName().toStdString();
    }
}
