// CStreamSummary as the frame loop fills it: held against ffprobe on real and encoded streams, and
// against hand-built DTS-HD streams for what ffprobe cannot tell (DTS:X, the peak bit rate).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "dts/FrameLoop.h"
#include "dts/RecorderHost.h"
#include "support/StreamVariants.h"
#include "support/SubstreamBuilder.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

namespace {

CStreamSummary::Values Summarise(const std::string& path)
{
    CRecorderHost host;
    CBitStream in;
    EXPECT_TRUE(in.Open(path)) << path;
    CFrameLoop loop(host, in, nullptr);
    loop.ParseFile(static_cast<int64_t>(std::filesystem::file_size(path)));
    return loop.GetSummary().GetValues();
}

CStreamSummary::Values SummariseBytes(const std::vector<uint8_t>& bytes)
{
    CTempDir dir;
    return Summarise(dir.Write("in.dts", bytes));
}

// ffprobe's fields of the first audio stream ("channels"), and of the format ("format_duration"),
// or none without ffprobe.
std::map<std::string, std::string> Probe(const std::string& path)
{
    std::map<std::string, std::string> fields;
#ifndef _WIN32
    const std::string cmd = "ffprobe -v error -count_packets -select_streams a:0 -show_streams -show_format -of flat=s=_ '"
                            + path + "' 2>/dev/null";
    std::FILE* pipe = popen(cmd.c_str(), "r");
    if (pipe == nullptr)
        return fields;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string str(line);
        const size_t nEq = str.find('=');
        if (nEq == std::string::npos)
            continue;
        std::string value = str.substr(nEq + 1);
        value.erase(value.find_last_not_of("\"\n") + 1);
        std::string key = str.substr(0, nEq);
        if (key.rfind("streams_stream_0_", 0) == 0)
            key = key.substr(17);
        fields[key] = value.substr(value[0] == '"');
    }
    pclose(pipe);
#endif
    return fields;
}

// The checks every stream ffprobe reads must pass: its channels, layout, sample rate and (where
// it tells) bits; the duration within one frame of dDuration; the average bit rate = bytes / time.
void ExpectAgreesWithProbe(const CStreamSummary::Values& v, std::map<std::string, std::string> probe, double dDuration,
                           double dFrameSeconds, uintmax_t nBytes)
{
    EXPECT_EQ(std::to_string(v.nChannels), probe["channels"]);
    const std::string layout = probe["channel_layout"].substr(0, probe["channel_layout"].find('('));
    const std::map<std::string, std::string> names = {{"mono", "1.0"}, {"stereo", "2.0"}, {"quad", "4.0"}};
    EXPECT_EQ(v.strLayout, names.count(layout) ? names.at(layout) : layout);
    EXPECT_EQ(std::to_string(v.nSampleRateHz), probe["sample_rate"]);
    if (probe["bits_per_raw_sample"] != "N/A") {
        EXPECT_EQ(std::to_string(v.nBits), probe["bits_per_raw_sample"]);
    }
    EXPECT_NEAR(v.dDurationS, dDuration, dFrameSeconds);
    EXPECT_NEAR(v.dKbpsAvg, static_cast<double>(nBytes) * 8 / v.dDurationS / 1000, 1e-6);
}

} // namespace

// The samples of real encoders (../shared, not ours: androidx/media's test data) as ffprobe sees
// them: the MA track's 7.1 24-bit from its asset (not the core's 5.1), lossless, its 1596 kb/s.
// Catches channels taken from the core, a misread descriptor, a duration or rate off by a frame.
TEST(StreamSummary, RealSamplesAgreeWithFfprobe)
{
    const std::string dir = KESTRUNE_SHARED_SAMPLES;
    if (!std::filesystem::exists(dir) || Probe(TestDataPath("stereo_48k.dts")).empty())
        GTEST_SKIP() << "needs " << dir << " and ffprobe";
    CTempDir tmp;
    struct Expected {
        const char* name;
        const char* kind;
        bool bLossless;
    };
    for (const Expected& e : {Expected{"sample_with_dts.mkv", "DTS", false}, Expected{"sample_with_dts_hd_ma.mkv", "DTS-HD MA", true}}) {
        SCOPED_TRACE(e.name);
        const std::string es = tmp.Path(std::string(e.name) + ".dts");
        const std::string cmd = "ffmpeg -v error -y -i '" + dir + "/" + e.name + "' -map 0:a:0 -c copy -f dts '" + es + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const CStreamSummary::Values v = Summarise(es);
        std::map<std::string, std::string> container = Probe(dir + "/" + e.name);
        EXPECT_EQ(v.strKind, e.kind);
        EXPECT_EQ(v.bLossless, e.bLossless);
        EXPECT_FALSE(v.bDtsX);
        ExpectAgreesWithProbe(v, Probe(es), std::stod(container["format_duration"]), 512.0 / 48000,
                              std::filesystem::file_size(es));
    }
}

