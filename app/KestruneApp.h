// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: names and versions the program, and runs its one window.
#pragma once

#include <QApplication>

#include "KestruneVersion.h"

class CKestruneApp : public QApplication {
    Q_OBJECT
public:
    // The texts of the program's version block, also given to Qt as its metadata.
    static constexpr const char* kVersion = KestruneVersion::kVersion;
    static constexpr const char* kFileVersion = KestruneVersion::kFileVersion;
    static constexpr const char* kInternalName = "Kestrune";
    static constexpr const char* kOriginalFilename = "Kestrune.EXE";
    static constexpr const char* kFileDescription = KestruneVersion::kFileDescription;
    static constexpr const char* kProductName = "Application Kestrune";

    CKestruneApp(int& argc, char** argv);

    // Runs the main dialog until it ends. Returns false: there is nothing to run after it.
    bool InitInstance();
};
