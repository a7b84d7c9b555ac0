// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of kestrune-cli.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
#include <io.h>
#define KESTRUNE_ISATTY _isatty
#define KESTRUNE_FILENO _fileno
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#define KESTRUNE_ISATTY isatty
#define KESTRUNE_FILENO fileno
#endif

#include "cli/CliApp.h"
#include "cli/CliHost.h"
#ifdef KESTRUNE_HAVE_MEDIA
#include "media/LazyContainerSupport.h"
#endif

namespace {
#ifdef _WIN32
// The arguments as UTF-8, the encoding the core takes: Windows gives argv in the ANSI code page,
// which cannot spell most file names (they become '?' or bytes that are not UTF-8).
std::vector<std::string> Utf8Arguments()
{
    std::vector<std::string> args;
    int nArgs = 0;
    LPWSTR* pArgs = CommandLineToArgvW(GetCommandLineW(), &nArgs);
    for (int i = 1; pArgs && i < nArgs; ++i) {
        const int nBytes = WideCharToMultiByte(CP_UTF8, 0, pArgs[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(nBytes > 1 ? static_cast<size_t>(nBytes - 1) : 0, '\0');
        if (nBytes > 1)
            WideCharToMultiByte(CP_UTF8, 0, pArgs[i], -1, arg.data(), nBytes, nullptr, nullptr);
        args.push_back(std::move(arg));
    }
    LocalFree(pArgs);
    return args;
}
#endif

extern "C" void OnStopSignal(int nSignal)
{
    // Stops at the next frame boundary; the file's output is then removed, not kept short.
    CCliHost::RequestStop(nSignal);
}

// Every catchable signal whose default would end the process stops the run instead, so that no
// temporary output is left behind and the report is finished.
void HandleEndingSignals()
{
    for (int nSignal : {SIGINT, SIGTERM})
        std::signal(nSignal, OnStopSignal);
#ifndef _WIN32
    for (int nSignal : {SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU})
        std::signal(nSignal, OnStopSignal);
    // A reader that went away (| head) and a file size limit make the write itself fail: the run
    // ends on the failed write with its own status and cause, not silently by the signal.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

// Descriptors 0, 1 and 2 started closed would be handed to the first files we open: the input
// would be read as standard input and the report written into the rebuilt output. Each closed one
// is held on /dev/null, so that nothing of ours is ever opened on them.
void ReserveStandardDescriptors()
{
#ifndef _WIN32
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        // The lowest free descriptor is fd itself, as those below it are open by now.
        const int nOpened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (nOpened >= 0 && nOpened != fd)
            ::close(nOpened);
    }
#endif
}
} // namespace

int main(int argc, char** argv)
{
    ReserveStandardDescriptors();
    HandleEndingSignals();
#ifdef _WIN32
    (void)argc;
    (void)argv;
    const std::vector<std::string> args = Utf8Arguments();
    // The report names files in UTF-8; a console shows them right only in that code page.
    SetConsoleOutputCP(CP_UTF8);
#else
    std::vector<std::string> args(argv + 1, argv + argc);
#endif
#ifdef KESTRUNE_HAVE_MEDIA
    static CLazyContainerSupport mediaSupport(CLazyContainerSupport::DefaultModuleDirs());
    IContainerSupport::Installed() = &mediaSupport;
#endif
    std::FILE* progressOut = KESTRUNE_ISATTY(KESTRUNE_FILENO(stderr)) ? stderr : nullptr;
    return CCliApp::Run(args, std::cout, std::cerr, progressOut);
}
