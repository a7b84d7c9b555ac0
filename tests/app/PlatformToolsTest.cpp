// SPDX-License-Identifier: GPL-3.0-or-later
// The real open-file dialog, set up but never shown: its filters and what they let through.
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

#include "app/KestruneDlg.h"
#include "app/PlatformTools.h"
#include "support/TestFiles.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int nMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < nMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

// Catches a filter box that shows Qt's rewording of the descriptions, a pattern list split
// wrongly at "*.dtswav, *.wav" (which hides every .dtswav file), and case-sensitive matching.
TEST(PlatformTools, FileDialogShowsTheFiltersAndMatchesIgnoringCase)
{
    EXPECT_EQ(CPlatformTools::FilterPatterns("DTS WAV audio Files (*.dtswav, *.wav)"),
              QStringList({"*.dtswav", "*.wav"}));

    CTempDir dir;
    for (const char* name : {"a.DTS", "b.dts", "c.dtswav", "d.WAV", "e.Cpt", "f.txt", "g.dts.bak", "h.MKV", "i.m2ts"}) {
        QFile f(QString::fromStdString(dir.Path(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString strDir = QString::fromStdString(dir.Root().string());
    std::unique_ptr<QFileDialog> pDialog =
        CPlatformTools::CreateFileDialog(nullptr, CKestruneDlg::FileFilters(), strDir);
    EXPECT_EQ(pDialog->fileMode(), QFileDialog::ExistingFiles);

    auto* pCombo = pDialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(pCombo, nullptr);
    ASSERT_EQ(pCombo->count(), 6);
    EXPECT_EQ(pCombo->itemText(0), "All supported files (*.dts *.dtswav *.wav *.cpt *.mkv *.mka *.mp4 *.m4a *.mov *.ts *.m2ts *.mts *.vob *.evo)");
    EXPECT_EQ(pCombo->itemText(1), "DTS Padded audio Files (*.dts)");
    EXPECT_EQ(pCombo->itemText(2), "DTS WAV audio Files (*.dtswav, *.wav)");
    EXPECT_EQ(pCombo->itemText(3), "DTS Compact audio Files (*.cpt)");
    EXPECT_EQ(pCombo->itemText(4), "Movie files (*.mkv *.mka *.mp4 *.m4a *.mov *.ts *.m2ts *.mts *.vob *.evo)");
    EXPECT_EQ(pCombo->itemText(5), "All files (*)");
    EXPECT_EQ(pCombo->currentIndex(), 0);

    auto* pModel = pDialog->findChild<QFileSystemModel*>();
    ASSERT_NE(pModel, nullptr);
    const QModelIndex root = pModel->index(strDir);
    auto visible = [&] {
        QStringList names;
        for (int r = 0; r < pModel->rowCount(root); ++r)
            names.append(pModel->fileName(pModel->index(r, 0, root)));
        names.sort();
        return names;
    };
    const QStringList supported = {"a.DTS", "b.dts", "c.dtswav", "d.WAV", "e.Cpt", "h.MKV", "i.m2ts"};
    EXPECT_TRUE(WaitFor([&] { return visible() == supported; })) << visible().join(", ").toStdString();

    emit pCombo->activated(1);
    const QStringList dts = {"a.DTS", "b.dts"};
    EXPECT_TRUE(WaitFor([&] { return visible() == dts; })) << visible().join(", ").toStdString();

    emit pCombo->activated(2);
    const QStringList wav = {"c.dtswav", "d.WAV"};
    EXPECT_TRUE(WaitFor([&] { return visible() == wav; })) << visible().join(", ").toStdString();
    EXPECT_EQ(pCombo->itemText(2), "DTS WAV audio Files (*.dtswav, *.wav)");

    emit pCombo->activated(3);
    const QStringList cpt = {"e.Cpt"};
    EXPECT_TRUE(WaitFor([&] { return visible() == cpt; })) << visible().join(", ").toStdString();

    // The filter last used is offered again, named as given (with its comma); one no longer
    // offered leaves "All supported files".
    CPlatformTools::SelectFilter(*pDialog, CKestruneDlg::FileFilters(), "DTS WAV audio Files (*.dtswav, *.wav)");
    EXPECT_EQ(pCombo->currentIndex(), 2);
    EXPECT_EQ(CPlatformTools::SelectedFilter(*pDialog, CKestruneDlg::FileFilters()), "DTS WAV audio Files (*.dtswav, *.wav)");
    std::unique_ptr<QFileDialog> pFresh = CPlatformTools::CreateFileDialog(nullptr, CKestruneDlg::FileFilters(), strDir);
    CPlatformTools::SelectFilter(*pFresh, CKestruneDlg::FileFilters(), "Gone (*.x)");
    EXPECT_EQ(CPlatformTools::SelectedFilter(*pFresh, CKestruneDlg::FileFilters()), CKestruneDlg::FileFilters().first());

    emit pCombo->activated(4);
    const QStringList movies = {"h.MKV", "i.m2ts"};
    EXPECT_TRUE(WaitFor([&] { return visible() == movies; })) << visible().join(", ").toStdString();

    emit pCombo->activated(5);
    const QStringList all = {"a.DTS", "b.dts", "c.dtswav", "d.WAV", "e.Cpt", "f.txt", "g.dts.bak", "h.MKV", "i.m2ts"};
    EXPECT_TRUE(WaitFor([&] { return visible() == all; })) << visible().join(", ").toStdString();
}

// Catches typed names dropped because the selected filter does not list them (Qt keeps only
// the names its list shows once one of them matches), names that do not exist kept, and
// typed order lost.
TEST(PlatformTools, TypedMultiPickKeepsEveryNameThatExists)
{
    EXPECT_EQ(CPlatformTools::TypedNames("\"a.cpt\" \"b c.wav\"  \"c.dts\""), QStringList({"a.cpt", "b c.wav", "c.dts"}));
    EXPECT_EQ(CPlatformTools::TypedNames("  single.dts "), QStringList({"single.dts"}));
    EXPECT_TRUE(CPlatformTools::TypedNames("").isEmpty());

    CTempDir dir;
    for (const char* name : {"a.cpt", "b.wav", "c.dts", "d.dts"}) {
        QFile f(QString::fromStdString(dir.Path(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString strDir = QString::fromStdString(dir.Root().string());
    std::unique_ptr<QFileDialog> pDialog =
        CPlatformTools::CreateFileDialog(nullptr, CKestruneDlg::FileFilters(), strDir);
    pDialog->show();
    auto* pEdit = pDialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(pEdit, nullptr);
    auto* pModel = pDialog->findChild<QFileSystemModel*>();
    // The .dts filter lists two of the four names typed below.
    auto* pCombo = pDialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(pCombo, nullptr);
    emit pCombo->activated(1);
    ASSERT_TRUE(WaitFor([&] { return pModel->rowCount(pModel->index(strDir)) == 2; }));
    // Typed as a user types them, so the dialog's completion selects what its list shows.
    QTest::keyClicks(pEdit, "\"a.cpt\" \"b.wav\" \"missing.dts\" \"c.dts\"");
    QCoreApplication::processEvents();
    const QStringList expected = {strDir + "/a.cpt", strDir + "/b.wav", strDir + "/c.dts"};
    EXPECT_EQ(CPlatformTools::PickedPaths(*pDialog), expected);
    pDialog->hide();
}

// Catches a closing box so narrow that its title bar cuts the caption off.
TEST(PlatformTools, MessageBoxIsWideEnoughForItsCaption)
{
    const QString strCaption = "Kestrune: a rather long caption for a short text";
    std::unique_ptr<QMessageBox> pBox =
        CPlatformTools::CreateMessageBox(nullptr, "Done", strCaption, IPlatformTools::EIcon::None);
    EXPECT_GE(pBox->sizeHint().width(), pBox->fontMetrics().horizontalAdvance(strCaption) + 100);
    EXPECT_EQ(pBox->text(), "Done");
    EXPECT_EQ(pBox->windowTitle(), strCaption);
}
