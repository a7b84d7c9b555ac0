// kestrune-cli's command line.
#include "cli/CliArguments.h"

#include <utility>

#include "cli/TerminalText.h"

namespace {

constexpr int kProceed = -1;
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

int UsageError(std::ostream& err, const std::string& strWhat)
{
    err << "kestrune-cli: " << strWhat << '\n' << "Try 'kestrune-cli --help'.\n";
    return kExitUsage;
}

} // namespace

const char* CCliArguments::VersionText()
{
    return "Kestrune V2.0 (kestrune-cli 2.0.0.0)";
}

std::string CCliArguments::UsageText()
{
    return "Usage: kestrune-cli [--rebuild] [--remove-crc] [--remove-dialnorm] [--core-only] [--json] FILE...\n"
           "\n"
           "Walks every DTS core frame of each FILE (a 16-bit or 14-bit packed DTS stream, a\n"
           "WAVE file carrying one, or each DTS track of a Matroska, MP4, MPEG-TS/M2TS or\n"
           "MPEG-PS movie file) and lists every point where the stream's format changes.\n"
           "Each report names the stream type it found (Detected Format) and counts the frames;\n"
           "its rows are the first frame and every frame where the bit rate, channel layout,\n"
           "sample rate, frame size, dialog normalisation or header CRC differs from the one\n"
           "before. The input is only read; a clean copy is written only with --rebuild.\n"
           "\n"
           "  --rebuild          write a clean 16-bit big-endian copy beside each input,\n"
           "                     named FILE.fixed.dts (an existing one is replaced); for a movie\n"
           "                     file with several DTS tracks, FILE.trackN.fixed.dts\n"
           "  --remove-crc       drop the header CRC of every frame\n"
           "  --remove-dialnorm  neutralise the dialog normalisation (0 dB)\n"
           "  --core-only        with --rebuild: leave the DTS-HD extension substreams out\n"
           "  --json             print one JSON document instead of tables\n"
           "  --remux            write a copy of each movie file, FILE.fixed.EXT in the same\n"
           "                     format, with every DTS track rebuilt and all else copied\n"
           "  --track N          in movie files, walk only the DTS track with stream index N\n"
           "                     (may be given more than once; default: every DTS track)\n"
           "  --help             show this help\n"
           "  --version          show the version\n"
           "\n"
           "The removal options change the listed rows even without --rebuild.\n"
           "Exit status: 0 when every file is done, 1 when any file failed or the report\n"
           "could not be written, 2 for a usage error, 128 + the signal's number when stopped\n"
           "by a signal (130 after Ctrl-C, 143 after SIGTERM); a stopped file keeps no output.\n"
           "\n"
           "Examples:\n"
           "  List the format changes of a stream:\n"
           "      kestrune-cli movie.dts\n"
           "  Write movie.dts.fixed.dts without header CRCs and with neutral dialog normalisation:\n"
           "      kestrune-cli --rebuild --remove-crc --remove-dialnorm movie.dts\n"
           "  Repair a 14-bit packed stream carried in a WAVE file into a plain 16-bit stream:\n"
           "      kestrune-cli --rebuild track.wav\n"
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
    bool bExpectTrack = false;
    for (const std::string& arg : args) {
        if (bExpectTrack) {
            bExpectTrack = false;
            if (!ParseTrack(arg))
                return UsageError(err, "--track needs a stream index (0, 1, 2...), not '" + CTerminalText::Escape(arg) + "'");
        } else if (bOptionsEnded || arg.size() < 2 || arg[0] != '-') {
            files.push_back(arg);
        } else if (arg == "--") {
            bOptionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            out << UsageText();
            return kExitOk;
        } else if (arg == "--version") {
            out << VersionText() << '\n';
            return kExitOk;
        } else if (bool* pFlag = FlagOf(arg)) {
            *pFlag = true;
        } else if (arg == "--track") {
            bExpectTrack = true;
        } else {
            return UsageError(err, "unknown option '" + CTerminalText::Escape(arg) + "'");
        }
    }
    if (bExpectTrack)
        return UsageError(err, "--track needs a stream index");
    if (bRebuild && bRemux)
        return UsageError(err, "--rebuild and --remux: pick one (--rebuild writes each DTS track alone, --remux a copy of the movie)");
    if (bCoreOnly && !bRebuild && !bRemux)
        return UsageError(err, "--core-only needs --rebuild or --remux");
    if (files.empty())
        return UsageError(err, "no input file given");
    return kProceed;
}
