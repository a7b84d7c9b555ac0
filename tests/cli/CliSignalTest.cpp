// SPDX-License-Identifier: GPL-3.0-or-later
// A real kestrune-cli process stopped by a signal in the middle of a file, and its report
// written to a full device: exit statuses, what the report says, what the folder holds after.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "dts/SyntheticFrames.h"
#include "stream/FileShim.h"
#include "support/TestFiles.h"

extern char** environ;

namespace {

using Bytes = std::vector<uint8_t>;

// Frames whose dialog normalisation alternates, so every frame starts a row and the report is long.
Bytes RowPerFrame(int n)
{
    FrameSpec loud;
    loud.dialnorm = 9;
    const Bytes pair[2] = {MakeFrame(FrameSpec{}), MakeFrame(loud)};
    Bytes stream;
    stream.reserve(static_cast<size_t>(n) * pair[0].size());
    for (int i = 0; i < n; ++i)
        Append(stream, pair[i & 1]);
    return stream;
}

std::set<std::string> Names(const CTempDir& dir)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Root()))
        names.insert(entry.path().filename().string());
    return names;
}

struct Finished {
    int nStatus = -1;   // as waitpid gives it
    std::string out;
};

// Reads what is left of fd until its end.
void Drain(int fd, std::string& text)
{
    char buffer[65536];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
}

// Starts kestrune-cli with args and its stdout on a pipe; waits until the report has started,
// then until the pipe is full (the process can go no further than its next write), sends
// nSignal, and reads the rest of the report.
Finished StopMidFile(const std::vector<std::string>& args, int nSignal)
{
    int pipeFds[2];
    EXPECT_EQ(pipe(pipeFds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> argv{KESTRUNE_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pArgv;
    for (std::string& arg : argv)
        pArgv.push_back(arg.data());
    pArgv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, KESTRUNE_CLI, &actions, nullptr, pArgv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);

    Finished finished;
    char first = 0;
    EXPECT_EQ(read(pipeFds[0], &first, 1), 1) << "the report started";
    finished.out.push_back(first);
    // The pipe holds 64 KiB, the report several MiB: the writer fills it within milliseconds.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(pid, nSignal);
    Drain(pipeFds[0], finished.out);
    close(pipeFds[0]);
    waitpid(pid, &finished.nStatus, 0);
    return finished;
}

} // namespace

// SIGTERM, SIGHUP, SIGINT and the other signals that end a process by default (SIGQUIT, SIGUSR1,
// SIGUSR2, SIGALRM) in the middle of a rebuild: catches a signal that kills the process
// (a cut-off report, a short output), a stopped file reported as done, an exit status other than
// 128 + the signal's number, a temporary file left behind and an older output replaced. The
// report is still a whole document with the rows so far. Well under a second per signal.
TEST(CliSignal, AStopSignalEndsTheFileWithNothingLeftBehind)
{
    CTempDir dir;
    const std::string in = dir.Path("long.dts");
    WriteFileBytes(in, RowPerFrame(40000));
    const std::string out = in + ".fixed.dts";
    const Bytes older{1, 2, 3, 4};
    for (int nSignal : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM}) {
        SCOPED_TRACE(nSignal);
        WriteFileBytes(out, older);
        const auto start = std::chrono::steady_clock::now();
        const Finished run = StopMidFile({"--json", "--rebuild", in}, nSignal);
        const double nSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_TRUE(WIFEXITED(run.nStatus)) << "ended by the signal itself";
        EXPECT_EQ(WEXITSTATUS(run.nStatus), 128 + nSignal);
        const nlohmann::json doc = nlohmann::json::parse(run.out);
        const nlohmann::json& file = doc["files"][0];
        EXPECT_EQ(file["state"], "stopped");
        EXPECT_TRUE(file["output"].is_null());
        EXPECT_GT(file["rows"].size(), 100u) << "the rows so far are printed";
        EXPECT_LT(file["frames"], 40000) << "stopped in the middle of the file";
        EXPECT_EQ(file["rows"].size(), file["frames"]);
        EXPECT_EQ(ReadFileBytes(out), older) << "the older output is left as it was";
        EXPECT_EQ(Names(dir), std::set<std::string>({"long.dts", "long.dts.fixed.dts"}));
        EXPECT_LT(nSeconds, 3.0);
    }
}

