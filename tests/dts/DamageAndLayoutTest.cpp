// SPDX-License-Identifier: GPL-3.0-or-later
// Real FFmpeg streams stored in every word layout, and damaged, led in by zeros or junk, or
// replaced by audio: the walk must find exactly the frames that are there and rebuild only them.
#include <gtest/gtest.h>

#include "dts/RecorderHost.h"
#include "support/StreamVariants.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<const FrameRow*> SkippedRows(const LoopRun& run)
{
    std::vector<const FrameRow*> skipped;
    for (const FrameRow& row : run.host.rows) {
        if (row.nSkippedBytes > 0)
            skipped.push_back(&row);
    }
    return skipped;
}

} // namespace

// Catches a layout that is not recognised, swapped or unpacked wrongly, in a plain file or in a
// WAVE file: every layout gives the frames, rows and rebuilt output of the 16-bit big-endian stream.
TEST(DamageAndLayout, EveryWordLayoutRebuildsToTheSameStream)
{
    const Bytes stream = ReadFileBytes(TestDataPath("stereo_44k_cd.dts"));
    const LoopRun reference = WalkRebuilding(stream);
    ASSERT_GT(reference.nFrames, 3);
    const struct {
        const char* name;
        Bytes file;
    } layouts[] = {
        {"16-bit LE", SwapWords(stream)},
        {"14-bit BE", Pack14(stream)},
        {"14-bit LE", SwapWords(Pack14(stream))},
        {"16-bit BE in WAVE", WrapWave(stream)},
        {"16-bit LE in WAVE", WrapWave(SwapWords(stream))},
        {"14-bit BE in WAVE", WrapWave(Pack14(stream))},
        {"14-bit LE in WAVE", WrapWave(SwapWords(Pack14(stream)))},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        const LoopRun run = WalkRebuilding(layout.file);
        EXPECT_EQ(run.nFrames, reference.nFrames);
        EXPECT_EQ(run.host.rows.size(), reference.host.rows.size());
        EXPECT_EQ(run.output, stream);
    }
}

// Catches a walk that stops at damage, calls junk a frame, or writes skipped bytes: zeros before
// the first frame, a broken sync in the middle, and junk spliced between frames are each one
// skipped row, and the frame after them starts a row; the output holds every intact frame.
TEST(DamageAndLayout, SkipsDamageAndResumesAtTheNextFrame)
{
    const Bytes stream = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const std::vector<size_t> starts = SplitFrames(stream);
    ASSERT_GE(starts.size(), 6u);
    const size_t nFrame = starts[1] - starts[0];

    // Lead-in zeros, as rips with a silent start have.
    const LoopRun leadIn = WalkRebuilding(Concat({Bytes(1000, 0), stream}));
    ASSERT_EQ(SkippedRows(leadIn).size(), 1u);
    EXPECT_EQ(leadIn.host.rows[0].nOffset, 0u);
    EXPECT_EQ(leadIn.host.rows[0].nSkippedBytes, 1000);
    EXPECT_EQ(leadIn.host.rows[1].nOffset, 1000u);
    EXPECT_EQ(leadIn.nFrames, static_cast<int64_t>(starts.size()));
    EXPECT_EQ(leadIn.output, stream);

    // One bad byte at the start of frame 3: that frame is lost, the rest are kept.
    Bytes broken = stream;
    broken[starts[3]] = 0x00;
    const LoopRun damaged = WalkRebuilding(broken);
    ASSERT_EQ(SkippedRows(damaged).size(), 1u);
    EXPECT_EQ(SkippedRows(damaged)[0]->nOffset, starts[3]);
    EXPECT_EQ(SkippedRows(damaged)[0]->nSkippedBytes, static_cast<int64_t>(nFrame));
    EXPECT_EQ(damaged.nFrames, static_cast<int64_t>(starts.size()) - 1);
    Bytes expected(stream.begin(), stream.begin() + static_cast<long>(starts[3]));
    expected.insert(expected.end(), stream.begin() + static_cast<long>(starts[4]), stream.end());
    EXPECT_EQ(damaged.output, expected);

    // Junk (with a false sync in it) between frames 1 and 2, at an odd length.
    Bytes junk = RandomBytes(777, 5);
    junk[100] = 0x7F, junk[101] = 0xFE, junk[102] = 0x80, junk[103] = 0x01;
    Bytes spliced(stream.begin(), stream.begin() + static_cast<long>(starts[2]));
    spliced.insert(spliced.end(), junk.begin(), junk.end());
    spliced.insert(spliced.end(), stream.begin() + static_cast<long>(starts[2]), stream.end());
    const LoopRun junked = WalkRebuilding(spliced);
    ASSERT_EQ(SkippedRows(junked).size(), 1u);
    EXPECT_EQ(SkippedRows(junked)[0]->nSkippedBytes, 777);
    EXPECT_EQ(junked.output, stream);

    // Lead-in junk before a little-endian stream: the search also finds the layout.
    const LoopRun swapped = WalkRebuilding(Concat({Bytes(64, 0x55), SwapWords(stream)}));
    ASSERT_EQ(SkippedRows(swapped).size(), 1u);
    EXPECT_EQ(swapped.output, stream);
}

