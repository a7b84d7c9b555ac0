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
        {riffOnly,
         "it is not a readable DTS stream or RIFF WAVE file (a WAVE file needs a \"fmt \" chunk and a \"data\" chunk after it)",
         true},
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

// Outputs that cannot be created or written, each naming the output: a folder in the way, an
// output name that links back to the input (opening it would empty the input), a link to a full
// device, and a read-only folder (not for root). Catches an input destroyed by its own rebuild,
// a failure reported as done or with an output, a cause that claims a removal that did not
// happen, and a link or device removed.
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
            runCase(full, {"output on a full device",
                           "write failed: writing the output failed (disk full?); it is not a plain file and was left as it is",
                           "error: write failed"});
        EXPECT_EQ(doc["files"][0]["frames"], 8) << "the walk still reports the input";
        EXPECT_EQ(doc["files"][0]["rows"].size(), 1u);
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

// Files that open but hold no frame (a WAVE whose data is all zeros, an empty file): catches a
// scan that fails or hangs on them. They are done with no detected format and no rows, and exit 0:
// only a file that cannot be opened or written is a failure.
TEST(CliFailure, FilesWithoutFramesAreDoneWithNothingFound)
{
    CTempDir dir;
    const std::string zeros = dir.Path("zeros.wav");
    WriteFileBytes(zeros, WrapWave(Bytes(64 * 1024, 0)));
    const std::string empty = dir.Path("empty.dts");
    WriteFileBytes(empty, {});
    const CliRun run = RunCli({zeros, empty});
    EXPECT_EQ(run.nExit, 0) << run.err;
    EXPECT_TRUE(run.err.empty());
    EXPECT_EQ(run.out, zeros + ": done, Detected Format: none, 0 frames\n\n" + empty +
                           ": done, Detected Format: none, 0 frames\n\n");
}
