// SPDX-License-Identifier: GPL-3.0-or-later
// The frame loop on real streams made by FFmpeg's DTS encoder (tests/data/make_samples.sh) and on
// variants of them: 14-bit packed, WAVE-wrapped, with an inserted header CRC.
#include <gtest/gtest.h>

#include <cstdlib>

#include "dts/FrameLoop.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"
#include "support/TestFiles.h"
#include "dts/RecorderHost.h"
#include "support/SyntheticFrames.h"

namespace {

LoopRun WalkSample(const std::string& path, bool bRebuild, bool bRemoveCRC = false, bool bRemoveDialNorm = false)
{
    LoopRun run;
    run.host.bRebuild = bRebuild;
    run.host.bRemoveCRC = bRemoveCRC;
    run.host.bRemoveDialNorm = bRemoveDialNorm;
    WalkFile(run, path);
    return run;
}

bool HaveFfmpeg()
{
#ifdef _WIN32
    return false;
#else
    return std::system("ffmpeg -hide_banner -version >/dev/null 2>&1") == 0;
#endif
}

// Decodes a raw DTS stream to 16-bit PCM with FFmpeg; empty when decoding fails.
std::vector<uint8_t> DecodePcm(const std::string& path, const CTempDir& dir, const std::string& name)
{
    const std::string pcm = dir.Path(name + ".pcm");
    const std::string cmd = "ffmpeg -hide_banner -v error -y -f dts -i '" + path + "' -f s16le '" + pcm + "'";
    if (std::system(cmd.c_str()) != 0)
        return {};
    return ReadFileBytes(pcm);
}

struct Sample {
    const char* name;
    const char* bitrate;   // from the -b:a given to the encoder
    const char* format;    // "DTS 16/" and the sample rate given to the encoder
    const char* channels;  // from the layout given to the encoder
};

// What make_samples.sh asked the encoder for.
const Sample kSamples[] = {
    {"mono_8k.dts", "32", "DTS 16/8", "A (mono)"},
    {"mono_11k.dts", "64", "DTS 16/11.025000", "A (mono)"},
    {"stereo_22k.dts", "128", "DTS 16/22.050000", "L+R (stereo)"},
    {"stereo_44k_1411k.dts", "1411.2", "DTS 16/44.100000", "L+R (stereo)"},
    {"stereo_48k.dts", "384", "DTS 16/48", "L+R (stereo)"},
    {"quad_32k.dts", "384", "DTS 16/32", "L+R+SL+SR"},
    {"surround50_32k.dts", "448", "DTS 16/32", "C+L+R+SL+SR"},
    {"surround51_44k.dts", "640", "DTS 16/44.100000", "C+L+R+SL+SR+LFE"},
    {"surround51_48k.dts", "1536", "DTS 16/48", "C+L+R+SL+SR+LFE"},
};

} // namespace

// Every sample: one row with the encoder's settings, a frame size of FSIZE + 1, the frame count
// found by walking FSIZE independently, and a rebuild that is byte-identical to the input.
TEST(RealStreams, SteadySamplesGiveOneRowAndRebuildIdentically)
{
    for (const Sample& s : kSamples) {
        SCOPED_TRACE(s.name);
        const std::string path = TestDataPath(s.name);
        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        const std::vector<size_t> frames = SplitFrames(bytes);
        ASSERT_GT(frames.size(), 1u);
        LoopRun w = WalkSample(path, true);
        EXPECT_EQ(w.nFrames, static_cast<int64_t>(frames.size()));
        EXPECT_EQ(w.host.nCurrentFrame, static_cast<int64_t>(frames.size()) - 1);
        ASSERT_EQ(w.host.rows.size(), 1u);
        const FrameRow& row = w.host.rows[0];
        EXPECT_EQ(row.CellText(0), "00000000");
        EXPECT_EQ(row.CellText(1), "00000000");
        EXPECT_EQ(row.strBitrate, s.bitrate);
        EXPECT_EQ(row.strFormat, s.format);
        EXPECT_EQ(row.strChannels, s.channels);
        EXPECT_EQ(row.nFrameSize, static_cast<int32_t>(GetHeaderField(bytes, DtsBits::kFSIZE, 14) + 1));
        EXPECT_EQ(row.strDialNorm, "-0 dB");
        EXPECT_EQ(row.CellText(7), "NO");
        ASSERT_EQ(w.host.detectedFormats.size(), 1u);
        EXPECT_EQ(w.host.detectedFormats[0], s.format);
        EXPECT_EQ(w.output, bytes);
        EXPECT_EQ(w.host.progress.back(), 100);
    }
}

