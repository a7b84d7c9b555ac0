// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli in process: options, the text table, the JSON document, states and exit codes.
#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/CliRun.h"
#include "support/SyntheticFrames.h"
#include "support/TestFiles.h"

namespace {

std::vector<uint8_t> TwoFormats()
{
    FrameSpec a;
    a.amode = 9;
    a.lff = 1;
    a.rate = 24;
    a.fsize = 299;
    std::vector<uint8_t> s = RepeatFrame(a, 3);
    a.dialnorm = 12;
    Append(s, MakeFrame(a));
    return s;
}

} // namespace

// Usage errors exit 2 with a message on stderr and process nothing.
TEST(CliApp, UsageErrorsHelpAndVersion)
{
    CliRun none = RunCli({});
    EXPECT_EQ(none.nExit, 2);
    EXPECT_NE(none.err.find("no input file"), std::string::npos);
    CliRun bad = RunCli({"--frobnicate", "x.dts"});
    EXPECT_EQ(bad.nExit, 2);
    EXPECT_NE(bad.err.find("--frobnicate"), std::string::npos);
    EXPECT_TRUE(bad.out.empty());
    CliRun help = RunCli({"--help"});
    EXPECT_EQ(help.nExit, 0);
    EXPECT_NE(help.out.find("--remove-dialnorm"), std::string::npos);
    CliRun version = RunCli({"--version"});
    EXPECT_EQ(version.nExit, 0);
    EXPECT_NE(version.out.find("Kestrune V2.0"), std::string::npos);
}

// The JSON document is typed (numbers, booleans, the label texts beside them) and carries every
// documented key; a missing file fails with its state, cause and a message naming it, exit 1,
// while the other files are still processed.
TEST(CliApp, JsonReportStatesAndExitCodes)
{
    CTempDir dir;
    const std::string good = dir.Path("good.dts");
    const std::vector<uint8_t> stream = TwoFormats();
    WriteFileBytes(good, stream);
    const std::string missing = dir.Path("missing.dts");

    CliRun run = RunCli({"--json", missing, good});
    EXPECT_EQ(run.nExit, 1);
    EXPECT_NE(run.err.find(missing), std::string::npos);
    EXPECT_NE(run.err.find("does not exist"), std::string::npos);
    const nlohmann::json doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["schema"], 2);
    ASSERT_EQ(doc["files"].size(), 2u);
    const auto& f0 = doc["files"][0];
    EXPECT_EQ(f0["file"], missing);
    EXPECT_EQ(f0["state"], "error: cannot open input");
    EXPECT_EQ(f0["error"], "the file does not exist");
    EXPECT_EQ(f0["frames"], 0);
    EXPECT_TRUE(f0["rows"].empty());
    EXPECT_TRUE(f0["size"].is_null());
    EXPECT_TRUE(f0["detected_format"].is_null());
    EXPECT_TRUE(f0["output"].is_null());
    const auto& f1 = doc["files"][1];
    EXPECT_EQ(f1["state"], "done");
    EXPECT_TRUE(f1["error"].is_null());
    EXPECT_EQ(f1["size"], stream.size());
    EXPECT_EQ(f1["detected_format"], "DTS 16/48");
    EXPECT_EQ(f1["frames"], 4);
    EXPECT_TRUE(f1["output"].is_null());
    ASSERT_EQ(f1["rows"].size(), 2u);
    const nlohmann::json expectedRow = {{"offset", 0},       {"frame", 0},
                                        {"bitrate", "1536"}, {"bitrate_kbps", 1536},
                                        {"format", "DTS 16/48"}, {"sample_rate_hz", 48000},
                                        {"channels", "C+L+R+SL+SR+LFE"}, {"lfe", true},
                                        {"frame_size", 300}, {"dialnorm", "-0 dB"},
                                        {"dialnorm_db", 0},  {"crc", false},
                                        {"extension", nullptr}, {"time", 0.0}};
    EXPECT_EQ(f1["rows"][0], expectedRow);
    EXPECT_EQ(f1["rows"][1]["offset"], 0x384);
    EXPECT_EQ(f1["rows"][1]["frame"], 3);
    EXPECT_EQ(f1["rows"][1]["dialnorm"], "-12 dB");
    EXPECT_EQ(f1["rows"][1]["dialnorm_db"], -12);
    // A plain stream has no container times: a frame's time is the play time of those before it.
    EXPECT_NEAR(f1["rows"][1]["time"].get<double>(), 3 * 512 / 48000.0, 1e-9);
    EXPECT_TRUE(f1["container"].is_null());
    EXPECT_TRUE(f1["track"].is_null());
    EXPECT_EQ(f1["input_kind"], "16-bit BE");
    EXPECT_TRUE(f1["skipped"].empty());
    // Keys come in the documented order: the schema, then each file's name first.
    EXPECT_EQ(run.out.find("{\"schema\":2,\"files\":[{\"file\":"), 0u);
    const std::vector<std::string> fileKeys = {"file", "size", "container", "track", "language", "title", "rows", "skipped", "state", "error", "detected_format", "frames", "output", "input_kind", "stream", "cut_short"};
    std::vector<std::string> keys;
    const nlohmann::ordered_json ordered = nlohmann::ordered_json::parse(run.out);
    for (const auto& item : ordered["files"][1].items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, fileKeys);
}

