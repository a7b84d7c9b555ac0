// SPDX-License-Identifier: GPL-3.0-or-later
// Where a walk starts: a WAVE file whose PCM samples spell the sync, and frames after junk of any
// length in every word layout.
#include <gtest/gtest.h>

#include <filesystem>

#include "dts/FileJob.h"
#include "dts/RecorderHost.h"
#include "support/StreamVariants.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

namespace {

CFileJob::Result Inspect(CRecorderHost& host, const std::string& path)
{
    CBitStream in;
    COutBitStream out;
    return CFileJob::Run(host, in, out, path, CFileJob::OutputPathFor(path),
                         static_cast<int64_t>(std::filesystem::file_size(path)), CFileJob::Options{});
}

} // namespace

// PCM whose every sample pair reads FE 7F 01 80 (the sync as little-endian words) is no DTS: the
// first "frame" of its data fails confirmation like any other candidate, while a real stream in
// WAVE is still walked from its first frame. Catches a WAVE file's first frame taken on trust.
TEST(WalkEdges, PcmSpellingTheSyncEverywhereIsNoStream)
{
    Bytes pcm;
    for (int i = 0; i < 3000; ++i)
        pcm.insert(pcm.end(), {0xFE, 0x7F, 0x01, 0x80});
    const Bytes stream = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    CTempDir dir;
    CRecorderHost host;
    EXPECT_EQ(Inspect(host, dir.Write("pcm.wav", WrapWave(pcm))).eState, CFileJob::EState::NoFrames);
    EXPECT_TRUE(host.rows.empty());
    EXPECT_EQ(Inspect(host, dir.Write("dts.wav", WrapWave(SwapWords(stream)))).nFrames,
              static_cast<int64_t>(SplitFrames(stream).size()));
}

// Junk of odd and even length before a stream in each layout, and before a single frame: the
// frames are found at the junk's end (a 14-bit or little-endian stream at an odd offset too).
// Catches word layouts looked for only at even offsets before the first frame.
TEST(WalkEdges, FramesAfterJunkOfAnyLengthAreFound)
{
    const Bytes stream = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const int64_t nFrames = static_cast<int64_t>(SplitFrames(stream).size());
    const std::pair<const char*, Bytes> layouts[] = {
        {"16-bit BE", stream}, {"16-bit LE", SwapWords(stream)}, {"14-bit BE", Pack14(stream)},
        {"14-bit LE", Pack14(stream, false)}, {"one frame", TakeFrames(stream, 1)}, {"one 14-bit frame", Pack14(TakeFrames(stream, 1))},
    };
    for (const auto& [name, bytes] : layouts) {
        for (size_t nJunk : {3u, 4u, 1001u}) {
            SCOPED_TRACE(std::string(name) + ", junk " + std::to_string(nJunk));
            CTempDir dir;
            CRecorderHost host;
            const CFileJob::Result r = Inspect(host, dir.Write("in.dts", Concat({RandomBytes(nJunk, 11), bytes})));
            EXPECT_EQ(r.eState, CFileJob::EState::Done);
            EXPECT_EQ(r.nFrames, std::string(name).find("one") == 0 ? 1 : nFrames);
            ASSERT_EQ(host.rows.size(), 2u);
            EXPECT_EQ(host.rows[0].nSkippedBytes, static_cast<int64_t>(nJunk));
            EXPECT_EQ(host.rows[1].nOffset, nJunk);
        }
    }
}
