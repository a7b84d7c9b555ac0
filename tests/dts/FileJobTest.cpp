// SPDX-License-Identifier: GPL-3.0-or-later
// The per-file job's output is all or nothing: what stands at the output name before a run, and
// what the folder holds after a stop or a failure, and the states a run ends in.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <set>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "dts/FileJob.h"
#include "dts/RecorderHost.h"
#include "dts/SyntheticFrames.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;
using State = CFileJob::EState;

// Frames of alternating sizes, so that every frame starts a row.
Bytes Frames(int n)
{
    Bytes stream;
    for (int i = 0; i < n; ++i) {
        FrameSpec spec;
        spec.fsize = i % 2 == 0 ? 99 : 119;
        Append(stream, MakeFrame(spec));
    }
    return stream;
}

CFileJob::Result Rebuild(CRecorderHost& host, const std::string& in, const std::string& out)
{
    host.bRebuild = true;
    CBitStream inStream;
    COutBitStream outStream;
    std::error_code ec;
    const auto nSize = static_cast<int64_t>(fs::file_size(in, ec));
    const CFileJob::Result r = CFileJob::Run(host, inStream, outStream, in, out, ec ? 0 : nSize, CFileJob::Options{true, false});
    EXPECT_FALSE(inStream.IsOpen());
    EXPECT_FALSE(outStream.IsOpen());
    return r;
}

// The names in a folder, so a test sees any temporary file left behind.
std::set<std::string> Names(const CTempDir& dir)
{
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir.Root()))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace

// A stop during the walk (the dialog's Quit, Ctrl-C), for a plain and a WAVE input, with and
// without an older output, and a stop already set when the input opens. Catches a cut-short
// output kept or put in place, an older output replaced or truncated, a temporary file left in
// the folder, and a stopped file reported as done or without the rows it had.
TEST(FileJob, AStopKeepsNoOutputAndLeavesTheOlderOne)
{
    const Bytes stream = Frames(2000);
    for (bool bWave : {false, true}) {
        for (bool bOlder : {false, true}) {
            SCOPED_TRACE(testing::Message() << (bWave ? "WAVE" : "plain") << (bOlder ? ", older output" : ""));
            CTempDir dir;
            const std::string in = dir.Path("in.dts");
            const std::string out = CFileJob::OutputPathFor(in);
            WriteFileBytes(in, bWave ? WrapWave(SwapWords(stream)) : stream);
            if (bOlder)
                WriteFileBytes(out, Bytes{9, 8, 7});
            const std::set<std::string> before = Names(dir);
            CRecorderHost host;
            host.onFrame = [&host](int n) { host.bStop = host.bStop || n == 1500; };
            const CFileJob::Result r = Rebuild(host, in, out);
            EXPECT_EQ(r.eState, State::Stopped);
            EXPECT_STREQ(CFileJob::StateText(r.eState), "stopped");
            EXPECT_TRUE(r.Message().empty());
            EXPECT_FALSE(r.bOutputWritten);
            EXPECT_GT(r.nFrames, 1000);
            EXPECT_LT(r.nFrames, 2000);
            EXPECT_EQ(static_cast<int64_t>(host.rows.size()), r.nFrames) << "the rows so far stand";
            EXPECT_EQ(Names(dir), before) << "nothing left behind";
            if (bOlder) {
                EXPECT_EQ(ReadFileBytes(out), (Bytes{9, 8, 7}));
            }
        }
    }

    CTempDir dir;
    const std::string in = dir.Path("early.dts");
    WriteFileBytes(in, stream);
    CRecorderHost host;
    host.bStop = true;
    const CFileJob::Result r = Rebuild(host, in, CFileJob::OutputPathFor(in));
    EXPECT_EQ(r.eState, State::Stopped);
    EXPECT_EQ(Names(dir), std::set<std::string>({"early.dts"}));
}

#ifndef _WIN32
// What may stand at the output name: a symbolic link to another file, a dangling link, a hard
// link, a fifo. Catches a link followed (the victim overwritten or created), a hard-linked file
// rewritten in place, and a fifo opened (the run blocks; a watchdog opens its reading end after
// five seconds, so a blocked run ends as a failure rather than a hang).
TEST(FileJob, NothingAtTheOutputNameIsFollowedOrOpened)
{
    CTempDir dir;
    const Bytes stream = Frames(40);
    const std::string in = dir.Path("in.dts");
    WriteFileBytes(in, stream);
    const std::string out = CFileJob::OutputPathFor(in);
    const std::string victim = dir.Path("victim.txt");
    const Bytes victimBytes{'m', 'i', 'n', 'e'};

    WriteFileBytes(victim, victimBytes);
    fs::create_symlink(victim, out);
    CRecorderHost linked;
    const CFileJob::Result r1 = Rebuild(linked, in, out);
    EXPECT_EQ(r1.eState, State::CannotCreateOutput);
    EXPECT_EQ(r1.eFailedPath, CFileJob::EFailedPath::Output);
    EXPECT_EQ(ReadFileBytes(victim), victimBytes) << "the link was followed";
    EXPECT_TRUE(fs::is_symlink(out));

    fs::remove(out);
    fs::create_symlink(dir.Path("created-through-link"), out);
    CRecorderHost dangling;
    EXPECT_EQ(Rebuild(dangling, in, out).eState, State::CannotCreateOutput);
    EXPECT_FALSE(fs::exists(dir.Path("created-through-link")));

    fs::remove(out);
    fs::create_hard_link(victim, out);
    CRecorderHost hard;
    EXPECT_EQ(Rebuild(hard, in, out).eState, State::Done);
    EXPECT_EQ(ReadFileBytes(out), stream);
    EXPECT_EQ(ReadFileBytes(victim), victimBytes) << "a hard-linked file was rewritten in place";

    fs::remove(out);
    ASSERT_EQ(mkfifo(out.c_str(), 0600), 0);
    CRecorderHost fifo;
    std::future<CFileJob::Result> run = std::async(std::launch::async, [&] { return Rebuild(fifo, in, out); });
    const bool bBlocked = run.wait_for(std::chrono::seconds(5)) != std::future_status::ready;
    if (bBlocked) {
        // Opening the reading end releases a writer blocked in its open.
        const int fd = open(out.c_str(), O_RDONLY | O_NONBLOCK);
        if (fd >= 0)
            close(fd);
    }
    const CFileJob::Result r4 = run.get();
    EXPECT_FALSE(bBlocked) << "the fifo was opened";
    EXPECT_EQ(r4.eState, State::CannotCreateOutput);
    EXPECT_TRUE(fs::is_fifo(out));
    EXPECT_EQ(Names(dir), std::set<std::string>({"in.dts", "in.dts.fixed.dts", "victim.txt"}));
}

