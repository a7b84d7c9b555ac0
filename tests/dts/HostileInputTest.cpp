// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile and failing files through the per-file job: the state and cause each gives the user,
// that none crashes or hangs, and that the input is never modified.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <system_error>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "dts/FileJob.h"
#include "dts/RecorderHost.h"
#include "support/SyntheticFrames.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"
#include "support/MachineTraits.h"
#include "support/TestFiles.h"

namespace {

using State = CFileJob::EState;


// Bytes and modification time of an input, taken before a run and compared after it.
struct FileSnapshot {
    Bytes bytes;
    std::filesystem::file_time_type mtime;
};

FileSnapshot Snapshot(const std::string& path)
{
    return {ReadFileBytes(path), std::filesystem::last_write_time(path)};
}

void ExpectUnchanged(const std::string& path, const FileSnapshot& before)
{
    EXPECT_EQ(ReadFileBytes(path), before.bytes) << path << " was modified";
    EXPECT_EQ(std::filesystem::last_write_time(path), before.mtime) << path << " was touched";
}

// One run of the job as the batch and the command line do it; checks what every run must leave.
CFileJob::Result RunJob(CRecorderHost& host, const std::string& in, const std::string& out, bool bRebuild)
{
    host.bRebuild = bRebuild;
    CBitStream inStream;
    COutBitStream outStream;
    std::error_code ec;
    const uintmax_t nSize = std::filesystem::is_regular_file(in, ec) ? std::filesystem::file_size(in, ec) : 0;
    const CFileJob::Result r =
        CFileJob::Run(host, inStream, outStream, in, out, ec ? 0 : static_cast<int64_t>(nSize), CFileJob::Options{bRebuild, false, host.bRemoveCRC, host.bRemoveDialNorm});
    EXPECT_FALSE(inStream.IsOpen()) << "the input is closed";
    EXPECT_FALSE(outStream.IsOpen()) << "the output is closed";
    return r;
}

// WrapWave's layout with a 16-byte fmt chunk: RIFF size at 4, fmt size at 16, data size at 40,
// the data contents from 44.
constexpr size_t kRiffSizeAt = 4;
constexpr size_t kFmtSizeAt = 16;
constexpr size_t kDataSizeAt = 40;
constexpr size_t kDataAt = 44;

const char* const kNoData = "its WAVE header has no \"data\" chunk after the \"fmt \" chunk";

// What is wrong with a WAVE header cut after nCut bytes: the RIFF header (12 bytes), the "fmt "
// chunk's header (8) or its 16 contents, or the "data" chunk's header (8).
std::string CutWaveCause(size_t nCut)
{
    if (nCut < 12)
        return "it is cut short inside its RIFF header";
    if (nCut < 20)
        return "its WAVE header has no \"fmt \" chunk";
    if (nCut < 36)
        return std::string(kNoData) + ": its \"fmt \" chunk claims 16 bytes, past the end of the file";
    return kNoData;
}

Bytes WaveOf(const Bytes& stream16, const WaveOptions& opts = {})
{
    return WrapWave(SwapWords(stream16), opts);
}

} // namespace

