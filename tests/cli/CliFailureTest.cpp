// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli in process on files it cannot read or write: the message each gives, the state
// in the report, the exit status, and inputs left as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <nlohmann/json.hpp>

#include "cli/CliRun.h"
#include "support/SyntheticFrames.h"
#include "support/MachineTraits.h"
#include "support/TestFiles.h"

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

// Inputs that cannot be opened, each in one run with a good file after them: catches a failure
// reported as done, a message that names the wrong file or no cause, an output created for an
// input that never opened (next to a device that would mean a file in /dev), and a batch that
// stops at the first failure.
TEST(CliFailure, InputsThatCannotBeOpenedNameTheFileAndTheCause)
{
    CTempDir dir;
    const std::string folder = dir.Path("folder.dts");
    std::filesystem::create_directory(folder);
    const std::string riffOnly = dir.Path("riff-only.wav");
    WriteFileBytes(riffOnly, {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    const std::string good = dir.Path("good.dts");
    WriteFileBytes(good, RepeatFrame(5));

    struct Failing {
        std::string path;
        std::string cause;
        bool bHasSize;
    };
    std::vector<Failing> failing = {
        {folder, "it is a directory", false},
        {dir.Path("missing.dts"), "the file does not exist", false},
        {riffOnly, "its WAVE header has no \"fmt \" chunk", true},
    };
#ifndef _WIN32
    const std::string fifo = dir.Path("fifo.dts");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    failing.push_back({fifo, "it is not a regular file", false});
    for (const char* device : {"/dev/zero", "/dev/null"}) {
        if (std::filesystem::exists(device))
            failing.push_back({device, "it is not a regular file", false});
    }
#endif
    std::vector<std::string> args = {"--json", "--rebuild"};
    for (const Failing& f : failing)
        args.push_back(f.path);
    args.push_back(good);

    const CliRun run = RunCli(args);
    EXPECT_EQ(run.nExit, 1);
    const nlohmann::json doc = nlohmann::json::parse(run.out);
    ASSERT_EQ(doc["files"].size(), failing.size() + 1);
    for (size_t i = 0; i < failing.size(); ++i) {
        const Failing& f = failing[i];
        SCOPED_TRACE(f.path);
        EXPECT_TRUE(Contains(run.err, "kestrune-cli: " + f.path + ": cannot open input: " + f.cause + "\n")) << run.err;
        const auto& file = doc["files"][i];
        EXPECT_EQ(file["file"], f.path);
        EXPECT_EQ(file["state"], "error: cannot open input");
        EXPECT_EQ(file["size"].is_null(), !f.bHasSize);
        EXPECT_TRUE(file["detected_format"].is_null());
        EXPECT_EQ(file["frames"], 0);
        EXPECT_TRUE(file["output"].is_null());
        EXPECT_TRUE(file["rows"].empty());
        EXPECT_FALSE(std::filesystem::exists(f.path + ".fixed.dts")) << "an output for an input that never opened";
    }
    const auto& last = doc["files"][failing.size()];
    EXPECT_EQ(last["state"], "done");
    EXPECT_EQ(last["frames"], 5);
    EXPECT_EQ(last["output"], good + ".fixed.dts");

    // The text report gives the same state on the file's line.
    const CliRun text = RunCli({folder});
    EXPECT_EQ(text.nExit, 1);
    EXPECT_TRUE(Contains(text.out, folder + ": error: cannot open input, Detected Format: none, 0 frames\n")) << text.out;
    EXPECT_EQ(text.err, "kestrune-cli: " + folder + ": cannot open input: it is a directory\n");
}

// Outputs that cannot be created, each naming the output: a folder in the way, an output name
// that links back to the input, a link to a device, and a read-only folder (not for root).
// Catches an input destroyed by its own rebuild, a failure reported as done or with an output,
// a link followed, and a link or device removed.
TEST(CliFailure, OutputsThatCannotBeWrittenNameTheOutputAndTheCause)
{
    CTempDir dir;
    const Bytes stream = RepeatFrame(8);

    struct Case {
        const char* name;
        std::string message;  // after "kestrune-cli: OUTPUT: "
        std::string state;
    };
    auto runCase = [&](const std::string& in, const Case& c) {
        SCOPED_TRACE(c.name);
        const Bytes before = ReadFileBytes(in);
        const auto mtime = std::filesystem::last_write_time(in);
        const std::string out = in + ".fixed.dts";
        const CliRun run = RunCli({"--json", "--rebuild", in});
        EXPECT_EQ(run.nExit, 1);
        EXPECT_EQ(run.err, "kestrune-cli: " + out + ": " + c.message + "\n");
        const nlohmann::json doc = nlohmann::json::parse(run.out);
        EXPECT_EQ(doc["files"][0]["state"], c.state);
        EXPECT_TRUE(doc["files"][0]["output"].is_null());
        EXPECT_EQ(ReadFileBytes(in), before) << "the input was modified";
        EXPECT_EQ(std::filesystem::last_write_time(in), mtime) << "the input was touched";
        return doc;
    };

    const std::string blocked = dir.Path("blocked.dts");
    WriteFileBytes(blocked, stream);
    std::filesystem::create_directory(blocked + ".fixed.dts");
    runCase(blocked, {"folder in the way", "cannot create output: a folder of that name is in the way",
                      "error: cannot create output"});

#ifndef _WIN32
    const std::string looped = dir.Path("looped.dts");
    WriteFileBytes(looped, stream);
    std::filesystem::create_symlink(looped, looped + ".fixed.dts");
    runCase(looped, {"output links to the input", "cannot create output: it would overwrite the input",
                     "error: cannot create output"});

    if (HasDevFull()) {
        const std::string full = dir.Path("full.dts");
        WriteFileBytes(full, stream);
        std::filesystem::create_symlink("/dev/full", full + ".fixed.dts");
        const nlohmann::json doc =
            runCase(full, {"link to a device at the output name",
                           "cannot create output: a link of that name is in the way (it was left as it is; remove it to write the output)",
                           "error: cannot create output"});
        EXPECT_EQ(doc["files"][0]["frames"], 0) << "refused before the walk";
        EXPECT_TRUE(std::filesystem::is_symlink(full + ".fixed.dts"));
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    }

    const std::string readOnly = dir.Path("read-only");
    std::filesystem::create_directory(readOnly);
    const std::string inReadOnly = readOnly + "/in.dts";
    WriteFileBytes(inReadOnly, stream);
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (PermissionsDenyAccess()) {
        runCase(inReadOnly, {"read-only folder",
                             "cannot create output: the file cannot be created (read-only folder or no permission?)",
                             "error: cannot create output"});
        EXPECT_FALSE(std::filesystem::exists(inReadOnly + ".fixed.dts"));
    }
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_all);
    if (!HasDevFull())
        GTEST_SKIP() << kNoDevFull;
    if (!PermissionsDenyAccess())
        GTEST_SKIP() << kPermissionsDoNotDeny;
#endif
}

// Files that open but hold no frame (a WAVE whose data is all zeros, an empty file, text):
// catches a scan that fails or hangs on them and a frameless file passed off as done. Each is
// "error: no DTS frames found" with the cause on stderr, exit 1; with --rebuild no output is
// written and an older output of the same name is left exactly as it was.
TEST(CliFailure, FilesWithoutFramesAreErrorsAndKeepNoOutput)
{
    CTempDir dir;
    const std::string zeros = dir.Path("zeros.wav");
    WriteFileBytes(zeros, WrapWave(Bytes(64 * 1024, 0)));
    const std::string empty = dir.Path("empty.dts");
    WriteFileBytes(empty, {});
    const std::string text = dir.Path("notes.txt");
    WriteFileBytes(text, Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    const std::string cause = ": no DTS frames found: nothing in it starts a DTS core frame (the sync word 7FFE8001 and a whole header)\n";
    const CliRun run = RunCli({zeros, empty});
    EXPECT_EQ(run.nExit, 1);
    EXPECT_EQ(run.err, "kestrune-cli: " + zeros + cause + "kestrune-cli: " + empty + cause);
    EXPECT_EQ(run.out, zeros + ": error: no DTS frames found, Detected Format: none, 0 frames\n\n" + empty +
                           ": error: no DTS frames found, Detected Format: none, 0 frames\n\n");

    const Bytes older = RepeatFrame(3);
    WriteFileBytes(text + ".fixed.dts", older);
    WriteFileBytes(empty + ".fixed.dts", older);
    const CliRun rebuild = RunCli({"--json", "--rebuild", zeros, text, empty});
    EXPECT_EQ(rebuild.nExit, 1);
    const nlohmann::json doc = nlohmann::json::parse(rebuild.out);
    for (const nlohmann::json& file : doc["files"]) {
        EXPECT_EQ(file["state"], "error: no DTS frames found");
        EXPECT_TRUE(file["output"].is_null());
    }
    EXPECT_EQ(ReadFileBytes(text + ".fixed.dts"), older) << "an older output is left as it was";
    EXPECT_EQ(ReadFileBytes(empty + ".fixed.dts"), older);
    EXPECT_FALSE(std::filesystem::exists(zeros + ".fixed.dts"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), std::filesystem::directory_iterator()), 5)
        << "no temporary file is left";
}
