// SPDX-License-Identifier: GPL-3.0-or-later
// What a path stands for, and a container's track walked through the core, with a fake
// container support standing in for FFmpeg: the core's side of movie files on its own.
#include <gtest/gtest.h>

#include <map>

#include "dts/FrameMapHost.h"
#include "dts/InputItems.h"
#include "dts/RecorderHost.h"
#include "dts/RemuxJob.h"
#include "dts/input/IContainerSupport.h"
#include "support/FakeContainer.h"
#include "support/SyntheticFrames.h"
#include "support/TestFiles.h"

namespace {

ContainerStream Stream(int nIndex, const char* pszType, const char* pszCodec, const char* pszLanguage, bool bDts)
{
    return ContainerStream{nIndex, pszType, pszCodec, pszLanguage, "", bDts};
}

} // namespace

// Catches a DTS stream or WAVE file handed to the container support (its results and speed
// must stay as they were), tracks missed or misnamed, output names that collide between tracks,
// and errors that do not say what the file holds.
TEST(InputItems, PathsBecomeFilesOrTracks)
{
    CTempDir dir;
    CFakeSupport support;
    const std::string dts = dir.Write("a.dts", RepeatFrame(3));
    const std::string wav = TestDataPath("stereo_48k_16le.wav");
    for (const std::string& path : {dts, wav}) {
        const std::vector<InputItem> items = CInputItems::Expand(path, {}, &support);
        ASSERT_EQ(items.size(), 1u);
        EXPECT_FALSE(items[0].IsTrack());
        EXPECT_EQ(items[0].strOutputPath, path + ".fixed.dts");
    }
    EXPECT_EQ(support.nProbes, 0);
    // A stream that starts with junk is asked about, and walked as before when it is none.
    const std::string junk = dir.Write("junk.dts", std::vector<uint8_t>(64, 0x55));
    EXPECT_TRUE(CInputItems::Expand(junk, {}, &support)[0].strProblem.empty());
    EXPECT_EQ(support.nProbes, 1);

    const std::string movie = dir.Write("movie.v1.mkv", {0x1A, 0x45, 0xDF, 0xA3});
    support.containers[movie] = ContainerInfo{"Matroska", {Stream(0, "video", "H.264", "", false), Stream(1, "audio", "DTS", "eng", true),
                                                          Stream(2, "audio", "AC-3", "eng", false), Stream(3, "audio", "DTS", "", true)}};
    const std::vector<InputItem> tracks = CInputItems::Expand(movie, {}, &support);
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].Label(), movie + " #1 (eng)");
    EXPECT_EQ(tracks[0].strOutputPath, movie + ".track1.fixed.dts");
    EXPECT_EQ(tracks[1].Label(), movie + " #3");
    EXPECT_EQ(tracks[1].strContainer, "Matroska");
    const std::vector<InputItem> picked = CInputItems::Expand(movie, {3}, &support);
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0].nTrack, 3);
    EXPECT_EQ(CInputItems::Expand(movie, {2}, &support)[0].strProblem,
              "no DTS track 2 (its DTS tracks: 1, 3): video (H.264), audio (DTS, eng), audio (AC-3, eng), audio (DTS)");
    EXPECT_EQ(CRemuxJob::OutputPathFor(movie), dir.Path("movie.v1.fixed.mkv"));
    EXPECT_EQ(CRemuxJob::OutputPathFor(dir.Path("v1.d/movie")), dir.Path("v1.d/movie.fixed"));

    // One DTS track: the plain output name.
    support.containers[movie].streams.pop_back();
    EXPECT_EQ(CInputItems::Expand(movie, {}, &support)[0].strOutputPath, movie + ".fixed.dts");
    support.containers[movie].streams.erase(support.containers[movie].streams.begin() + 1);
    EXPECT_EQ(CInputItems::Expand(movie, {}, &support)[0].strProblem, "no DTS track: video (H.264), audio (AC-3, eng)");
    // Without a support, a movie file is said to be one, not searched as a damaged stream.
    const std::vector<InputItem> unsupported = CInputItems::Expand(movie, {}, nullptr);
    EXPECT_NE(unsupported[0].strProblem.find("this build reads elementary streams and WAVE only"), std::string::npos);
}

// A track is walked through the bit reader like a file: offsets count its bytes, rows take their
// packet's time, the search after damage steps back inside the track, and each rebuilt frame is
// noted with where it came from. Catches offsets or times of the wrong packet, a search that
// cannot go back in a track, and a frame map that a copy would misplace frames by.
TEST(InputItems, TrackWalkKeepsOffsetsTimesAndFrameOrigins)
{
    auto pTrack = std::make_unique<CFakeTrack>();
    FrameSpec spec;
    const std::vector<uint8_t> frame = MakeFrame(spec);
    const int64_t nLength = static_cast<int64_t>(frame.size());
    spec.rate = 24;
    const std::vector<uint8_t> later = MakeFrame(spec);  // the same length, another bit rate
    for (int i = 0; i < 6; ++i) {
        std::vector<uint8_t> bytes = i < 4 ? frame : later;
        if (i == 3)
            bytes[0] = 0x00;  // no sync: damage
        pTrack->packets.emplace_back(bytes, 10.0 + i * 0.5);
    }
    CFileBitStream inStream;
    ASSERT_TRUE(inStream.Open(std::move(pTrack)));
    CTempDir dir;
    COutBitStream outStream;
    ASSERT_TRUE(OpenOutputFile(outStream, dir.Path("out.dts")));
    CRecorderHost host;
    CFrameMapHost map(host);
    CFrameLoop loop(map, inStream, &outStream);
    EXPECT_EQ(loop.ParseFile(6 * nLength, inStream.GetInputKind()), 5);
    outStream.Close();

    ASSERT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(host.rows[0].dTime, 10.0);
    EXPECT_EQ(host.rows[1].nOffset, static_cast<uint64_t>(3 * nLength));
    EXPECT_EQ(host.rows[1].nSkippedBytes, nLength);
    EXPECT_EQ(host.rows[1].dTime, 11.5);
    EXPECT_EQ(host.rows[2].nOffset, static_cast<uint64_t>(4 * nLength));
    EXPECT_EQ(host.rows[2].dTime, 12.0);
    const std::vector<std::pair<int64_t, int64_t>> expected = {
        {0, nLength}, {nLength, 2 * nLength}, {2 * nLength, 3 * nLength}, {4 * nLength, 4 * nLength}, {5 * nLength, 5 * nLength}};
    EXPECT_EQ(map.Frames(), expected);
    EXPECT_EQ(static_cast<int64_t>(ReadFileBytes(dir.Path("out.dts")).size()), expected.back().second);
}
