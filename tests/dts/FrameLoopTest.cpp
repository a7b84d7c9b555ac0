// SPDX-License-Identifier: GPL-3.0-or-later
// Frame loop on hand-built frames: the change test, frame lengths, the ways a file ends,
// the removal options, stopping, and write failures.
#include <gtest/gtest.h>

#include "dts/FileJob.h"
#include "dts/FrameLoop.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"
#include "support/MachineTraits.h"
#include "support/TestFiles.h"
#include "dts/RecorderHost.h"
#include "support/SyntheticFrames.h"

namespace {

// Writes `stream` to a file and walks it with run.host's options.
void Walk(LoopRun& run, const std::vector<uint8_t>& stream)
{
    CTempDir dir;
    WalkFile(run, dir.Write("in.dts", stream));
}

} // namespace

// A steady stream gives one row; the change test watches exactly SFREQ, RATE, AMODE, the
// frame length, DIALNORM and HCRC, so other fields that change labels start no row.
TEST(FrameLoop, ReportsOnlyChangesOfTheSixWatchedValues)
{
    FrameSpec a;
    std::vector<uint8_t> s = RepeatFrame(a, 3);                         // frames 0-2
    FrameSpec pcmr = a;
    pcmr.pcmr = 6;                                                   // label differs, not watched
    Append(s, MakeFrame(pcmr));                                      // frame 3: no row
    FrameSpec vern = a;
    vern.vernum = 6;                                                 // not watched
    Append(s, MakeFrame(vern));                                      // frame 4: no row
    FrameSpec dial = a;
    dial.dialnorm = 5;
    Append(s, MakeFrame(dial));                                      // frame 5: row
    Append(s, MakeFrame(a));                                         // frame 6: row (back)
    FrameSpec bigger = a;
    bigger.fsize = 120;
    Append(s, MakeFrame(bigger));                                    // frame 7: row
    FrameSpec rate = bigger;
    rate.rate = 24;
    Append(s, MakeFrame(rate));                                      // frame 8: row
    FrameSpec amode = rate;
    amode.amode = 9;
    amode.lff = 1;
    Append(s, MakeFrame(amode));                                     // frame 9: row
    FrameSpec sfreq = amode;
    sfreq.sfreq = 8;
    sfreq.lff = 3;
    Append(s, MakeFrame(sfreq));                                     // frame 10: row

    LoopRun run;
    Walk(run, s);
    EXPECT_EQ(run.nFrames, 11);
    EXPECT_EQ(run.host.nCurrentFrame, 10);
    ASSERT_EQ(run.host.rows.size(), 7u);
    const auto& r = run.host.rows;
    EXPECT_EQ(r[0].CellText(0), "00000000");
    EXPECT_EQ(r[0].CellText(1), "00000000");
    EXPECT_EQ(r[0].CellText(2), "768");
    EXPECT_EQ(r[0].CellText(3), "DTS 16/48");
    EXPECT_EQ(r[0].CellText(4), "L+R (stereo)");
    EXPECT_EQ(r[0].CellText(5), "100 bytes");
    EXPECT_EQ(r[0].CellText(6), "-0 dB");
    EXPECT_EQ(r[0].CellText(7), "NO");
    EXPECT_EQ(r[1].nFrame, 5);
    EXPECT_EQ(r[1].nOffset, 500u);
    EXPECT_EQ(r[1].CellText(0), "000001F4");
    EXPECT_EQ(r[1].strDialNorm, "-5 dB");
    EXPECT_EQ(r[2].nFrame, 6);
    EXPECT_EQ(r[3].nFrame, 7);
    EXPECT_EQ(r[3].CellText(5), "121 bytes");
    EXPECT_EQ(r[4].nFrame, 8);
    EXPECT_EQ(r[4].strBitrate, "1536");
    EXPECT_EQ(r[5].nFrame, 9);
    EXPECT_EQ(r[5].strChannels, "C+L+R+SL+SR+LFE");
    EXPECT_EQ(r[6].nFrame, 10);
    EXPECT_EQ(r[6].strFormat, "DTS 16/44.100000");
    EXPECT_EQ(r[6].strChannels, "C+L+R+SL+SR") << "LFF 3 gives the bare label";
    ASSERT_EQ(run.host.detectedFormats.size(), 1u) << "only the first row fills Detected Format";
    EXPECT_EQ(run.host.detectedFormats[0], "DTS 16/48");
}

