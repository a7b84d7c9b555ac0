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
    static constexpr int kExitOk = 0;
    static constexpr int kExitFileFailed = 1;
    static constexpr int kExitUsage = 2;
    // Stopped by a signal: this plus the signal's number (130 after Ctrl-C, 143 after SIGTERM).
    static constexpr int kExitSignalBase = 128;
    // Standard output was a pipe whose reader went away: the run ends quietly, with the status a
    // shell shows for a program ended by SIGPIPE, which this run is not ended by.
    static constexpr int kExitBrokenPipe = 141;

    // Runs the command line; out receives the report, err the messages.
    // progressOut, when not null, receives a progress bar (the caller passes stderr on a terminal).
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   std::FILE* progressOut);

private:
    // The exit status once every file ran, with the message it calls for on err.
    static int FinalStatus(const CCliHost& host, const CCliReport& report, bool bStopped, bool bAnyFailed,
                           std::ostream& err);
};
