// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli's command line: the options and files it names, and the help and version texts.
#pragma once

#include <ostream>
#include <string>
#include <vector>

class CCliArguments {
public:
    bool bRebuild = false;
    bool bRemoveCRC = false;
    bool bRemoveDialNorm = false;
    bool bJson = false;
    bool bCoreOnly = false;   // with bRebuild: leave the DTS-HD substreams out
    bool bRemux = false;          // write a copy of each movie file with its DTS tracks rebuilt
    std::vector<int> tracks;      // --track: the DTS tracks of movie files to walk; empty: all
    std::string strOutputFolder;  // -o: where outputs go; empty: beside each input; "-": standard output
    std::string strJsonPath;      // --json=FILE: the JSON report goes there instead
    std::vector<std::string> files;   // "-" is standard input

    // Reads args. Returns -1 when the files are to be processed, otherwise the exit status:
    // 0 after --help or --version (printed to out), 2 for a usage error (explained on err).
    int Parse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

    static std::string UsageText();

private:
    // Adds a --track value; false when it is no stream index.
    bool ParseTrack(const std::string& arg);
    // The switch an option sets, or null for an option that sets none.
    bool* FlagOf(const std::string& arg);
    // Takes the value of an option that has one (-o DIR, --output-dir=DIR, --json=FILE, --track N) at
    // args[i], moving i past a separate value. 0 when arg is no such option, 1 when taken, -1
    // when its value is missing (explained in strError).
    int TakeValueOption(const std::vector<std::string>& args, size_t& i, std::string& strError);
    // The rules between options and files, once all are read: a usage error's text, or empty.
    std::string CheckCombinations() const;
    // Those of --remux, --track and --core-only; part of CheckCombinations.
    std::string CheckMovieOptions() const;

public:
    static std::string VersionText();
};