// Chunk sizes near 0xFFFFFFFF. A data or RIFF size that does not fit the file must not bound
// the reading (the frames after it would be lost); a fmt size that does must fail the open
// with the cause rather than read 4 GiB, and a size that wraps to its own chunk in 32-bit
// arithmetic must not walk in a circle (a hang).
TEST(HostileInput, ChunkSizesNearTheTopOfTheirRange)
{
    CTempDir dir;
    FrameSpec a;
    const Bytes stream = RepeatFrame(a, 20);
    const std::string in = dir.Path("in.wav");
    const std::string out = dir.Path("in.wav.fixed.dts");

    for (uint32_t nSize : {0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFF7u, 0u}) {
        SCOPED_TRACE(nSize);
        Bytes wave = WaveOf(stream);
        PutLe32(wave, kRiffSizeAt, 0xFFFFFFFFu);
        PutLe32(wave, kDataSizeAt, nSize);
        WriteFileBytes(in, wave);
        const FileSnapshot before = Snapshot(in);
        CRecorderHost host;
        const CFileJob::Result r = RunJob(host, in, out, true);
        EXPECT_EQ(r.eState, State::Done);
        EXPECT_EQ(r.nFrames, 20);
        ASSERT_EQ(host.rows.size(), 1u);
        EXPECT_EQ(host.rows[0].nOffset, 0u);
        EXPECT_EQ(ReadFileBytes(out), stream);
        ExpectUnchanged(in, before);
    }

    struct Failing {
        const char* name;
        size_t at;
        uint32_t size;
        const char* cause;
    };
    // The chunk after fmt starts at 36; with size 0xFFFFFFF8 the next header would be at
    // 36 + 8 + 0xFFFFFFF8, which is 36 again in 32 bits.
    WaveOptions withJunk;
    withJunk.chunksBeforeData = {{"junk", {}}};
    const Bytes junkFirst = WrapWave(SwapWords(stream), withJunk);
    const Failing failing[] = {
        {"fmt size FFFFFFFF (odd: the pad byte makes it 2^32)", kFmtSizeAt, 0xFFFFFFFFu, "\"fmt \" chunk claims 4294967295"},
        {"fmt size FFFFFFFE", kFmtSizeAt, 0xFFFFFFFEu, "\"fmt \" chunk claims 4294967294"},
        {"fmt size FFFFFFF8", kFmtSizeAt, 0xFFFFFFF8u, "\"fmt \" chunk claims 4294967288"},
        {"junk size wrapping to itself", 40, 0xFFFFFFF8u, "\"junk\" chunk claims 4294967288"},
        {"junk size FFFFFFFF", 40, 0xFFFFFFFFu, "\"junk\" chunk claims 4294967295"},
    };
    for (const Failing& f : failing) {
        SCOPED_TRACE(f.name);
        Bytes wave = f.at == 40 ? junkFirst : WaveOf(stream);
        PutLe32(wave, kRiffSizeAt, 0xFFFFFFFFu);
        PutLe32(wave, f.at, f.size);
        WriteFileBytes(in, wave);
        std::filesystem::remove(out);
        const FileSnapshot before = Snapshot(in);
        CRecorderHost host;
        const CFileJob::Result r = RunJob(host, in, out, true);
        EXPECT_EQ(r.eState, State::CannotOpenInput);
        EXPECT_STREQ(CFileJob::StateText(r.eState), "error: cannot open input");
        // The cause names the chunk whose size hides the data chunk.
        EXPECT_EQ(r.strError, std::string(kNoData) + ": its " + f.cause + " bytes, past the end of the file");
        EXPECT_FALSE(std::filesystem::exists(out)) << "no output for an input that does not open";
        EXPECT_TRUE(host.rows.empty());
        ExpectUnchanged(in, before);
    }
}

// A "fmt " chunk of 1 MB (even and odd, 16- and 14-bit data): catches a format record read into
// a fixed buffer without a bound (overflow) and a walk that does not step over the rest of the
// chunk or its pad byte (the data is then not found).
TEST(HostileInput, FormatChunkOfOneMegabyte)
{
    CTempDir dir;
    FrameSpec a;
    a.amode = 9;
    a.lff = 1;
    const Bytes stream = RepeatFrame(a, 30);
    const std::string in = dir.Path("big-fmt.wav");
    const std::string out = dir.Path("big-fmt.out");
    for (size_t nFmt : {size_t{1} << 20, (size_t{1} << 20) + 1}) {
        for (bool b14 : {false, true}) {
            SCOPED_TRACE(testing::Message() << "fmt " << nFmt << (b14 ? " 14-bit" : " 16-bit"));
            WaveOptions opts;
            opts.fmtSize = nFmt;
            WriteFileBytes(in, WrapWave(SwapWords(b14 ? Pack14(stream) : stream), opts));
            const FileSnapshot before = Snapshot(in);
            CRecorderHost host;
            const CFileJob::Result r = RunJob(host, in, out, true);
            EXPECT_EQ(r.eState, State::Done);
            EXPECT_EQ(r.nFrames, 30);
            ASSERT_EQ(host.rows.size(), 1u);
            EXPECT_EQ(host.rows[0].strChannels, "C+L+R+SL+SR+LFE");
            Bytes written = ReadFileBytes(out);
            EXPECT_EQ(written, stream);
            ExpectUnchanged(in, before);
        }
    }
}

