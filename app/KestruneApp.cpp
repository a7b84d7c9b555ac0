// The application object: names and versions the program, and runs its one window.
#include "app/KestruneApp.h"

#include "app/KestruneDlg.h"
#include "app/PlatformTools.h"

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
    CPlatformTools tools;
    CKestruneDlg dlg(tools);
    setWindowIcon(dlg.windowIcon());
    // The dialog's result is not looked at: Quit and closing both end the program.
    dlg.exec();
    return false;
}
