// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a batch over two committed samples in the real window and saves a picture of it
// (docs/screenshot.png is made this way, under Xvfb).
#include <QApplication>
#include <QCheckBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <filesystem>

#include "FakePlatformTools.h"
#include "app/KestruneApp.h"
#include "app/KestruneDlg.h"
#include "support/TestFiles.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    CKestruneApp app(argc, argv);
    CTempDir dir;
    QStringList paths;
    for (const char* sample : {"stereo_48k.dts", "surround51_48k.dts", "stereo_48k_ratechange.dts"}) {
        const std::string path = dir.Path(sample);
        std::filesystem::copy_file(TestDataPath(sample), path);
        paths.append(QString::fromStdString(path));
    }
    CFakePlatformTools tools;
    tools.m_PickAnswers.push_back(paths);
    CKestruneDlg dlg(tools);
    dlg.show();
    dlg.findChild<QPushButton*>(QStringLiteral("addFile"))->click();
    dlg.findChild<QCheckBox*>(QStringLiteral("rebuildStream"))->click();
    dlg.RunBatch();
    while (dlg.IsBatchRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    int nResult = 1;
    QTimer::singleShot(500, &dlg, [&] {
        QPixmap shot = dlg.screen()->grabWindow(dlg.winId());
        if (shot.isNull() || shot.size() != dlg.size())
            shot = dlg.grab();
        nResult = shot.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
        dlg.done(0);
    });
    dlg.exec();
    return nResult;
}