// A RIFF file cut at every byte of its headers, down to "RIFF" alone and a header with nothing
// after it: catches reads past a short header and a half-walked file taken as open. Before four
// bytes it is no RIFF and reads as a plain stream without a sync; up to the whole data header
// it fails with the cause; with the data header complete it opens and has no frames. None of
// them gives an output.
TEST(HostileInput, RiffHeadersWithNothingAfterThem)
{
    CTempDir dir;
    FrameSpec a;
    const Bytes wave = WaveOf(RepeatFrame(a, 2));
    const std::string in = dir.Path("cut.wav");
    const std::string out = dir.Path("cut.out");
    for (size_t nCut = 1; nCut <= kDataAt; ++nCut) {
        SCOPED_TRACE(testing::Message() << "cut at " << nCut);
        WriteFileBytes(in, Bytes(wave.begin(), wave.begin() + static_cast<long>(nCut)));
        std::filesystem::remove(out);
        const FileSnapshot before = Snapshot(in);
        CRecorderHost host;
        const CFileJob::Result r = RunJob(host, in, out, true);
        EXPECT_EQ(r.nFrames, 0);
        EXPECT_TRUE(host.rows.empty());
        if (nCut < 4 || nCut == kDataAt) {
            EXPECT_EQ(r.eState, State::NoFrames);
            EXPECT_FALSE(std::filesystem::exists(out)) << "no output without a frame";
        } else {
            EXPECT_EQ(r.eState, State::CannotOpenInput);
            EXPECT_EQ(r.strError, CutWaveCause(nCut));
            EXPECT_FALSE(std::filesystem::exists(out));
        }
        ExpectUnchanged(in, before);
    }
}

// A data chunk of nothing but zeros, and a plain file of zeros: catches a sync scan that runs
// past the end or never ends, and a stream without frames passed off as done or replacing an
// older output with an empty one (no row, no detected format, the older output kept).
TEST(HostileInput, AllZeroDataFindsNoFrames)
{
    CTempDir dir;
    const Bytes zeros(256 * 1024, 0);
    const std::string out = dir.Path("zeros.out");
    for (const Bytes& file : {WrapWave(zeros), zeros}) {
        SCOPED_TRACE(file.size());
        const std::string in = dir.Path("zeros.in");
        WriteFileBytes(in, file);
        const FileSnapshot before = Snapshot(in);
        CRecorderHost host;
        WriteFileBytes(out, Bytes{1, 2, 3});
        const CFileJob::Result r = RunJob(host, in, out, true);
        EXPECT_EQ(r.eState, State::NoFrames);
        EXPECT_STREQ(CFileJob::StateText(r.eState), "error: no DTS frames found");
        EXPECT_EQ(r.eFailedPath, CFileJob::EFailedPath::Input);
        EXPECT_EQ(r.nFrames, 0);
        EXPECT_TRUE(host.rows.empty());
        EXPECT_TRUE(host.detectedFormats.empty());
        EXPECT_FALSE(r.bOutputWritten);
        EXPECT_EQ(ReadFileBytes(out), (Bytes{1, 2, 3})) << "the older output is left as it was";
        ExpectUnchanged(in, before);
    }
}

