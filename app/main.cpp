// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the desktop application: one modal window, then the program ends.
#include "app/KestruneApp.h"
#ifdef KESTRUNE_HAVE_MEDIA
#include "media/LazyContainerSupport.h"
#endif

int main(int argc, char** argv)
{
#ifdef KESTRUNE_HAVE_MEDIA
    // Movie files are read through libavformat where this build has it.
    static CLazyContainerSupport mediaSupport(CLazyContainerSupport::DefaultModuleDirs());
    IContainerSupport::Installed() = &mediaSupport;
#endif
    CKestruneApp app(argc, argv);
    app.InitInstance();
    return 0;
}
