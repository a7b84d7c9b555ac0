// Entry point of kestrune-cli.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define KESTRUNE_ISATTY _isatty
#define KESTRUNE_FILENO _fileno
#else
#include <unistd.h>
#define KESTRUNE_ISATTY isatty
#define KESTRUNE_FILENO fileno
#endif

#include "cli/CliApp.h"
#include "cli/CliHost.h"

namespace {
extern "C" void OnStopSignal(int nSignal)
{
    // Stops at the next frame boundary; the file's output is then removed, not kept short.
    CCliHost::RequestStop(nSignal);
}
} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
#ifdef SIGHUP
    std::signal(SIGHUP, OnStopSignal);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    std::FILE* progressOut = KESTRUNE_ISATTY(KESTRUNE_FILENO(stderr)) ? stderr : nullptr;
    return CCliApp::Run(args, std::cout, std::cerr, progressOut);
}
