// SPDX-License-Identifier: GPL-3.0-or-later
// CStreamSummary as the frame loop fills it: held against ffprobe on real and encoded streams, and
// against hand-built DTS-HD streams for what ffprobe cannot tell (DTS:X, the peak bit rate).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "dts/FrameLoop.h"
#include "dts/RecorderHost.h"
#include "support/StreamVariants.h"
#include "support/SubstreamBuilder.h"
#include "support/TestFiles.h"

namespace {

CStreamSummary::Values Summarise(const std::string& path)
{
    CRecorderHost host;
    CFileBitStream in;
    EXPECT_TRUE(in.Open(path)) << path;
    CFrameLoop loop(host, in, nullptr);
    loop.ParseFile(static_cast<int64_t>(std::filesystem::file_size(path)), in.GetInputKind());
    return loop.GetSummary().GetValues();
}

CStreamSummary::Values SummariseBytes(const std::vector<uint8_t>& bytes)
{
    CTempDir dir;
    return Summarise(dir.Write("in.dts", bytes));
}

} // namespace

// FFmpeg's encodes (a core alone, "DTS") and the real 5.1 and MA samples (../shared: androidx/
// media's test data; the MA track's 7.1 24-bit comes from its asset, not the core's 5.1) as ffprobe
// sees them: channels, layout, rate, bits where it tells, the duration within a frame (the
// container's for the samples), the average bit rate as bytes over it. Catches channels taken
// from the core, a misread descriptor, a duration or rate off by a frame.
TEST(StreamSummary, SummariesAgreeWithFfprobe)
{
    if (ProbeFields(TestDataPath("stereo_48k.dts")).empty())
        GTEST_SKIP() << "needs ffprobe";
    CTempDir dir;
    std::vector<std::pair<std::string, std::string>> inputs;  // elementary stream, what to ask ffprobe for the duration
    for (const char* name : {"stereo_22k.dts", "quad_32k.dts", "stereo_44k_1411k.dts", "surround50_32k.dts",
                             "surround51_44k.dts", "surround51_48k.dts"})
        inputs.emplace_back(TestDataPath(name), TestDataPath(name));
    for (const char* name : {"sample_with_dts.mkv", "sample_with_dts_hd_ma.mkv"}) {
        const std::string sample = SharedSamplePath(name);
        const std::string es = dir.Path(std::string(name) + ".dts");
        if (!sample.empty() && !ShellOutput("ffmpeg -v error -i '" + sample + "' -map 0:a:0 -c copy -f dts '" + es + "' && echo ok").empty())
            inputs.emplace_back(es, sample);
    }
    const std::map<std::string, std::string> names = {{"mono", "1.0"}, {"stereo", "2.0"}, {"quad", "4.0"}};
    for (const auto& [path, durationFrom] : inputs) {
        SCOPED_TRACE(path);
        const CStreamSummary::Values v = Summarise(path);
        std::map<std::string, std::string> probe = ProbeFields(path);
        EXPECT_EQ(v.strKind, probe["profile"]);
        EXPECT_EQ(v.bLossless, probe["profile"] == "DTS-HD MA");
        EXPECT_EQ(std::to_string(v.nChannels), probe["channels"]);
        const std::string layout = probe["channel_layout"].substr(0, probe["channel_layout"].find('('));
        EXPECT_EQ(v.strLayout, names.count(layout) ? names.at(layout) : layout);
        EXPECT_EQ(std::to_string(v.nSampleRateHz), probe["sample_rate"]);
        if (probe["bits_per_raw_sample"] != "N/A") {
            EXPECT_EQ(std::to_string(v.nBits), probe["bits_per_raw_sample"]);
        }
        EXPECT_NEAR(v.dDurationS, std::stod(ProbeFields(durationFrom)["format_duration"]), 512.0 / v.nSampleRateHz);
        const auto nBytes = static_cast<double>(std::filesystem::file_size(path));
        EXPECT_NEAR(v.dKbpsAvg, nBytes * 8 / v.dDurationS / 1000, 1e-6);
        EXPECT_NEAR(v.dKbpsPeak, v.dKbpsAvg, 1e-6) << "a steady stream peaks at its average";
    }
}

