// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli in process with -o: outputs in another folder, and the checks made before a run.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CliRun.h"
#include "support/MachineTraits.h"
#include "support/SyntheticFrames.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

size_t EntriesIn(const std::string& folder)
{
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

// Outputs land in the folder under the input's name, byte for byte what a rebuild beside the
// input writes, and nothing is written beside the input (which may then be read-only); an input
// that is itself an output is still taken. Catches an output named after the whole input path, a
// temporary file left in either folder, and a source folder that must be writable.
TEST(CliOutputFolder, OutputsGoToTheFolderUnderTheInputsNames)
{
    CTempDir dir;
    fs::create_directories(dir.Path("src"));
    fs::create_directories(dir.Path("out"));
    const std::string input = dir.Path("src/movie.dts");
    WriteFileBytes(input, RepeatFrame(7));
    const std::string earlier = dir.Path("src/old.dts.fixed.dts");
    WriteFileBytes(earlier, RepeatFrame(3));
    const std::string beside = dir.Path("beside.dts");
    WriteFileBytes(beside, RepeatFrame(7));
    ASSERT_EQ(RunCli({"--rebuild", beside}).nExit, 0);

    // Where permissions bind (not for root), the source folder is read-only for the run.
    if (PermissionsDenyAccess())
        fs::permissions(dir.Path("src"), fs::perms::owner_read | fs::perms::owner_exec);
    const CliRun run = RunCli({"--rebuild", "-o", dir.Path("out"), input, earlier});
    fs::permissions(dir.Path("src"), fs::perms::owner_all);
    ASSERT_EQ(run.nExit, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(dir.Path("out/movie.dts.fixed.dts")), ReadFileBytes(beside + ".fixed.dts"));
    EXPECT_TRUE(fs::exists(dir.Path("out/old.dts.fixed.dts.fixed.dts")));
    EXPECT_EQ(EntriesIn(dir.Path("out")), 2u);
    EXPECT_EQ(EntriesIn(dir.Path("src")), 2u);
    EXPECT_NE(run.out.find("output: " + dir.Path("out") + "/movie.dts.fixed.dts"), std::string::npos) << run.out;
}

// Everything that makes a run impossible or destructive is a usage error (2) before any input is
// read: no report, no output. Catches a folder found missing only at the first file (after a
// report was printed), two inputs of one name where the second output replaces the first, and
// option combinations that would read standard input twice or mix the report into the stream.
TEST(CliOutputFolder, RunsThatCannotGoWellStopBeforeReadingAnything)
{
    CTempDir dir;
    fs::create_directories(dir.Path("a"));
    fs::create_directories(dir.Path("b"));
    fs::create_directories(dir.Path("out"));
    const std::string first = dir.Write("a/x.dts", RepeatFrame(2));
    const std::string second = dir.Write("b/x.dts", RepeatFrame(2));
    const std::string notFolder = dir.Write("file", {1});

    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--rebuild", "-o", dir.Path("missing"), first}, "output folder " + dir.Path("missing") + ": the folder does not exist"},
        {{"--rebuild", "--output-dir=" + notFolder, first}, "output folder " + notFolder + ": it is not a folder"},
        {{"--rebuild", "-o", dir.Path("out"), first, second}, first + " and " + second + " would both be written to "},
        {{"-o", dir.Path("out"), first}, "-o needs --rebuild"},
        {{"--rebuild", first, "-o"}, "-o needs a folder"},
        {{"-", "-"}, "standard input ('-') can be read only once"},
        {{"--rebuild", "-"}, "add -o - to write it to standard output"},
        {{"--rebuild", "-o", "-", "--json", first}, "--json=FILE"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(c.args);
        EXPECT_EQ(run.nExit, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << c.message;
    }
    EXPECT_EQ(EntriesIn(dir.Path("out")), 0u);
    EXPECT_EQ(EntriesIn(dir.Path("a")), 1u);
}