// With a CRC present, any change of HCRC starts a row even though every label stays the same.
TEST(FrameLoop, HcrcChangeStartsARowWithUnchangedLabels)
{
    FrameSpec a;
    a.cpf = true;
    a.hcrc = 0x1234;
    std::vector<uint8_t> s = RepeatFrame(a, 2);
    FrameSpec b = a;
    b.hcrc = 0x1235;
    Append(s, MakeFrame(b));
    LoopRun run;
    Walk(run, s);
    ASSERT_EQ(run.host.rows.size(), 2u);
    EXPECT_EQ(run.host.rows[1].nFrame, 2);
    EXPECT_EQ(run.host.rows[1].CellText(7), "YES");
    for (int c = 2; c <= 6; ++c)
        EXPECT_EQ(run.host.rows[0].CellText(c), run.host.rows[1].CellText(c));
}

// Frame lengths: RATE 29 frames take FSIZE bytes, others FSIZE + 1; a frame cut short by the end
// of the input is reported as cut short (the bytes present, the length its header gives), not as
// a row of its own, and never written.
TEST(FrameLoop, FrameLengthsAndCutShortLastFrame)
{
    FrameSpec open;
    open.rate = 29;
    open.fsize = 100;
    std::vector<uint8_t> s = RepeatFrame(open, 2);
    FrameSpec normal;
    normal.fsize = 100;
    const std::vector<uint8_t> whole = [&] { auto w = s; Append(w, MakeFrame(normal)); return w; }();
    Append(s, MakeFrame(normal));
    std::vector<uint8_t> last = MakeFrame(normal);
    last.resize(40);
    Append(s, last);

    const LoopRun run = WalkRebuilding(s);
    EXPECT_EQ(run.nFrames, 4) << "the cut-short frame is counted";
    ASSERT_EQ(run.host.rows.size(), 2u);
    EXPECT_EQ(run.host.rows[0].nFrameSize, 100);
    EXPECT_EQ(run.host.rows[0].strBitrate, "open");
    EXPECT_EQ(run.host.rows[1].nOffset, 200u);
    EXPECT_EQ(run.host.rows[1].nFrameSize, 101);
    ASSERT_TRUE(run.cutShort.has_value());
    EXPECT_EQ(run.cutShort->nOffset, 301);
    EXPECT_EQ(run.cutShort->nFrame, 3);
    EXPECT_EQ(run.cutShort->nBytes, 40);
    EXPECT_EQ(run.cutShort->nExpected, 101);
    // Open-rate frames are written with the FSIZE the standard gives their length (99 here).
    std::vector<uint8_t> expected = whole;
    for (size_t nFrame : {0u, 100u})
        SetHeaderField(expected, nFrame * 8 + DtsBits::kFSIZE, 14, 99);
    EXPECT_EQ(run.output, expected) << "the output ends with the last complete frame";

    // Open-rate frames FSIZE + 1 bytes long, as the standard has them, are walked as such.
    FrameSpec longer = normal;
    std::vector<uint8_t> frame = MakeFrame(longer);
    SetHeaderField(frame, DtsBits::kRATE, 5, 29);
    std::vector<uint8_t> three;
    for (int i = 0; i < 3; ++i)
        Append(three, frame);
    const LoopRun standard = WalkRebuilding(three);
    EXPECT_EQ(standard.nFrames, 3);
    ASSERT_EQ(standard.host.rows.size(), 1u);
    EXPECT_EQ(standard.host.rows[0].nFrameSize, 101);
    EXPECT_EQ(standard.output, three);
}

