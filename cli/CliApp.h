// kestrune-cli: inspects and rebuilds DTS streams from the command line, over the same core
// as the desktop application.
#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

class CCliApp {
public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitFileFailed = 1;
    static constexpr int kExitUsage = 2;
    // Stopped by a signal: this plus the signal's number (130 after Ctrl-C, 143 after SIGTERM).
    static constexpr int kExitSignalBase = 128;

    // Runs the command line; out receives the report, err the messages.
    // progressOut, when not null, receives a progress bar (the caller passes stderr on a terminal).
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   std::FILE* progressOut);
};