// FFmpeg's own encodes: a core alone, named "DTS", at every rate and layout the encoder makes.
TEST(StreamSummary, EncodedStreamsAgreeWithFfprobe)
{
    if (Probe(TestDataPath("stereo_48k.dts")).empty())
        GTEST_SKIP() << "needs ffprobe";
    for (const char* name : {"stereo_22k.dts", "quad_32k.dts", "stereo_44k_1411k.dts", "surround50_32k.dts",
                             "surround51_44k.dts", "surround51_48k.dts"}) {
        SCOPED_TRACE(name);
        const std::string path = TestDataPath(name);
        const CStreamSummary::Values v = Summarise(path);
        std::map<std::string, std::string> probe = Probe(path);
        EXPECT_EQ(v.strKind, "DTS");
        EXPECT_EQ(std::to_string(SplitFrames(ReadFileBytes(path)).size()), probe["nb_read_packets"]);
        ExpectAgreesWithProbe(v, probe, std::stod(probe["format_duration"]), 512.0 / v.nSampleRateHz,
                              std::filesystem::file_size(path));
        EXPECT_EQ(v.dKbpsPeak, v.dKbpsAvg) << "a steady stream peaks at its average";
    }
}

// A lossless asset is DTS:X where its frame's band data ends in either marker (the second with
// its lowest bit free), and plain MA without one; the channels, bits and rate come from the
// asset. Catches a marker looked for at the wrong place, or the asset's facts not read.
TEST(StreamSummary, DtsXMarkerAfterTheLosslessBandData)
{
    const std::vector<uint8_t> core = TakeFrames(ReadFileBytes(TestDataPath("surround51_48k.dts")), 6);
    struct Case {
        bool bDtsX;
        uint32_t nMarker;
        int nBandBytes;
        const char* kind;
    };
    for (const Case& c : {Case{true, 0x02000850, 37, "DTS-HD MA + DTS:X"}, Case{true, 0xF14000D1, 40, "DTS-HD MA + DTS:X"},
                          Case{false, 0, 37, "DTS-HD MA"}, Case{true, 0x02000851, 37, "DTS-HD MA"}}) {
        SCOPED_TRACE(c.nMarker);
        SubstreamSpec spec;
        spec.audio = AssetAudio{8, 0x004F, 24, 12};
        spec.payloads = {BuildLosslessFrame(LosslessSpec{8, c.nBandBytes, c.bDtsX, c.nMarker, 8})};
        const CStreamSummary::Values v = SummariseBytes(AppendSubstreams(core, [&](size_t) { return spec; }));
        EXPECT_EQ(v.strKind, c.kind);
        EXPECT_EQ(v.bDtsX, std::string(c.kind).find("DTS:X") != std::string::npos);
        EXPECT_EQ(v.nChannels, 8);
        EXPECT_EQ(v.strLayout, "7.1");
        EXPECT_EQ(v.strSpeakers, "C+L+R+SL+SR+LR+RR+LFE");
        EXPECT_EQ(v.nBits, 24);
        EXPECT_TRUE(v.bLossless);
    }
}

// The peak is the most bytes in any one second: a stream whose last second carries big
// substreams peaks at that second's bytes, well above its average. Catches a peak taken over a
// single frame, or over the whole stream.
TEST(StreamSummary, PeakBitRateIsTheBusiestSecond)
{
    const std::vector<uint8_t> once = ReadFileBytes(TestDataPath("surround51_48k.dts"));
    std::vector<uint8_t> core;
    for (int i = 0; i < 25; ++i)
        core.insert(core.end(), once.begin(), once.end());
    const std::vector<size_t> starts = SplitFrames(core);
    const size_t nFrames = starts.size();
    const size_t nPerSecond = 94;  // 512-sample frames at 48 kHz: the fewest that last a second
    ASSERT_GT(nFrames, 2 * nPerSecond);
    SubstreamSpec big;
    big.nPayloadBytes = 3000;
    const size_t nBig = BuildSubstream(big).size();
    const std::vector<uint8_t> hd = AppendSubstreams(core, [&](size_t i) {
        return i + nPerSecond >= nFrames ? std::optional<SubstreamSpec>(big) : std::nullopt;
    });
    // The last second: its core frames (padded to four bytes before each substream) and substreams.
    size_t nLastSecond = 0;
    for (size_t i = nFrames - nPerSecond; i < nFrames; ++i) {
        const size_t nCore = (i + 1 < nFrames ? starts[i + 1] : core.size()) - starts[i];
        nLastSecond += (nCore + 3) / 4 * 4 + nBig;
    }
    const CStreamSummary::Values v = SummariseBytes(hd);
    EXPECT_NEAR(v.dKbpsPeak, static_cast<double>(nLastSecond) * 8 / (nPerSecond * 512.0 / 48000) / 1000, 1e-6);
    EXPECT_GT(v.dKbpsPeak, v.dKbpsAvg * 1.1);
}
