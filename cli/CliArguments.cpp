// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli's command line.
#include "cli/CliArguments.h"

#include <algorithm>
#include <utility>

#include "KestruneVersion.h"
#include "cli/ExitStatus.h"
#include "cli/TerminalText.h"

namespace {

constexpr int kProceed = -1;

// --help and --version: a text that did not reach its reader (a full disk, a closed pipe) is a
// failure, as a report would be.
int PrintText(std::ostream& out, std::ostream& err, const std::string& strText)
{
    out << strText;
    out.flush();
    if (out.good())
        return ExitStatus::kOk;
    err << "kestrune-cli: writing the output failed (disk full or output closed?)\n";
    return ExitStatus::kFileFailed;
}

int UsageError(std::ostream& err, const std::string& strWhat)
{
    err << "kestrune-cli: " << strWhat << '\n' << "Try 'kestrune-cli --help'.\n";
    return ExitStatus::kUsage;
}

} // namespace

std::string CCliArguments::VersionText()
{
    return std::string(KestruneVersion::kTitle) + " (kestrune-cli " + KestruneVersion::kVersion + ")";
}

std::string CCliArguments::UsageText()
{
    return "Usage: kestrune-cli [--rebuild [-o DIR|-o -]] [OPTION]... FILE...\n"
           "\n"
           "Walks every DTS core frame of each FILE (a 16-bit or 14-bit packed DTS stream, a WAVE\n"
           "file carrying one, or each DTS track of a Matroska, MP4, MPEG-TS/M2TS or MPEG-PS movie\n"
           "file; - reads standard input) and lists every point where the stream's format changes. Each report names the stream type it found (Detected Format)\n"
           "and counts the frames; its rows are the first frame and every frame where the bit rate,\n"
           "channel layout, sample rate, frame size, dialog normalisation or header CRC differs from\n"
           "the one before. The input is only read; a clean copy is written only with --rebuild.\n"
           "\n"
           "  --rebuild          write a clean 16-bit big-endian copy of each input, named\n"
           "                     FILE.fixed.dts, beside it (an existing one is replaced); for a\n"
           "                     movie file with several DTS tracks, FILE.trackN.fixed.dts\n"
           "  --output-dir DIR, -o DIR\n"
           "                     with --rebuild: write the copies into DIR instead, under the\n"
           "                     same names; -o - writes the stream to standard output, and the\n"
           "                     report then goes to standard error\n"
           "  --remove-crc       drop the header CRC of every frame\n"
           "  --remove-dialnorm  neutralise the dialog normalisation (0 dB)\n"
           "  --core-only        with --rebuild: leave the DTS-HD extension substreams out\n"
           "  --json[=FILE]      print one JSON document instead of tables (into FILE)\n"
           "  --remux            write a copy of each movie file, FILE.fixed.EXT in the same\n"
           "                     format, with every DTS track rebuilt and all else copied\n"
           "  --track N          in movie files, walk only the DTS track with stream index N\n"
           "                     (may be given more than once; default: every DTS track)\n"
           "  --help             show this help\n"
           "  --version          show the version\n"
           "\n"
           "Even without --rebuild, --remove-dialnorm changes the DiagNorm cells to what a copy\n"
           "would carry; the CRC cells always show the frames as read. Standard input is read\n"
           "once, in order: a WAVE file, or a stream with junk or damage to search past, must\n"
           "be given by name (or redirected from its file with < FILE).\n"
           "\n"
           "Exit status:\n"
           "  0    every file is done\n"
           "  1    a file failed (the others are still processed), or the report could not be\n"
           "       written\n"
           "  2    a usage error, or an output folder or JSON file that cannot be written (nothing\n"
           "       is read then)\n"
           "  128+N  stopped by signal N (129 after SIGHUP, 130 after Ctrl-C, 143 after SIGTERM);\n"
           "         the file being walked keeps no output\n"
           "  141  standard output was a pipe whose reader went away (as with | head)\n"
           "\n"
           "Examples:\n"
           "  List the format changes of a stream:\n"
           "      kestrune-cli movie.dts\n"
           "  Write movie.dts.fixed.dts without header CRCs and with neutral dialog normalisation:\n"
           "      kestrune-cli --rebuild --remove-crc --remove-dialnorm movie.dts\n"
           "  Repair a 14-bit packed stream carried in a WAVE file into a plain 16-bit stream:\n"
           "      kestrune-cli --rebuild track.wav\n"
           "  Rebuild streams from a read-only disc into a folder of your own:\n"
           "      kestrune-cli --rebuild -o ~/fixed /media/disc/*.dts\n"
           "  Rebuild a stream in a pipe:\n"
           "      ffmpeg -i movie.mkv -map 0:a:0 -c copy -f dts - | kestrune-cli --rebuild -o - - > movie.dts\n"
           "  Rebuild the DTS track with stream index 2 of a movie into movie.mkv.fixed.dts:\n"
           "      kestrune-cli --rebuild --track 2 movie.mkv\n"
           "  Write movie.fixed.mkv, a copy of the movie with neutral dialog normalisation:\n"
           "      kestrune-cli --remux --remove-dialnorm movie.mkv\n"
           "  One JSON document for every stream in a folder, for a script to read:\n"
           "      kestrune-cli --json *.dts > report.json\n";
}