// 10,000 frames of the smallest size that still makes a frame (an empty body): catches work or
// memory per frame that grows with the frame count (a row per frame, a buffer grown per frame)
// and a frame length off by one at the edge, which would lose sync at once. With a CRC the
// smallest is FSIZE 14; removing the CRC writes FSIZE 12 frames of 13 bytes.
TEST(HostileInput, TenThousandSmallestFrames)
{
    CTempDir dir;
    const std::string in = dir.Path("tiny.dts");
    const std::string out = dir.Path("tiny.out");
    struct Case {
        const char* name;
        FrameSpec spec;
        size_t nFrameBytes;
        bool bRemoveCRC;
    };
    // The smallest frames the standard allows: 96 bytes.
    FrameSpec plain;
    plain.fsize = 95;
    FrameSpec open = plain;
    open.rate = 29;
    open.fsize = 96;
    FrameSpec crc = plain;
    crc.cpf = true;
    crc.hcrc = 0x1234;
    const Case cases[] = {{"FSIZE 95", plain, 96, false},
                          {"open rate, FSIZE 96", open, 96, false},
                          {"CRC, FSIZE 95, CRC removed", crc, 96, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes stream = RepeatFrame(c.spec, 10000);
        ASSERT_EQ(stream.size(), 10000 * c.nFrameBytes);
        WriteFileBytes(in, stream);
        const FileSnapshot before = Snapshot(in);
        CRecorderHost host;
        host.bRemoveCRC = c.bRemoveCRC;
        const auto start = std::chrono::steady_clock::now();
        const CFileJob::Result r = RunJob(host, in, out, true);
        const double nSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(r.eState, State::Done);
        EXPECT_EQ(r.nFrames, 10000);
        EXPECT_EQ(host.nCurrentFrame, 9999);
        ASSERT_EQ(host.rows.size(), 1u);
        EXPECT_EQ(host.rows[0].nFrameSize, static_cast<int32_t>(c.nFrameBytes));
        EXPECT_EQ(host.rows[0].bCRC, c.spec.cpf);
        Bytes expected = c.bRemoveCRC ? RemoveHeaderCrc(stream, true) : stream;
        // An open-rate frame is written with the FSIZE the standard gives its length.
        for (size_t i = 0; c.spec.rate == 29 && i < expected.size(); i += c.nFrameBytes)
            SetHeaderField(expected, i * 8 + DtsBits::kFSIZE, 14, static_cast<uint32_t>(c.nFrameBytes - 1));
        EXPECT_EQ(ReadFileBytes(out), expected);
        // Well under a second on any machine; generous for sanitizer builds.
        EXPECT_LT(nSeconds, 10.0);
        ExpectUnchanged(in, before);
    }
}

// A file cut inside every field of the first frame's header, with and without a CRC, plain,
// 14-bit and WAVE: catches a header read that runs past the end, a partial header counted as a
// frame, and a cut-short frame written out. A cut before the header's end gives no frame (and
// no output); a cut after it gives one frame of the bytes present, reported but never written,
// and the file fails with "error: no whole frame".
TEST(HostileInput, FirstHeaderCutAtEveryByte)
{
    CTempDir dir;
    const std::string in = dir.Path("cut.dts");
    const std::string out = dir.Path("cut.out");
    for (bool bCPF : {false, true}) {
        FrameSpec a;
        a.cpf = bCPF;
        a.fsize = bCPF ? 101 : 99;
        const Bytes frame = MakeFrame(a);
        const size_t nHeader = bCPF ? 15 : 13;
        enum class Kind { Plain, Packed14, Wave };
        for (Kind kind : {Kind::Plain, Kind::Packed14, Kind::Wave}) {
            const Bytes whole = kind == Kind::Plain ? frame : kind == Kind::Packed14 ? Pack14(frame) : WaveOf(frame);
            const size_t nFirst = kind == Kind::Wave ? kDataAt : 0;
            const size_t nLast = nFirst + (kind == Kind::Packed14 ? 2 * nHeader : nHeader + 1);
            for (size_t nCut = nFirst + 1; nCut <= nLast; ++nCut) {
                SCOPED_TRACE(testing::Message() << "CPF " << bCPF << ", kind " << static_cast<int>(kind)
                                                << ", cut at " << nCut);
                // The stream bytes the cut file still holds: 14 bits per whole 16-bit word when packed.
                size_t nStreamBytes = nCut - nFirst;
                if (kind == Kind::Packed14)
                    nStreamBytes = (nCut / 2) * 14 / 8;
                WriteFileBytes(in, Bytes(whole.begin(), whole.begin() + static_cast<long>(nCut)));
                std::filesystem::remove(out);
                const FileSnapshot before = Snapshot(in);
                CRecorderHost host;
                const CFileJob::Result r = RunJob(host, in, out, true);
                if (nStreamBytes < nHeader) {
                    EXPECT_EQ(r.eState, State::NoFrames);
                    EXPECT_FALSE(std::filesystem::exists(out));
                    EXPECT_EQ(r.nFrames, 0);
                    EXPECT_TRUE(host.rows.empty());
                    EXPECT_TRUE(host.detectedFormats.empty());
                } else {
                    EXPECT_EQ(r.eState, State::NoWholeFrame) << "a frame cut short is no result to call done";
                    EXPECT_FALSE(std::filesystem::exists(out)) << "nothing of a partial frame is written, and no empty output kept";
                    EXPECT_EQ(r.nFrames, 1);
                    ASSERT_EQ(host.rows.size(), 1u);
                    EXPECT_EQ(host.rows[0].nFrameSize, static_cast<int32_t>(nStreamBytes));
                    EXPECT_EQ(host.rows[0].bCRC, bCPF);
                }
                ExpectUnchanged(in, before);
            }
        }
    }
}

// The input shrinks while it is read (another program truncates it): catches a read past the
// new end, stale buffered bytes taken for later frames, a hang or crash on the vanished data, and
// a shrunk file passed off as done. The walk ends with what was read and says the file shrank;
// the partial rebuild is not kept. A plain file cut at a known point is read exactly up to it.
TEST(HostileInput, InputShrinksWhileItIsRead)
{
    FrameSpec a;
    const int nTotal = 3000;
    const Bytes stream = RepeatFrame(a, nTotal); // 100-byte frames
    enum class Kind { Plain, Packed14, Wave };
    struct Case {
        Kind kind;
        uint64_t nNewSize;
        int nExpectFrames; // -1: only bounded
    };
    const Case cases[] = {
        {Kind::Plain, 150000, 1500},  // at a frame boundary
        {Kind::Plain, 150050, 1501},  // inside a frame: the last one is cut short
        {Kind::Plain, 0, -1},
        {Kind::Packed14, 0, -1},
        {Kind::Packed14, 100000, -1},
        {Kind::Wave, 0, -1},
        {Kind::Wave, 100000, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(c.kind) << ", shrunk to " << c.nNewSize);
        CTempDir dir;
        const std::string in = dir.Path("shrinking.dts");
        const std::string out = dir.Path("shrinking.out");
        WriteFileBytes(in, c.kind == Kind::Plain ? stream : c.kind == Kind::Packed14 ? Pack14(stream) : WaveOf(stream));
        CRecorderHost host;
        std::error_code resizeError;
        host.onFrame = [&](int nFrameStart) {
            if (nFrameStart == 20)
                std::filesystem::resize_file(in, c.nNewSize, resizeError);
        };
        const CFileJob::Result r = RunJob(host, in, out, true);
        if (resizeError)
            GTEST_SKIP() << "an open file cannot be truncated here: " << resizeError.message();
        EXPECT_EQ(r.eState, State::ReadFailed);
        EXPECT_NE(r.strError.find("grew shorter while it was read"), std::string::npos) << r.strError;
        EXPECT_GE(r.nFrames, 19);
        EXPECT_LT(r.nFrames, nTotal);
        if (c.nExpectFrames >= 0) {
            EXPECT_EQ(r.nFrames, c.nExpectFrames);
        }
        EXPECT_FALSE(std::filesystem::exists(out)) << "a rebuild of part of the stream is not kept";
        ASSERT_GE(host.rows.size(), 1u);
        EXPECT_LE(host.rows.size(), 2u) << "at most the cut-short last frame adds a row";
        EXPECT_EQ(host.rows[0].nFrameSize, 100);
    }
}

// Outputs that cannot be created: a read-only folder (not for root, whom permissions do not
// stop), a folder in the way of the output name, a path under a regular file, and an output
// that is the input itself under another name. Catches an input truncated by opening its own
// name for writing, a walk run with nowhere to write, and causes that send the user the wrong
// way. The input is never touched and nothing is left behind.
TEST(HostileInput, OutputsThatCannotBeCreated)
{
    CTempDir dir;
    FrameSpec a;
    const std::string in = dir.Path("in.dts");
    WriteFileBytes(in, RepeatFrame(a, 10));
    const FileSnapshot before = Snapshot(in);

    auto expectCannotCreate = [&](const std::string& out, const std::string& strCause) {
        SCOPED_TRACE(out);
        CRecorderHost host;
        const CFileJob::Result r = RunJob(host, in, out, true);
        EXPECT_EQ(r.eState, State::CannotCreateOutput);
        EXPECT_STREQ(CFileJob::StateText(r.eState), "error: cannot create output");
        EXPECT_EQ(r.strError, strCause);
        EXPECT_FALSE(r.bOutputWritten);
        EXPECT_EQ(r.nFrames, 0) << "no walk without the output";
        EXPECT_TRUE(host.rows.empty());
        ExpectUnchanged(in, before);
    };

    std::filesystem::create_directory(dir.Path("folder.out"));
    expectCannotCreate(dir.Path("folder.out"), "a folder of that name is in the way");
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path("folder.out")));

    WriteFileBytes(dir.Path("plain"), {1, 2, 3});
    expectCannotCreate(dir.Path("plain") + "/x.dts", "its folder is a file");
    EXPECT_EQ(ReadFileBytes(dir.Path("plain")), Bytes({1, 2, 3}));

    expectCannotCreate(in, "it would overwrite the input");
    std::filesystem::create_hard_link(in, dir.Path("hard.dts"));
    expectCannotCreate(dir.Path("hard.dts"), "it would overwrite the input");
