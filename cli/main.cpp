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
} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
#ifdef SIGHUP
    std::signal(SIGHUP, OnStopSignal);
#endif
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