// SIGKILL in the middle of a rebuild (as the OOM killer ends a process): catches a temporary
// output with a name, which no handler can remove then. Where the system gives files without a
// name, the folder holds only what it held before.
TEST(CliSignal, AKilledRunLeavesNoTemporaryFile)
{
    CTempDir dir;
    const std::string in = dir.Path("long.dts");
    WriteFileBytes(in, RowPerFrame(40000));
    std::FILE* pProbe = CFileShim::CreateUnnamedBeside(in);
    if (pProbe == nullptr)
        GTEST_SKIP() << "no files without a name here";
    std::fclose(pProbe);
    const Finished run = StopMidFile({"--json", "--rebuild", in}, SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(run.nStatus));
    EXPECT_EQ(Names(dir), std::set<std::string>({"long.dts"}));
}

// Runs command in a shell; its exit status, or -1 when a signal ended it.
int ShellStatus(const std::string& command)
{
    const int nStatus = std::system(command.c_str());
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

// Standard input and output closed, and a report piped to a reader that goes away: catches the
// input or the temporary output opened as descriptor 0 or 1 (the JSON report then written into
// the rebuilt output, kept under its final name), and SIGPIPE ending the process with a temporary
// file left behind. The rebuild with closed descriptors must equal a plain rebuild; a vanished
// reader ends the run with the broken pipe's own status and leaves nothing half-written.
TEST(CliSignal, ClosedDescriptorsAndAVanishedReaderLoseNothing)
{
    CTempDir dir;
    const std::string in = dir.Path("long.dts");
    WriteFileBytes(in, RowPerFrame(40000));
    const std::string out = in + ".fixed.dts";
    const std::string cli = std::string(KESTRUNE_CLI) + " --json --rebuild '" + in + "'";
    ASSERT_EQ(ShellStatus(cli + " >/dev/null"), 0);
    const Bytes plain = ReadFileBytes(out);
    std::filesystem::remove(out);
    EXPECT_EQ(ShellStatus(cli + " <&- >&- 2>/dev/null"), 0);
    EXPECT_EQ(ReadFileBytes(out), plain) << "nothing but the stream in the output";
    std::filesystem::remove(out);
    EXPECT_EQ(ShellStatus("bash -o pipefail -c \"" + cli + " 2>/dev/null | head -c 10 >/dev/null\""), 141)
        << "the broken pipe's status";
    EXPECT_EQ(Names(dir), std::set<std::string>({"long.dts"})) << "no temporary file, no half-written output";
}

// The report written to a full device, text and JSON, short and long, and --help and --version
// too: catches a failed write of stdout that exits 0.
TEST(CliSignal, AReportThatCannotBeWrittenFails)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    CTempDir dir;
    const std::string shortIn = dir.Path("short.dts");
    WriteFileBytes(shortIn, RowPerFrame(2));
    const std::string longIn = dir.Path("long.dts");
    WriteFileBytes(longIn, RowPerFrame(5000));
    for (const std::string& in : {shortIn, longIn}) {
        for (const char* pszFormat : {"--json", "--remove-crc", "--help", "--version"}) {
            SCOPED_TRACE(in + " " + pszFormat);
            const std::string command = std::string(KESTRUNE_CLI) + " " + pszFormat + " '" + in + "' >/dev/full 2>/dev/null";
            const int nStatus = std::system(command.c_str());
            ASSERT_TRUE(WIFEXITED(nStatus));
            EXPECT_EQ(WEXITSTATUS(nStatus), 1);
        }
    }
}

#endif
