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
           "Walks every DTS core frame of each FILE (a 16-bit or 14-bit packed DTS stream, or a\n"
           "WAVE file carrying one) and lists every point where the stream's format changes.\n"
           "Each report names the stream type it found (Detected Format) and counts the frames;\n"
           "its rows are the first frame and every frame where the bit rate, channel layout,\n"
           "sample rate, frame size, dialog normalisation or header CRC differs from the one\n"
           "before. The input is only read; a clean copy is written only with --rebuild.\n"
           "\n"
           "  --rebuild          write a clean 16-bit big-endian copy beside each input,\n"
           "                     named FILE.fixed.dts (an existing one is replaced)\n"
           "  --remove-crc       drop the header CRC of every frame\n"
           "  --remove-dialnorm  neutralise the dialog normalisation (0 dB)\n"
           "  --core-only        with --rebuild: leave the DTS-HD extension substreams out\n"
           "  --json             print one JSON document instead of tables\n"
           "  --help             show this help\n"
           "  --version          show the version\n"
           "\n"
           "Even without --rebuild, --remove-dialnorm changes the DiagNorm cells to what a copy\n"
           "would carry; the CRC cells always show the frames as read.\n"
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
           "  One JSON document for every stream in a folder, for a script to read:\n"
           "      kestrune-cli --json *.dts > report.json\n";
}

bool* CCliArguments::FlagOf(const std::string& arg)
{
    const std::pair<const char*, bool*> flags[] = {{"--rebuild", &bRebuild}, {"--remove-crc", &bRemoveCRC},
                                                    {"--remove-dialnorm", &bRemoveDialNorm}, {"--json", &bJson},
                                                    {"--core-only", &bCoreOnly}};
    for (const auto& [pszName, pFlag] : flags) {
        if (arg == pszName)
            return pFlag;
    }
    return nullptr;
}

int CCliArguments::Parse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    bool bOptionsEnded = false;
    for (const std::string& arg : args) {
        if (bOptionsEnded || arg.size() < 2 || arg[0] != '-') {
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
        } else {
            return UsageError(err, "unknown option '" + CTerminalText::Escape(arg) + "'");
        }
    }
    if (bCoreOnly && !bRebuild)
        return UsageError(err, "--core-only needs --rebuild");
    if (files.empty())
        return UsageError(err, "no input file given");
    return kProceed;
}