// The output takes the input's permission bits, a read-only input and older output included.
// Catches a private input that gives a readable copy, and a read-only output that blocks the
// next rebuild.
TEST(FileJob, TheOutputTakesTheInputsPermissions)
{
    CTempDir dir;
    const std::string in = dir.Path("in.dts");
    WriteFileBytes(in, Frames(10));
    const std::string out = CFileJob::OutputPathFor(in);
    for (fs::perms mode : {fs::perms(0600), fs::perms(0640), fs::perms(0755), fs::perms(0444), fs::perms(0444)}) {
        SCOPED_TRACE(static_cast<int>(mode));
        fs::permissions(in, mode);
        CRecorderHost host;
        ASSERT_EQ(Rebuild(host, in, out).eState, State::Done);
        EXPECT_EQ(fs::status(out).permissions() & fs::perms::mask, mode);
        EXPECT_EQ(ReadFileBytes(out), ReadFileBytes(in));
    }
    // A readable file renamed over a private input during the walk: the copy takes the bits of
    // the file that was read, not of whatever holds its name at the end.
    fs::permissions(in, fs::perms(0600));
    const std::string other = dir.Write("other.dts", Bytes{1});
    fs::permissions(other, fs::perms(0644));
    CRecorderHost host;
    host.onFrame = [&](int nFrame) {
        if (nFrame == 2)
            fs::rename(other, in);
    };
    ASSERT_EQ(Rebuild(host, in, out).eState, State::Done);
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::mask, fs::perms(0600));
}

// A read that fails inside the input (the kernel answers EIO for unmapped memory through
// /proc/self/mem, which is a regular file): catches a read error passed off as the end of the
// input ("done" with the frames so far and a short output).
TEST(FileJob, AReadErrorIsNotTheEndOfTheInput)
{
    const std::string mem = "/proc/self/mem";
    if (!fs::is_regular_file(mem))
        GTEST_SKIP() << "no /proc/self/mem here";
    CTempDir dir;
    const std::string out = dir.Path("mem.fixed.dts");
    WriteFileBytes(out, Bytes{1, 2});
    CRecorderHost host;
    const CFileJob::Result r = Rebuild(host, mem, out);
    EXPECT_EQ(r.eState, State::ReadFailed);
    EXPECT_STREQ(CFileJob::StateText(r.eState), "error: read failed");
    EXPECT_EQ(r.eFailedPath, CFileJob::EFailedPath::Input);
    EXPECT_EQ(r.Message(), mem + ": read failed: reading the input failed (I/O error); "
                                 "the older output of that name was left as it was");
    EXPECT_EQ(ReadFileBytes(out), (Bytes{1, 2}));
    EXPECT_EQ(Names(dir), std::set<std::string>({"mem.fixed.dts"}));
}

#endif

// A file whose only frame is cut short by the end of the input: the walk reports it, but there is
// no whole frame to write, with or without a rebuild. Catches an empty output kept (or put in
// place of an older one) as if it were the rebuilt stream, such a file called "done", and an older
// output left in place without a word (it would pass for this run's result).
TEST(FileJob, NoWholeFrameKeepsNoOutput)
{
    CTempDir dir;
    const std::string in = dir.Path("cut.dts");
    Bytes cut = Frames(1);
    cut.resize(cut.size() / 2);
    WriteFileBytes(in, cut);
    for (bool bOlder : {false, true}) {
        SCOPED_TRACE(bOlder ? "older output" : "no older output");
        const std::string out = CFileJob::OutputPathFor(in);
        if (bOlder) {
            WriteFileBytes(out, {'o', 'l', 'd'});
        }
        const std::set<std::string> before = Names(dir);
        CRecorderHost host;
        const CFileJob::Result r = Rebuild(host, in, out);
        EXPECT_EQ(r.eState, State::NoWholeFrame);
        EXPECT_STREQ(CFileJob::StateText(r.eState), "error: no whole frame");
        EXPECT_EQ(r.strError.find("older output") != std::string::npos, bOlder) << r.strError;
        EXPECT_EQ(r.nFrames, 1);
        EXPECT_EQ(host.rows.size(), 1u);
        EXPECT_FALSE(r.bOutputWritten);
        EXPECT_EQ(Names(dir), before) << "nothing created or left behind";
        if (bOlder) {
            EXPECT_EQ(ReadFileBytes(out), (Bytes{'o', 'l', 'd'}));
        }
    }
    CRecorderHost host;
    CBitStream inStream;
    COutBitStream outStream;
    const CFileJob::Result walked = CFileJob::Run(host, inStream, outStream, in, CFileJob::OutputPathFor(in),
                                                  static_cast<int64_t>(cut.size()), CFileJob::Options{});
    EXPECT_EQ(walked.eState, State::NoWholeFrame) << "without a rebuild too";
}