// Catches a search that finds frames in audio or noise: PCM in a WAVE file and random bytes give
// no frame and no row at all.
TEST(DamageAndLayout, FindsNothingInAudioOrNoise)
{
    Bytes pcm(200000);
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        const auto sample = static_cast<int16_t>(12000 * ((i / 2) % 97) / 97 - 6000);
        pcm[i] = static_cast<uint8_t>(sample & 0xFF);
        pcm[i + 1] = static_cast<uint8_t>((sample >> 8) & 0xFF);
    }
    for (const Bytes& file : {WrapWave(pcm), RandomBytes(300000, 7), WrapWave(RandomBytes(300000, 8))}) {
        const LoopRun run = WalkRebuilding(file);
        EXPECT_EQ(run.nFrames, 0);
        EXPECT_TRUE(run.host.rows.empty());
        EXPECT_TRUE(run.output.empty());
    }
}

// Catches 14-bit words searched only as a continuous bit string: frames padded to whole words are
// all read (BE and LE, plain and in WAVE) with no skipped row; a DTS-CD rip with one stray sample
// between frames resyncs at the next frame with nothing of the stream lost; junk before packed
// words is skipped and the layout found.
TEST(DamageAndLayout, FourteenBitWordsPaddedAndResynced)
{
    // 512-byte frames are 292 words and 4 bits: each is padded to 293 words.
    const Bytes stream = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const std::vector<size_t> starts = SplitFrames(stream);
    ASSERT_GE(starts.size(), 4u);
    Bytes padded;
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t nEnd = i + 1 < starts.size() ? starts[i + 1] : stream.size();
        padded = Concat({padded, Pack14(Bytes(stream.begin() + static_cast<long>(starts[i]), stream.begin() + static_cast<long>(nEnd)))});
    }
    for (const Bytes& file : {padded, SwapWords(padded), WrapWave(SwapWords(padded))}) {
        const LoopRun run = WalkRebuilding(file);
        EXPECT_TRUE(SkippedRows(run).empty());
        EXPECT_EQ(run.nFrames, static_cast<int64_t>(starts.size()));
        EXPECT_EQ(run.output, stream);
    }

    // 1792-byte frames fill 1024 words: one stray word after frame 1 shifts the rest by a word.
    const Bytes cd = ReadFileBytes(TestDataPath("stereo_44k_cd.dts"));
    const Bytes packed = Pack14(cd);
    const size_t nFrameWords = 1024;
    ASSERT_EQ(SplitFrames(cd)[1], nFrameWords * 14 / 8);
    for (const bool bBigEndian : {true, false}) {
        Bytes stray = Concat({Bytes(packed.begin(), packed.begin() + 4 * nFrameWords), Bytes{0x12, 0x34},
                              Bytes(packed.begin() + 4 * nFrameWords, packed.end())});
        if (!bBigEndian)
            stray = SwapWords(stray);
        const LoopRun run = WalkRebuilding(stray);
        ASSERT_EQ(SkippedRows(run).size(), 1u);
        // Offsets count stream bytes: seven for every eight stored.
        EXPECT_EQ(SkippedRows(run)[0]->nOffset, 2 * 1792u);
        EXPECT_EQ(SkippedRows(run)[0]->nSkippedBytes, 1);
        EXPECT_EQ(run.output, cd);
    }

    const LoopRun junked = WalkRebuilding(Concat({RandomBytes(300, 3), SwapWords(packed)}));
    ASSERT_EQ(SkippedRows(junked).size(), 1u);
    EXPECT_EQ(SkippedRows(junked)[0]->nSkippedBytes, 300);
    EXPECT_EQ(junked.output, cd);
}