#ifndef _WIN32
    std::filesystem::create_symlink(in, dir.Path("soft.dts"));
    expectCannotCreate(dir.Path("soft.dts"), "it would overwrite the input");

    const std::string readOnly = dir.Path("read-only");
    std::filesystem::create_directory(readOnly);
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (PermissionsDenyAccess()) {
        expectCannotCreate(readOnly + "/out.dts", "the file cannot be created (read-only folder or no permission?)");
        EXPECT_FALSE(std::filesystem::exists(readOnly + "/out.dts"));
    }
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_all);
    if (!PermissionsDenyAccess())
        GTEST_SKIP() << kPermissionsDoNotDeny;
#endif
}

#ifndef _WIN32
// Outputs that cannot be written: a device (/dev/full) or a link to one at the output name is
// refused before the walk and left as it is; a plain file that stops growing (a file-size limit
// stands in for a full disk, and holds for root) fails the write and leaves the older output as
// it was. Catches a device written through or removed, a failure reported as done, a short
// file left looking complete, an older output truncated, and a temporary file left behind.
TEST(HostileInput, WritesThatFail)
{
    CTempDir dir;
    const std::string in = dir.Path("in.dts");
    FrameSpec big;
    big.fsize = 999;
    for (int nFrames : {1, 100}) {
        SCOPED_TRACE(nFrames);
        WriteFileBytes(in, RepeatFrame(big, nFrames));
        const FileSnapshot before = Snapshot(in);
        if (HasDevFull()) {
            CRecorderHost host;
            const CFileJob::Result r = RunJob(host, in, "/dev/full", true);
            EXPECT_EQ(r.eState, State::CannotCreateOutput);
            EXPECT_EQ(r.strError, "something that is not a plain file (a fifo or a device) is in the way (it was left as it is)");
            EXPECT_FALSE(r.bOutputWritten);
            EXPECT_TRUE(host.rows.empty()) << "refused before the walk";
            EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
        }
        // Through a link to the device: the link stays too, and is never written through.
        const std::string link = dir.Path("full.out");
        std::filesystem::remove(link);
        std::filesystem::create_symlink("/dev/full", link);
        {
            CRecorderHost host;
            const CFileJob::Result r = RunJob(host, in, link, true);
            EXPECT_EQ(r.eState, State::CannotCreateOutput);
            EXPECT_TRUE(std::filesystem::is_symlink(link));
        }
        ExpectUnchanged(in, before);
    }

    // A file-size limit of 4000 bytes on a 100,000-byte output: the write fails with EFBIG
    // (the signal that would otherwise end the process is ignored for the run).
    const std::string out = dir.Path("limited.out");
    WriteFileBytes(out, Bytes{5, 5, 5});
    std::filesystem::remove(dir.Path("full.out"));
    const FileSnapshot before = Snapshot(in);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    if (old.rlim_max != RLIM_INFINITY && old.rlim_max < 4000)
        GTEST_SKIP() << "file-size limit already below the test's";
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 4000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    CRecorderHost host;
    const CFileJob::Result r = RunJob(host, in, out, true);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(r.eState, State::WriteFailed);
    EXPECT_EQ(r.nFrames, 66) << "the walk ends at the first failed block (64 KiB of 1000-byte frames)";
    EXPECT_EQ(r.strError, "writing the output failed (disk full?); no output was kept; "
                          "the older output of that name was left as it was");
    EXPECT_EQ(ReadFileBytes(out), (Bytes{5, 5, 5})) << "the older output is left as it was";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), std::filesystem::directory_iterator()), 2)
        << "the input and the older output only: no temporary file";
    EXPECT_FALSE(r.bOutputWritten);
    ExpectUnchanged(in, before);
    if (!HasDevFull())
        GTEST_SKIP() << kNoDevFull;
}
#endif