// The quiet ends of a file (no sync at the start, garbage after the last frame, a header cut
// short: nothing reported, written or counted), and headers no frame can have (FSIZE below its
// own length or below 95), which are damage the walk skips to resume at the next frame.
TEST(FrameLoop, EndsQuietlyAtNonSyncTruncatedHeaderAndImpossibleFsize)
{
    {
        const LoopRun run = WalkRebuilding({0xFE, 0x7F, 0x01, 0x80, 0x00, 0x00, 0x00, 0x00});
        EXPECT_EQ(run.nFrames, 0);
        EXPECT_TRUE(run.host.rows.empty());
        EXPECT_TRUE(run.host.detectedFormats.empty());
        EXPECT_TRUE(run.output.empty()) << "an empty output file";
        EXPECT_EQ(run.host.nCurrentFrame, -1);
    }
    {
        LoopRun run;
        Walk(run, {});
        EXPECT_EQ(run.nFrames, 0);
        EXPECT_EQ(run.host.progress, std::vector<int>({0, 0}));
    }
    FrameSpec a;
    const std::vector<uint8_t> two = RepeatFrame(a, 2);
    for (size_t cut = 1; cut < 13; ++cut) {
        std::vector<uint8_t> s = two;
        const std::vector<uint8_t> third = MakeFrame(a);
        s.insert(s.end(), third.begin(), third.begin() + static_cast<long>(cut));
        const LoopRun run = WalkRebuilding(s);
        EXPECT_EQ(run.nFrames, 2) << "header cut after " << cut << " bytes";
        EXPECT_EQ(run.output, two);
    }
    {
        std::vector<uint8_t> s = two;
        Append(s, {0x7F, 0xFE, 0x80, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
        const LoopRun run = WalkRebuilding(s);
        EXPECT_EQ(run.nFrames, 2);
        EXPECT_EQ(run.output, two);
    }
    for (uint32_t fsize : {0u, 5u, 11u}) {
        std::vector<uint8_t> s = two;
        FrameSpec tiny = a;
        tiny.fsize = fsize;
        tiny.dialnorm = 3; // would start a row if it were taken
        Append(s, MakeFrame(tiny));
        Append(s, two);
        const LoopRun run = WalkRebuilding(s);
        // The impossible frame is damage: the walk resumes at the next frame, in a new row.
        EXPECT_EQ(run.nFrames, 4) << "FSIZE " << fsize;
        ASSERT_EQ(run.host.rows.size(), 3u);
        EXPECT_EQ(run.host.rows[1].nOffset, two.size());
        EXPECT_EQ(run.host.rows[1].nSkippedBytes, static_cast<int64_t>(MakeFrame(tiny).size()));
        EXPECT_EQ(run.host.rows[2].nFrame, 2);
        EXPECT_EQ(run.output, RepeatFrame(a, 4));
    }
    {
        // An open-rate frame of FSIZE 95 taken as 95 bytes is below the smallest frame too: damage,
        // or its rebuild (FSIZE 94) would be damage when read again.
        FrameSpec open = a;
        open.rate = 29;
        open.fsize = 95;
        std::vector<uint8_t> s = MakeFrame(open);
        ASSERT_EQ(s.size(), 95u);
        Append(s, two);
        const LoopRun run = WalkRebuilding(s);
        EXPECT_EQ(run.nFrames, 2);
        ASSERT_EQ(run.host.rows.size(), 2u);
        EXPECT_EQ(run.host.rows[0].nSkippedBytes, 95);
        EXPECT_EQ(run.output, two);
    }
    {
        // FSIZE 94 is one below the smallest frame the standard allows: damage, even first.
        FrameSpec edge = a;
        edge.fsize = 94;
        std::vector<uint8_t> s = MakeFrame(edge);
        Append(s, two);
        const LoopRun run = WalkRebuilding(s);
        EXPECT_EQ(run.nFrames, 2);
        ASSERT_EQ(run.host.rows.size(), 2u);
        EXPECT_EQ(run.host.rows[0].CellText(3), "skipped 95 bytes");
        EXPECT_EQ(run.host.rows[1].nOffset, 95u);
        EXPECT_EQ(run.output, two);
    }
}

// "Remove CRC" drops HCRC, clears CPF and lowers FSIZE by 2, so every rebuilt frame is as long as
// its FSIZE says; rows still describe the frames as read. Frames without a CRC pass unchanged.
TEST(FrameLoop, RemoveCrcWritesConsistentFrames)
{
    FrameSpec plain;
    plain.fsize = 200;
    std::vector<uint8_t> original = RepeatFrame(plain, 3);
    FrameSpec other = plain;
    other.dialnorm = 4;
    Append(original, MakeFrame(other));
    const std::vector<uint8_t> withCrc = InsertHeaderCrc(original);

    LoopRun run;
    run.host.bRebuild = true;
    run.host.bRemoveCRC = true;
    Walk(run, withCrc);
    EXPECT_EQ(run.output, original);
    ASSERT_GE(run.host.rows.size(), 1u);
    EXPECT_EQ(run.host.rows[0].CellText(7), "YES");
    EXPECT_EQ(run.host.rows[0].nFrameSize, 203);
    // InsertHeaderCrc gives every frame its own HCRC, so every frame is a row.
    EXPECT_EQ(run.host.rows.size(), 4u);

    LoopRun noCrc;
    noCrc.host.bRebuild = true;
    noCrc.host.bRemoveCRC = true;
    Walk(noCrc, original);
    EXPECT_EQ(noCrc.output, original);
}

// "Remove Dialog Normalization" writes VERNUM 7 and DIALNORM 0, shows "-0 dB", and hides DIALNORM
// changes from the change test, whether or not the stream is rebuilt.
TEST(FrameLoop, RemoveDialNormNeutralisesFramesAndRows)
{
    FrameSpec a;
    a.vernum = 6;
    a.dialnorm = 9;
    std::vector<uint8_t> s = RepeatFrame(a, 2);
    FrameSpec b = a;
    b.dialnorm = 2;
    Append(s, MakeFrame(b));

    for (bool bRebuild : {true, false}) {
        LoopRun run;
        run.host.bRebuild = bRebuild;
        run.host.bRemoveDialNorm = true;
        Walk(run, s);
        ASSERT_EQ(run.host.rows.size(), 1u) << "a DIALNORM change alone starts no row";
        EXPECT_EQ(run.host.rows[0].strDialNorm, "-0 dB");
        if (!bRebuild)
            continue;
        ASSERT_EQ(run.output.size(), s.size());
        for (size_t start : SplitFrames(run.output)) {
            EXPECT_EQ(GetVernum(run.output, start), 7u);
            EXPECT_EQ(GetDialNorm(run.output, start), 0u);
        }
        // Everything but those two fields is as read.
        std::vector<uint8_t> expected = s;
        for (size_t start : SplitFrames(expected)) {
            SetVernum(expected, start, 7);
            SetDialNorm(expected, start, 0);
        }
        EXPECT_EQ(run.output, expected);
    }
    LoopRun keep;
    Walk(keep, s);
    ASSERT_EQ(keep.host.rows.size(), 2u);
    EXPECT_EQ(keep.host.rows[0].strDialNorm, "-25 dB");
    EXPECT_EQ(keep.host.rows[1].strDialNorm, "-18 dB");
}

// Stop: the frame in progress is completed and written, then the loop ends at the top of the
// next frame. The removals are the walk's from its start: a file is never rebuilt half with them.
TEST(FrameLoop, StopCompletesTheCurrentFrameAndRemovalsHoldForTheWalk)
{
    FrameSpec a;
    const std::vector<uint8_t> s = RepeatFrame(a, 5);
    LoopRun run;
    run.host.bRebuild = true;
    run.host.onFrame = [&](int n) {
        if (n == 2)
            run.host.bStop = true; // as if Stop were pressed while frame 1 starts
    };
    Walk(run, s);
    EXPECT_EQ(run.nFrames, 2);
    EXPECT_EQ(run.output, RepeatFrame(a, 2));

    // The recorder's flag turned on mid-walk is not read by the loop: all five keep their CRC.
    FrameSpec crc;
    crc.cpf = true;
    const std::vector<uint8_t> withCrc = RepeatFrame(crc, 5);
    LoopRun late;
    late.host.bRebuild = true;
    late.host.onFrame = [&](int n) { late.host.bRemoveCRC = n >= 3; };
    Walk(late, withCrc);
    EXPECT_EQ(late.output, withCrc) << "no frame loses its CRC";
}

// Progress runs from 0 to 100 over a plain stream; the host receives the file's rows only.
TEST(FrameLoop, ProgressAndStartOfFile)
{
    FrameSpec a;
    LoopRun run;
    Walk(run, RepeatFrame(a, 4));
    EXPECT_EQ(run.host.rows.size(), 1u);
    EXPECT_EQ(run.host.progress, std::vector<int>({0, 0, 25, 50, 75, 100}));
}

// A device at the output name is refused before the walk and left as it is; a missing input or
// output folder fails with the cause.
TEST(FileJob, WriteFailureIsReportedAndTheOutputRemoved)
{
    FrameSpec a;
    CTempDir dir;
    const std::string in = dir.Path("in.dts");
    WriteFileBytes(in, RepeatFrame(a, 50));
    CRecorderHost host;
    host.bRebuild = true;
    CBitStream inStream;
    COutBitStream outStream;
    if (HasDevFull()) {
        const CFileJob::Result r = CFileJob::Run(host, inStream, outStream, in, "/dev/full", 5000, CFileJob::Options{true, false});
        EXPECT_EQ(r.eState, CFileJob::EState::CannotCreateOutput);
        EXPECT_FALSE(r.bOutputWritten);
        EXPECT_TRUE(std::filesystem::exists("/dev/full")) << "a device is never removed";
    }
    const CFileJob::Result missing =
        CFileJob::Run(host, inStream, outStream, dir.Path("nope.dts"), dir.Path("nope.out"), 0, CFileJob::Options{true, false});
    EXPECT_EQ(missing.eState, CFileJob::EState::CannotOpenInput);
    EXPECT_EQ(missing.strError, "the file does not exist");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("nope.out"))) << "no output for an input that does not open";

    const CFileJob::Result noDir =
        CFileJob::Run(host, inStream, outStream, in, dir.Path("no/such/dir/out.dts"), 0, CFileJob::Options{true, false});
    EXPECT_EQ(noDir.eState, CFileJob::EState::CannotCreateOutput);
    EXPECT_STREQ(CFileJob::StateText(noDir.eState), "error: cannot create output");

    const CFileJob::Result ok = CFileJob::Run(host, inStream, outStream, in, CFileJob::OutputPathFor(in), 5000, CFileJob::Options{true, false});
    EXPECT_EQ(ok.eState, CFileJob::EState::Done);
    EXPECT_TRUE(ok.bOutputWritten);
    EXPECT_EQ(ReadFileBytes(in + ".fixed.dts"), ReadFileBytes(in));
    if (!HasDevFull())
        GTEST_SKIP() << kNoDevFull;
}