// Two encodings joined: the change of bit rate and frame size is reported at its true offset.
TEST(RealStreams, BitRateChangeIsReportedWhereItHappens)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(TestDataPath("stereo_48k_ratechange.dts"));
    const std::vector<size_t> frames = SplitFrames(bytes);
    size_t changeAt = 0;
    while (changeAt < frames.size() && GetRate(bytes, frames[changeAt]) == GetRate(bytes, 0))
        ++changeAt;
    ASSERT_LT(changeAt, frames.size());
    LoopRun w = WalkSample(TestDataPath("stereo_48k_ratechange.dts"), true);
    ASSERT_EQ(w.host.rows.size(), 2u);
    EXPECT_EQ(w.host.rows[1].nOffset, frames[changeAt]);
    EXPECT_EQ(w.host.rows[1].nFrame, static_cast<int64_t>(changeAt));
    EXPECT_EQ(w.host.rows[0].strBitrate, "384");
    EXPECT_EQ(w.host.rows[1].strBitrate, "768");
    EXPECT_EQ(w.output, bytes);
}

// 14-bit packed and WAVE inputs rebuild to the plain 16-bit stream they carry, with the same rows;
// WAVE offsets count from the start of the data chunk.
TEST(RealStreams, PackedAndWaveInputsRebuildToThePlainStream)
{
    const std::vector<uint8_t> plain = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const LoopRun reference = WalkSample(TestDataPath("stereo_48k.dts"), false);
    for (const char* name : {"stereo_48k.cpt", "stereo_48k_16le.wav"}) {
        SCOPED_TRACE(name);
        LoopRun w = WalkSample(TestDataPath(name), true);
        EXPECT_EQ(w.output, plain);
        EXPECT_EQ(w.nFrames, reference.nFrames);
        ASSERT_EQ(w.host.rows.size(), 1u);
        EXPECT_EQ(w.host.rows[0].strFormat, "DTS 16/48");
    }
    EXPECT_EQ(WalkSample(TestDataPath("stereo_48k_16le.wav"), false).host.rows[0].nOffset, 6u);
    // The 14-bit progress counts unpacked bytes: about seven eighths of the file.
    const LoopRun packed = WalkSample(TestDataPath("stereo_48k.cpt"), false);
    EXPECT_GE(packed.host.progress.back(), 85);
    EXPECT_LE(packed.host.progress.back(), 88);

    const std::vector<uint8_t> cd = ReadFileBytes(TestDataPath("stereo_44k_cd.dts"));
    for (const char* name : {"stereo_44k_cd.cpt", "stereo_44k_cd_14le.wav"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(WalkSample(TestDataPath(name), true).output, cd);
    }
}

// Remove CRC on a stream with an HCRC in every frame gives back FFmpeg's original stream byte for
// byte; the rows describe the frames as read. Remove Dialog Normalization output parses back.
TEST(RealStreams, RemovalOptionsRoundTrip)
{
    const std::vector<uint8_t> plain = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    LoopRun w = WalkSample(TestDataPath("stereo_48k_hcrc.dts"), true, true, false);
    EXPECT_EQ(w.output, plain);
    ASSERT_FALSE(w.host.rows.empty());
    EXPECT_EQ(w.host.rows[0].CellText(7), "YES");
    EXPECT_EQ(w.host.rows[0].nFrameSize, 514);

    LoopRun neutral = WalkSample(TestDataPath("stereo_48k.dts"), true, false, true);
    CTempDir dir;
    WriteFileBytes(dir.Path("n.dts"), neutral.output);
    const LoopRun back = WalkSample(dir.Path("n.dts"), true);
    EXPECT_EQ(back.nFrames, neutral.nFrames);
    EXPECT_EQ(back.output, neutral.output);
    EXPECT_EQ(SplitFrames(neutral.output), SplitFrames(plain));
}

// FFmpeg decodes the rebuilt outputs to the same PCM as the originals. Without lowering FSIZE
// when the CRC is removed, FFmpeg loses about half the frames.
TEST(RealStreams, FfmpegDecodesRebuiltOutputsToTheSamePcm)
{
    if (!HaveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    CTempDir dir;
    for (const char* name : {"stereo_48k.dts", "surround51_48k.dts", "stereo_44k_cd.dts"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> reference = DecodePcm(TestDataPath(name), dir, "ref");
        ASSERT_FALSE(reference.empty());
        WriteFileBytes(dir.Path("rebuilt.dts"), WalkSample(TestDataPath(name), true).output);
        EXPECT_EQ(DecodePcm(dir.Path("rebuilt.dts"), dir, "rebuilt"), reference);
    }
    const std::vector<uint8_t> reference = DecodePcm(TestDataPath("stereo_48k.dts"), dir, "ref");
    WriteFileBytes(dir.Path("nocrc.dts"), WalkSample(TestDataPath("stereo_48k_hcrc.dts"), true, true).output);
    EXPECT_EQ(DecodePcm(dir.Path("nocrc.dts"), dir, "nocrc"), reference);
    WriteFileBytes(dir.Path("cpt.dts"), WalkSample(TestDataPath("stereo_48k.cpt"), true).output);
    EXPECT_EQ(DecodePcm(dir.Path("cpt.dts"), dir, "cpt"), reference);
}
