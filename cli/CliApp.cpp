// kestrune-cli: argument parsing, the walk over the files, and the text and JSON reports.
#include "cli/CliApp.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include <nlohmann/json.hpp>

#include "cli/CliHost.h"
#include "dts/FileJob.h"
#include "stream/BitStream.h"
#include "stream/FileShim.h"
#include "stream/OutBitStream.h"

namespace {

const char* const kVersionText = "Kestrune V2.0 (kestrune-cli 2.0.0.0)";

struct FileReport {
    std::string strPath;
    std::string strState;
    std::optional<uint64_t> nSize;
    std::optional<std::string> strDetectedFormat;
    int64_t nFrames = 0;
    std::optional<std::string> strOutput;
    std::vector<FrameRow> rows;
};

std::optional<uint64_t> FileSize(const std::string& strPath)
{
    std::error_code ec;
    const std::filesystem::path path = CFileShim::ToPath(strPath);
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    const uintmax_t nSize = std::filesystem::file_size(path, ec);
    if (ec)
        return std::nullopt;
    return static_cast<uint64_t>(nSize);
}

// The frame list as an aligned table under the dialog's eight headings.
void PrintTable(std::ostream& out, const std::vector<FrameRow>& rows)
{
    size_t widths[FrameRow::kColumns];
    for (int c = 0; c < FrameRow::kColumns; ++c)
        widths[c] = std::string(kFrameListHeadings[c]).size();
    std::vector<std::vector<std::string>> cells;
    cells.reserve(rows.size());
    for (const FrameRow& row : rows) {
        std::vector<std::string> line;
        for (int c = 0; c < FrameRow::kColumns; ++c) {
            line.push_back(row.CellText(c));
            widths[c] = std::max(widths[c], line.back().size());
        }
        cells.push_back(std::move(line));
    }
    auto printLine = [&](auto textOf) {
        std::string line;
        for (int c = 0; c < FrameRow::kColumns; ++c) {
            const std::string text = textOf(c);
            line += text;
            if (c + 1 < FrameRow::kColumns)
                line.append(widths[c] - text.size() + 2, ' ');
        }
        out << line << '\n';
    };
    printLine([](int c) { return std::string(kFrameListHeadings[c]); });
    for (const auto& line : cells)
        printLine([&](int c) { return line[static_cast<size_t>(c)]; });
}

void PrintText(std::ostream& out, const FileReport& report)
{
    out << report.strPath << ": " << report.strState << ", Detected Format: "
        << report.strDetectedFormat.value_or("none") << ", " << report.nFrames << " frames";
    if (report.strOutput)
        out << ", output: " << *report.strOutput;
    out << '\n';
    if (!report.rows.empty())
        PrintTable(out, report.rows);
    out << '\n';
}

nlohmann::ordered_json ToJson(const FileReport& report)
{
    nlohmann::ordered_json file;
    file["file"] = report.strPath;
    file["state"] = report.strState;
    file["size"] = report.nSize ? nlohmann::ordered_json(*report.nSize) : nlohmann::ordered_json(nullptr);
    file["detected_format"] = report.strDetectedFormat ? nlohmann::ordered_json(*report.strDetectedFormat)
                                                        : nlohmann::ordered_json(nullptr);
    file["frames"] = report.nFrames;
    file["output"] = report.strOutput ? nlohmann::ordered_json(*report.strOutput) : nlohmann::ordered_json(nullptr);
    static const char* const kKeys[FrameRow::kColumns] = {"offset", "frame", "bitrate", "format",
                                                          "channels", "frame_size", "dialnorm", "crc"};
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const FrameRow& row : report.rows) {
        nlohmann::ordered_json jsonRow;
        for (int c = 0; c < FrameRow::kColumns; ++c)
            jsonRow[kKeys[c]] = row.CellText(c);
        rows.push_back(std::move(jsonRow));
    }
    file["rows"] = std::move(rows);
    return file;
}

} // namespace

std::string CCliApp::UsageText()
{
    return "Usage: kestrune-cli [--rebuild] [--remove-crc] [--remove-dialnorm] [--json] FILE...\n"
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
           "  --json             print one JSON document instead of tables\n"
           "  --help             show this help\n"
           "  --version          show the version\n"
           "\n"
           "The removal options change the listed rows even without --rebuild.\n"
           "Exit status: 0 when every file is done, 1 when any file failed, 2 for a usage\n"
           "error, 130 when interrupted (the output so far is closed).\n"
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

int CCliApp::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 std::FILE* progressOut)
{
    CCliHost::Options options;
    bool bJson = false;
    bool bOptionsEnded = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (!bOptionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--") {
                bOptionsEnded = true;
            } else if (arg == "--help" || arg == "-h") {
                out << UsageText();
                return kExitOk;
            } else if (arg == "--version") {
                out << kVersionText << '\n';
                return kExitOk;
            } else if (arg == "--rebuild") {
                options.bRebuild = true;
            } else if (arg == "--remove-crc") {
                options.bRemoveCRC = true;
            } else if (arg == "--remove-dialnorm") {
                options.bRemoveDialNorm = true;
            } else if (arg == "--json") {
                bJson = true;
            } else {
                err << "kestrune-cli: unknown option '" << arg << "'\n" << "Try 'kestrune-cli --help'.\n";
                return kExitUsage;
            }
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        err << "kestrune-cli: no input file given\n" << "Try 'kestrune-cli --help'.\n";
        return kExitUsage;
    }

    CCliHost host(options, progressOut);
    CBitStream inStream;
    COutBitStream outStream;
    nlohmann::ordered_json jsonFiles = nlohmann::ordered_json::array();
    bool bAnyFailed = false;

    for (const std::string& strPath : files) {
        if (CCliHost::StopRequested())
            break;
        FileReport report;
        report.strPath = strPath;
        report.nSize = FileSize(strPath);
        const std::string strOutputPath = CFileJob::OutputPathFor(strPath);

        host.BeginFile(strPath);
        const CFileJob::Result result =
            CFileJob::Run(host, inStream, outStream, strPath, strOutputPath,
                          static_cast<int64_t>(report.nSize.value_or(0)), options.bRebuild, 0);
        host.EndFile();

        report.strState = CFileJob::StateText(result.eState);
        // A file whose walk Ctrl-C cut off was not walked to its end.
        if (result.eState == CFileJob::EState::Done && CCliHost::StopRequested())
            report.strState = "stopped";
        report.nFrames = result.nFrames;
        if (host.HasDetectedFormat())
            report.strDetectedFormat = host.DetectedFormat();
        if (result.bOutputWritten)
            report.strOutput = strOutputPath;
        report.rows = host.Rows();

        if (result.eState != CFileJob::EState::Done) {
            bAnyFailed = true;
            const std::string strFailingPath =
                result.eState == CFileJob::EState::CannotOpenInput ? strPath : strOutputPath;
            err << "kestrune-cli: " << strFailingPath << ": " << report.strState.substr(7) << ": "
                << result.strError << '\n';
        }

        if (bJson)
            jsonFiles.push_back(ToJson(report));
        else
            PrintText(out, report);
    }

    if (bJson) {
        nlohmann::ordered_json document;
        document["files"] = std::move(jsonFiles);
        // Paths need not be valid UTF-8 on every system; replace what is not rather than fail.
        out << document.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    }
    out.flush();

    if (CCliHost::StopRequested()) {
        err << "kestrune-cli: interrupted\n";
        return kExitInterrupted;
    }
    return bAnyFailed ? kExitFileFailed : kExitOk;
}