// --rebuild writes FILE.fixed.dts beside the input, replacing an old one; the removal options
// change the rows without --rebuild.
TEST(CliApp, RebuildWritesBesideTheInputAndOptionsChangeRows)
{
    CTempDir dir;
    const std::string in = dir.Path("movie.dts");
    const std::vector<uint8_t> stream = TwoFormats();
    WriteFileBytes(in, stream);
    WriteFileBytes(in + ".fixed.dts", std::vector<uint8_t>(100000, 0xAA));

    CliRun run = RunCli({"--rebuild", in});
    EXPECT_EQ(run.nExit, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(in + ".fixed.dts"), stream);
    // 4 frames of 512 samples at 48 kHz (0.043 s) and 1200 bytes: 225 kb/s.
    EXPECT_NE(run.out.find(in + ": done, Detected Format: DTS 16/48, 4 frames, DTS 5.1 16-bit 48 kHz, 0:00.043, 225 kb/s, output: "
                           + in + ".fixed.dts"),
              std::string::npos)
        << run.out;
    // The table: headings and cells aligned in columns.
    std::istringstream lines(run.out);
    std::string title, heading, row0, row1;
    std::getline(lines, title);
    std::getline(lines, heading);
    std::getline(lines, row0);
    std::getline(lines, row1);
    EXPECT_EQ(heading.find("Offset"), 0u);
    EXPECT_EQ(heading.find("Frame "), row0.find("00000000", 1));
    EXPECT_EQ(heading.find("CRC"), row0.find("NO"));
    EXPECT_EQ(heading.find("DiagNorm"), row1.find("-12 dB"));

    CliRun neutral = RunCli({"--json", "--remove-dialnorm", in});
    const nlohmann::json doc = nlohmann::json::parse(neutral.out);
    EXPECT_EQ(doc["files"][0]["rows"].size(), 1u) << "a DIALNORM change alone starts no row";
    EXPECT_EQ(doc["files"][0]["rows"][0]["dialnorm"], "-0 dB");
    EXPECT_EQ(ReadFileBytes(in + ".fixed.dts"), stream) << "nothing written without --rebuild";
}

// An output that cannot be created fails that file, names the output, and exits 1.
TEST(CliApp, OutputThatCannotBeCreated)
{
    CTempDir dir;
    const std::string in = dir.Path("a.dts");
    WriteFileBytes(in, TwoFormats());
    // A directory in the way of the output name makes creating it fail, even as root.
    std::filesystem::create_directory(in + ".fixed.dts");
    CliRun run = RunCli({"--rebuild", "--json", in});
    EXPECT_EQ(run.nExit, 1);
    EXPECT_NE(run.err.find(in + ".fixed.dts"), std::string::npos);
    const nlohmann::json doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["files"][0]["state"], "error: cannot create output");
    EXPECT_TRUE(doc["files"][0]["output"].is_null());
}

// A last frame cut short by the end of the input is told on the file line and as "cut_short" in
// JSON (where it starts, its index, the bytes there are and the bytes its header gives), not as
// a row; a whole stream has "cut_short": null. Catches a cut frame passed off as a change of size.
TEST(CliApp, ALastFrameCutShortIsToldNotListed)
{
    CTempDir dir;
    FrameSpec spec;
    spec.fsize = 100;
    std::vector<uint8_t> stream = RepeatFrame(spec, 3);
    std::vector<uint8_t> cut = MakeFrame(spec);
    cut.resize(40);
    Append(stream, cut);
    const std::string in = dir.Write("cut.dts", stream);

    const CliRun text = RunCli({in});
    EXPECT_EQ(text.nExit, 0) << text.err;
    EXPECT_NE(text.out.find(in + ": done, Detected Format: DTS 16/48, 4 frames (last frame cut short: 40 of 101 bytes, not written), "),
              std::string::npos) << text.out;

    const nlohmann::json json = nlohmann::json::parse(RunCli({"--json", in}).out);
    const nlohmann::json& file = json["files"][0];
    EXPECT_EQ(file["rows"].size(), 1u);
    EXPECT_EQ(file["cut_short"], nlohmann::json::parse(R"({"offset":303,"frame":3,"bytes":40,"expected":101})"));
    stream.resize(303);
    const nlohmann::json whole = nlohmann::json::parse(RunCli({"--json", dir.Write("whole.dts", stream)}).out);
    EXPECT_TRUE(whole["files"][0]["cut_short"].is_null());
}