// Inputs that are not files: a directory, a fifo with no writer, endless and empty devices, an
// unreadable file (not for root). Catches an open that blocks on a fifo (a watchdog opens the
// writing end after ten seconds, so a blocked open ends as a failure instead of a hang), a
// device read for ever, and a cause that does not say what is wrong. No output is created.
TEST(HostileInput, InputsThatAreNotFiles)
{
    CTempDir dir;
    const std::string out = dir.Path("never.out");
    auto expectCannotOpen = [&](const std::string& in, const std::string& strCause) {
        SCOPED_TRACE(in);
        CRecorderHost host;
        const CFileJob::Result r = RunJob(host, in, out, true);
        EXPECT_EQ(r.eState, State::CannotOpenInput);
        EXPECT_STREQ(CFileJob::StateText(r.eState), "error: cannot open input");
        EXPECT_EQ(r.strError, strCause);
        EXPECT_EQ(r.nFrames, 0);
        EXPECT_FALSE(std::filesystem::exists(out));
    };

    std::filesystem::create_directory(dir.Path("folder.dts"));
    expectCannotOpen(dir.Path("folder.dts"), "it is a directory");
    expectCannotOpen(dir.Path("missing.dts"), "the file does not exist");
#ifndef _WIN32
    const std::string fifo = dir.Path("fifo.dts");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> bDone{false};
    std::atomic<bool> bBlocked{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 1000 && !bDone; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!bDone) {
            bBlocked = true;
            const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                close(fd);
        }
    });
    expectCannotOpen(fifo, "it is not a regular file");
    bDone = true;
    watchdog.join();
    EXPECT_FALSE(bBlocked) << "opening a fifo blocked";

    for (const char* device : {"/dev/zero", "/dev/null", "/dev/urandom"}) {
        if (std::filesystem::exists(device))
            expectCannotOpen(device, "it is not a regular file");
    }
    const std::string locked = dir.Path("locked.dts");
    WriteFileBytes(locked, Bytes(100, 0));
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    if (!PermissionsDenyAccess())
        GTEST_SKIP() << kPermissionsDoNotDeny;
    expectCannotOpen(locked, "it cannot be read (permission denied?)");
