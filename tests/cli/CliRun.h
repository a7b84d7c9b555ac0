// SPDX-License-Identifier: GPL-3.0-or-later
// Runs kestrune-cli in process and keeps what it printed and its exit status.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/CliApp.h"

struct CliRun {
    int nExit = -1;
    std::string out;
    std::string err;
};

inline CliRun RunCli(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    CliRun run;
    run.nExit = CCliApp::Run(args, out, err, nullptr);
    run.out = out.str();
    run.err = err.str();
    return run;
}
