// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli: inspects and rebuilds DTS streams from the command line, over the same core
// as the desktop application.
#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

class CCliHost;
class CCliReport;

class CCliApp {
public:
    // Runs the command line; out receives the report, err the messages.
    // progressOut, when not null, receives a progress bar (the caller passes stderr on a terminal).
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   std::FILE* progressOut);

private:
    // The exit status once every file ran, with the message it calls for on err.
    static int FinalStatus(const CCliHost& host, const CCliReport& report, bool bStopped, bool bAnyFailed,
                           std::ostream& err);
};