#endif
}

// 8 MiB made of core syncs (7FFE8001 repeated: a candidate every 4 bytes, each announcing a
// frame of 10241 bytes) before real frames, as plain big-endian bytes, as 16-bit little-endian
// words, and with the frames in WAVE: catches a search whose confirmations re-read what the last
// one read (quadratic work: about a minute here), and a quick refusal that refuses a real frame.
TEST(HostileInput, InputMadeOfSyncsIsSearchedInLinearTime)
{
    const Bytes frames = RepeatFrame(FrameSpec{}, 50);
    Bytes dense;
    for (int i = 0; i < (8 << 20) / 4; ++i)
        Append(dense, Bytes{0x7F, 0xFE, 0x80, 0x01});
    Bytes plain = dense;
    Append(plain, frames);
    for (int nKind = 0; nKind < 3; ++nKind) {
        SCOPED_TRACE(nKind);
        CTempDir dir;
        const std::string in = dir.Path("dense.dts");
        WriteFileBytes(in, nKind == 0 ? plain : nKind == 1 ? SwapWords(plain) : WaveOf(plain));
        const auto start = std::chrono::steady_clock::now();
        CRecorderHost host;
        const CFileJob::Result r = RunJob(host, in, dir.Path("out.dts"), true);
        const double nSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(r.eState, State::Done) << r.Message();
        const Bytes out = ReadFileBytes(dir.Path("out.dts"));
        ASSERT_GE(out.size(), frames.size());
        EXPECT_TRUE(std::equal(frames.begin(), frames.end(), out.end() - static_cast<std::ptrdiff_t>(frames.size())))
            << "the real frames after the syncs are found";
        EXPECT_LT(nSeconds, 5.0) << "well under a second on any machine";
    }
}