bool CCliArguments::ParseTrack(const std::string& arg)
{
    if (arg.empty() || arg.size() > 6 || arg.find_first_not_of("0123456789") != std::string::npos)
        return false;
    tracks.push_back(std::stoi(arg));
    return true;
}

int CCliArguments::TakeValueOption(const std::vector<std::string>& args, size_t& i, std::string& strError)
{
    const std::string& arg = args[i];
    if (arg.rfind("--json=", 0) == 0) {
        bJson = true;
        strJsonPath = arg.substr(7);
        if (!strJsonPath.empty())
            return 1;
        strError = "--json= needs a file name";
        return -1;
    }
    if (arg == "--track") {
        if (i + 1 >= args.size() || !ParseTrack(args[i + 1])) {
            strError = "--track needs a stream index (0, 1, 2...)";
            return -1;
        }
        ++i;
        return 1;
    }
    if (arg.rfind("--output-dir=", 0) == 0) {
        strOutputFolder = arg.substr(13);
    } else if (arg == "-o" || arg == "--output-dir") {
        if (i + 1 >= args.size()) {
            strError = arg + " needs a folder";
            return -1;
        }
        strOutputFolder = args[++i];
    } else {
        return 0;
    }
    if (strOutputFolder.empty()) {
        strError = "the output folder's name is empty";
        return -1;
    }
    return 1;
}

std::string CCliArguments::CheckMovieOptions() const
{
    if (bRebuild && bRemux)
        return "--rebuild and --remux: pick one (--rebuild writes each DTS track alone, --remux a copy of the movie)";
    if (bCoreOnly && !bRebuild && !bRemux)
        return "--core-only needs --rebuild or --remux";
    if (bRemux && std::find(files.begin(), files.end(), "-") != files.end())
        return "--remux needs a movie file's name, not standard input";
    return std::string();
}

std::string CCliArguments::CheckCombinations() const
{
    const bool bToStandardOutput = strOutputFolder == "-";
    if (const std::string strMovie = CheckMovieOptions(); !strMovie.empty())
        return strMovie;
    if (!strOutputFolder.empty() && !bRebuild)
        return "-o needs --rebuild (only a rebuild writes outputs)";
    if (files.empty())
        return "no input file given";
    if (std::count(files.begin(), files.end(), "-") > 1)
        return "standard input ('-') can be read only once";
    if (bRebuild && !bToStandardOutput && std::find(files.begin(), files.end(), "-") != files.end())
        return "standard input has no name to write its output beside: add -o - to write it to standard output";
    if (bToStandardOutput && bJson && strJsonPath.empty())
        return "with -o - standard output carries the stream: name a file for the JSON report with --json=FILE";
    return std::string();
}

bool* CCliArguments::FlagOf(const std::string& arg)
{
    const std::pair<const char*, bool*> flags[] = {{"--rebuild", &bRebuild}, {"--remove-crc", &bRemoveCRC},
                                                    {"--remove-dialnorm", &bRemoveDialNorm}, {"--json", &bJson},
                                                    {"--core-only", &bCoreOnly}, {"--remux", &bRemux}};
    for (const auto& [pszName, pFlag] : flags) {
        if (arg == pszName)
            return pFlag;
    }
    return nullptr;
}

int CCliArguments::Parse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    bool bOptionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string strError;
        if (bOptionsEnded || arg.size() < 2 || arg[0] != '-') {
            files.push_back(arg);
        } else if (arg == "--") {
            bOptionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            return PrintText(out, err, UsageText());
        } else if (arg == "--version") {
            return PrintText(out, err, VersionText() + std::string("\n"));
        } else if (bool* pFlag = FlagOf(arg)) {
            *pFlag = true;
        } else if (const int nTaken = TakeValueOption(args, i, strError); nTaken != 0) {
            if (nTaken < 0)
                return UsageError(err, strError);
        } else {
            return UsageError(err, "unknown option '" + CTerminalText::Escape(arg) + "'");
        }
    }
    const std::string strError = CheckCombinations();
    return strError.empty() ? kProceed : UsageError(err, strError);
}