// A lossless asset is DTS:X where its frame's band data ends in either marker (the second with
// its lowest bit free), and plain MA without one or with a near miss; the channels, bits and rate
// come from the asset. Catches a marker looked for at the wrong place, or the asset not read.
TEST(StreamSummary, DtsXMarkerAfterTheLosslessBandData)
{
    const std::vector<uint8_t> core = TakeFrames(ReadFileBytes(TestDataPath("surround51_48k.dts")), 6);
    const std::pair<uint32_t, const char*> cases[] = {{0x02000850, "DTS-HD MA + DTS:X"}, {0xF14000D1, "DTS-HD MA + DTS:X"},
                                                      {0, "DTS-HD MA"}, {0x02000851, "DTS-HD MA"}};
    for (const auto& [nMarker, kind] : cases) {
        for (int nBandBytes : {37, 40}) {
            SCOPED_TRACE(testing::Message() << nMarker << ", " << nBandBytes);
            SubstreamSpec spec;
            spec.audio = AssetAudio{8, 0x004F, 24, 12};
            spec.payloads = {BuildLosslessFrame(LosslessSpec{8, nBandBytes, nMarker != 0, nMarker, 8})};
            const CStreamSummary::Values v = SummariseBytes(AppendSubstreams(core, [&](size_t) { return spec; }));
            EXPECT_EQ(v.strKind, kind);
            EXPECT_EQ(v.Text(), std::string(kind) + " 7.1 24-bit 48 kHz lossless, 0:00.064, " + std::to_string(std::lround(v.dKbpsAvg)) + " kb/s");
            EXPECT_EQ(v.strSpeakers, "C+L+R+SL+SR+LR+RR+LFE");
        }
    }
    // A lossless header that claims to be longer than its frame: no marker is looked for past the
    // frame's bytes (the sanitizer build catches a read beyond them).
    SubstreamSpec damaged;
    damaged.audio = AssetAudio{8, 0x004F, 24, 12};
    damaged.payloads = {BuildLosslessFrame(LosslessSpec{})};
    damaged.payloads[0][4] |= 0x0F;
    damaged.payloads[0][5] |= 0xF0;
    EXPECT_EQ(SummariseBytes(AppendSubstreams(core, [&](size_t) { return damaged; })).strKind, "DTS-HD MA");
}

// The peak is the most bytes in any one second: a stream whose last second carries big
// substreams peaks at that second's bytes, well above its average. Catches a peak taken over a
// single frame, or over the whole stream.
TEST(StreamSummary, PeakBitRateIsTheBusiestSecond)
{
    const std::vector<uint8_t> once = ReadFileBytes(TestDataPath("surround51_48k.dts"));  // 2048-byte frames
    std::vector<uint8_t> core;
    for (int i = 0; i < 25; ++i)
        core.insert(core.end(), once.begin(), once.end());
    const size_t nFrames = SplitFrames(core).size();
    const size_t nPerSecond = 94;  // 512-sample frames at 48 kHz: the fewest that last a second
    SubstreamSpec big;
    big.nPayloadBytes = 3000;
    const std::vector<uint8_t> hd = AppendSubstreams(core, [&](size_t i) {
        return i + nPerSecond >= nFrames ? std::optional<SubstreamSpec>(big) : std::nullopt;
    });
    const double dLastSecond = static_cast<double>(nPerSecond * (2048 + BuildSubstream(big).size()));
    const CStreamSummary::Values v = SummariseBytes(hd);
    EXPECT_NEAR(v.dKbpsPeak, dLastSecond * 8 / (nPerSecond * 512.0 / 48000) / 1000, 1e-6);
    EXPECT_GT(v.dKbpsPeak, v.dKbpsAvg * 1.1);
}

// The kind in full, as FFmpeg names its profiles, from the core's extension flags and what the
// substreams carry; an XCh core adds its surround centre. Catches a kind from the wrong field.
TEST(StreamSummary, KindFromCoreExtensionsAndSubstreams)
{
    struct Case {
        uint32_t nExtAudio, nExtAudioId;
        EExtensionKind eSubstreams;
        const char* text;
    };
    for (const Case& c : {Case{0, 0, EExtensionKind::None, "DTS 5.1 24-bit 48 kHz"}, Case{1, 0, EExtensionKind::None, "DTS-ES 6.1 24-bit 48 kHz"},
                          Case{1, 6, EExtensionKind::None, "DTS-ES 6.1 24-bit 48 kHz"}, Case{1, 2, EExtensionKind::None, "DTS 96/24 5.1 24-bit 96 kHz"},
                          Case{0, 0, EExtensionKind::HRA, "DTS-HD HRA 5.1 24-bit 48 kHz"}}) {
        FrameHeader h;
        h.AMODE = 9;    // C+L+R+SL+SR
        h.LFF = 1;
        h.SFREQ = 13;   // 48 kHz
        h.NBLKS = 15;   // 512 samples
        h.PCMR = 6;     // 24 bits
        h.EXT_AUDIO = c.nExtAudio;
        h.EXT_AUDIO_ID = c.nExtAudioId;
        CStreamSummary summary;
        summary.AddCoreFrame(h, c.eSubstreams, nullptr, 1500);
        EXPECT_EQ(summary.GetValues().Text(), std::string(c.text) + ", 0:00.011, 1125 kb/s");
    }
}
