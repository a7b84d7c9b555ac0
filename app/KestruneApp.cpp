// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: names and versions the program, and runs its one window.
#include "app/KestruneApp.h"

#include "app/KestruneDlg.h"
#include "app/PlatformTools.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

CKestruneApp::CKestruneApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(kInternalName));
    setApplicationVersion(QString::fromLatin1(kVersion));
    setProperty("FileVersion", QString::fromLatin1(kFileVersion));
    setProperty("ProductVersion", QString::fromLatin1(kFileVersion));
    setProperty("InternalName", QString::fromLatin1(kInternalName));
    setProperty("OriginalFilename", QString::fromLatin1(kOriginalFilename));
    setProperty("FileDescription", QString::fromLatin1(kFileDescription));
    setProperty("ProductName", QString::fromLatin1(kProductName));
}

bool CKestruneApp::InitInstance()
{
    // --help and --version print and end here; an unknown option is an error, not a file name.
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Inspects and repairs DTS core audio streams in a window."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("files and folders to add to the batch list"),
                                 QStringLiteral("[FILE|FOLDER]..."));
    parser.process(*this);

    CPlatformTools tools;
    CKestruneDlg dlg(tools);
    setWindowIcon(dlg.windowIcon());
    // Files and folders named on the command line (a file manager's "Open With") are added as
    // a drop adds them.
    QList<QUrl> urls;
    for (const QString& strArgument : parser.positionalArguments())
        urls.append(QUrl::fromLocalFile(QFileInfo(strArgument).absoluteFilePath()));
    const QStringList paths = CKestruneDlg::CollectDroppedPaths(urls);
    if (!paths.isEmpty())
        QTimer::singleShot(0, &dlg, [&dlg, paths] { dlg.AddPaths(paths); });
    // The dialog's result is not looked at: Quit and closing both end the program.
    dlg.exec();
    return false;
}
