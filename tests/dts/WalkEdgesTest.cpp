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
// first "frame" of its data fails confirmation like any other candidate. Catches a WAVE file's
// first frame taken on trust.
TEST(WalkEdges, PcmSpellingTheSyncEverywhereIsNoStream)
{
    Bytes pcm;
    for (int i = 0; i < 3000; ++i)
        pcm.insert(pcm.end(), {0xFE, 0x7F, 0x01, 0x80});
    CTempDir dir;
    CRecorderHost host;
    const CFileJob::Result r = Inspect(host, dir.Write("pcm.wav", WrapWave(pcm)));
    EXPECT_EQ(r.eState, CFileJob::EState::NoFrames);
    EXPECT_EQ(r.nFrames, 0);
    EXPECT_TRUE(host.rows.empty());

    // A real stream in a WAVE file is still walked from its first frame.
    CRecorderHost real;
    const Bytes stream = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const CFileJob::Result ok = Inspect(real, dir.Write("dts.wav", WrapWave(SwapWords(stream))));
    EXPECT_EQ(ok.nFrames, static_cast<int64_t>(SplitFrames(stream).size()));
    EXPECT_EQ(real.rows.size(), 1u);
}

// Junk of odd and even length before a stream in each layout, and before a single frame: the
// frames are found at the junk's end (a 14-bit or little-endian stream at an odd offset too).
// Catches word layouts looked for only at even offsets before the first frame.
TEST(WalkEdges, FramesAfterJunkOfAnyLengthAreFound)
{
    const Bytes stream = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const int64_t nFrames = static_cast<int64_t>(SplitFrames(stream).size());
    struct Layout {
        const char* name;
        Bytes bytes;
        int64_t nFrames;
    };
    const Layout layouts[] = {
        {"16-bit BE", stream, nFrames},
        {"16-bit LE", SwapWords(stream), nFrames},
        {"14-bit BE", Pack14(stream), nFrames},
        {"14-bit LE", Pack14(stream, false), nFrames},
        {"one frame", TakeFrames(stream, 1), 1},
        {"one 14-bit frame", Pack14(TakeFrames(stream, 1)), 1},
    };
    for (const Layout& layout : layouts) {
        for (size_t nJunk : {3u, 4u, 1001u}) {
            SCOPED_TRACE(std::string(layout.name) + ", junk " + std::to_string(nJunk));
            CTempDir dir;
            CRecorderHost host;
            const CFileJob::Result r = Inspect(host, dir.Write("in.dts", Concat({RandomBytes(nJunk, 11), layout.bytes})));
            EXPECT_EQ(r.eState, CFileJob::EState::Done);
            EXPECT_EQ(r.nFrames, layout.nFrames);
            ASSERT_EQ(host.rows.size(), 2u);
            EXPECT_EQ(host.rows[0].nSkippedBytes, static_cast<int64_t>(nJunk));
            EXPECT_EQ(host.rows[1].nOffset, nJunk);
        }
    }
}
