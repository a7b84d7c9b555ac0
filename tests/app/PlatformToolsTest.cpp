// The real open-file dialog, set up but never shown: its filters and what they let through.
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>

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
    for (const char* name : {"a.DTS", "b.dts", "c.dtswav", "d.WAV", "e.Cpt", "f.txt", "g.dts.bak"}) {
        QFile f(QString::fromStdString(dir.Path(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString strDir = QString::fromStdString(dir.Root().string());
    std::unique_ptr<QFileDialog> pDialog =
        CPlatformTools::CreateFileDialog(nullptr, CKestruneDlg::FileFilters(), strDir);
    EXPECT_EQ(pDialog->fileMode(), QFileDialog::ExistingFiles);

    auto* pCombo = pDialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(pCombo, nullptr);
    ASSERT_EQ(pCombo->count(), 4);
    EXPECT_EQ(pCombo->itemText(0), "DTS Padded audio Files (*.dts)");
    EXPECT_EQ(pCombo->itemText(1), "DTS WAV audio Files (*.dtswav, *.wav)");
    EXPECT_EQ(pCombo->itemText(2), "DTS Compact audio Files (*.cpt)");
    EXPECT_EQ(pCombo->itemText(3), "All files (*)");
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
    const QStringList dts = {"a.DTS", "b.dts"};
    EXPECT_TRUE(WaitFor([&] { return visible() == dts; })) << visible().join(", ").toStdString();

    emit pCombo->activated(1);
    const QStringList wav = {"c.dtswav", "d.WAV"};
    EXPECT_TRUE(WaitFor([&] { return visible() == wav; })) << visible().join(", ").toStdString();
    EXPECT_EQ(pCombo->itemText(1), "DTS WAV audio Files (*.dtswav, *.wav)");

    emit pCombo->activated(2);
    const QStringList cpt = {"e.Cpt"};
    EXPECT_TRUE(WaitFor([&] { return visible() == cpt; })) << visible().join(", ").toStdString();

    emit pCombo->activated(3);
    const QStringList all = {"a.DTS", "b.dts", "c.dtswav", "d.WAV", "e.Cpt", "f.txt", "g.dts.bak"};
    EXPECT_TRUE(WaitFor([&] { return visible() == all; })) << visible().join(", ").toStdString();
}