// A stream several input buffers long, with frames of changing sizes (so every whole frame gives a
// row) and a last frame cut short, walked as a plain, a 14-bit packed and two WAVE inputs. Every
// packing must give the same rows, with the offsets and lengths of the frames as built, and the
// same rebuilt output. Catches block reads of bodies that go wrong where a buffer refill falls
// inside a frame, or that count a cut-short body wrongly.
TEST(FrameLoop, LongStreamsGiveTheSameRowsForEveryPacking)
{
    std::vector<uint8_t> whole;
    std::vector<size_t> offsets;
    std::vector<int32_t> lengths;
    for (int i = 0; i < 150; ++i) {
        FrameSpec spec;
        spec.fsize = 1000 + static_cast<uint32_t>(i * 37 % 900);
        spec.bodySeed = static_cast<uint8_t>(i);
        offsets.push_back(whole.size());
        lengths.push_back(static_cast<int32_t>(spec.fsize + 1));
        Append(whole, MakeFrame(spec));
    }
    // The cut frame is followed by nothing: its length keeps the stream whole 14-bit words and
    // 16-bit words long (a multiple of 7 and of 2), so no packing adds a padding byte.
    std::vector<uint8_t> stream = whole;
    FrameSpec last;
    last.fsize = 1500;
    std::vector<uint8_t> cut = MakeFrame(last);
    size_t nCut = 700;
    while ((stream.size() + nCut) % 14 != 0)
        ++nCut;
    cut.resize(nCut);
    offsets.push_back(stream.size());
    lengths.push_back(static_cast<int32_t>(nCut));
    Append(stream, cut);
    ASSERT_GT(stream.size(), 3u * 64 * 1024);

    struct Kind {
        const char* name;
        std::vector<uint8_t> file;
    };
    const Kind kinds[] = {
        {"plain", stream},
        {"14-bit", Pack14(stream)},
        {"wave16", WrapWave(SwapWords(stream))},
        {"wave14", WrapWave(SwapWords(Pack14(stream)))},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const LoopRun run = WalkRebuilding(kind.file);
        EXPECT_EQ(run.nFrames, 151);
        // The cut frame is reported as such, not as a row.
        ASSERT_EQ(run.host.rows.size(), offsets.size() - 1);
        for (size_t i = 0; i + 1 < offsets.size(); ++i) {
            EXPECT_EQ(run.host.rows[i].nOffset, offsets[i]) << "row " << i;
            EXPECT_EQ(run.host.rows[i].nFrameSize, lengths[i]) << "row " << i;
        }
        ASSERT_TRUE(run.cutShort.has_value());
        EXPECT_EQ(run.cutShort->nOffset, static_cast<int64_t>(offsets.back()));
        EXPECT_EQ(run.cutShort->nBytes, lengths.back());
        EXPECT_EQ(run.cutShort->nExpected, 1501);
        EXPECT_EQ(run.output, whole) << "the whole frames, in the plain layout";
    }
}
