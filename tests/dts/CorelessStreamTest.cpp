// Streams without a core frame: DTS Express (extension substreams alone) walked and rebuilt, and
// DTS-UHD named instead of taken for noise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "dts/FileJob.h"
#include "dts/RecorderHost.h"
#include "dts/SubstreamHeader.h"
#include "support/StreamVariants.h"
#include "support/SubstreamBuilder.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

namespace {

CFileJob::Result RunJob(CRecorderHost& host, const std::string& in, bool bRebuild, bool bCoreOnly = false)
{
    CBitStream inStream;
    COutBitStream outStream;
    return CFileJob::Run(host, inStream, outStream, in, CFileJob::OutputPathFor(in),
                         static_cast<int64_t>(std::filesystem::file_size(in)), CFileJob::Options{bRebuild, bCoreOnly});
}

// An Express stream as an encoder lays it out: 5.1 at 48 kHz, 4096 samples per substream, each
// substream one low bit rate asset of nBytes with a dialog normalisation code.
Bytes ExpressStream(int nSubstreams, int nBytes)
{
    SubstreamSpec spec;
    spec.assets = {SubstreamAsset{ESubstreamContent::LBRMode, 0, 9}};
    spec.audio = AssetAudio{6, 0x000F, 24, 12};
    spec.nRefClockCode = 2;
    spec.nDurationCode = 7;
    spec.payloads = {Bytes(static_cast<size_t>(nBytes), 0x3C)};
    Bytes stream;
    for (int i = 0; i < nSubstreams; ++i) {
        const Bytes one = BuildSubstream(spec);
        stream.insert(stream.end(), one.begin(), one.end());
    }
    return stream;
}

std::string Md5OfPcm(const std::string& path)
{
    const std::string cmd = "ffmpeg -v error -i '" + path + "' -f s32le - 2>/dev/null | md5sum";
    std::FILE* pipe = popen(cmd.c_str(), "r");
    char sum[33] = {};
    const bool bRead = pipe != nullptr && std::fread(sum, 1, 32, pipe) == 32;
    if (pipe != nullptr)
        pclose(pipe);
    return bRead ? sum : "";
}

} // namespace

// A built Express stream: every substream is a frame, rows made from the asset (its speakers,
// rate, size and the bit rate they give), "substreams only", and a rebuild with Remove Dialog
// Normalization whose every code is 0 under a header CRC that checks (the builder's own CRC).
// Catches substreams taken for damage, a rebuild that drops or garbles them, and a core-only
// rebuild that writes an empty file.
TEST(CorelessStream, ExpressIsWalkedAndRebuiltSubstreamBySubstream)
{
    CTempDir dir;
    const Bytes stream = ExpressStream(12, 700);
    const std::string in = dir.Write("express.dts", stream);
    CRecorderHost host;
    host.bRemoveDialNorm = true;
    const CFileJob::Result r = RunJob(host, in, true);
    EXPECT_EQ(r.eState, CFileJob::EState::Done);
    EXPECT_EQ(r.nFrames, 12);
    EXPECT_EQ(r.strInputKind, "substreams only");
    EXPECT_EQ(r.stream.strKind, "DTS Express");
    EXPECT_EQ(r.stream.strLayout, "5.1");
    EXPECT_NEAR(r.stream.dDurationS, 12 * 4096 / 48000.0, 1e-9);
    ASSERT_EQ(host.rows.size(), 1u);
    const size_t nSize = stream.size() / 12;
    EXPECT_EQ(host.rows[0].strFormat, "DTS Express");
    EXPECT_EQ(host.rows[0].strChannels, "C+L+R+SL+SR+LFE");
    EXPECT_TRUE(host.rows[0].bLFE);
    EXPECT_EQ(host.rows[0].nSampleRateHz, 48000);
    EXPECT_EQ(host.rows[0].nFrameSize, static_cast<int32_t>(nSize));
    EXPECT_EQ(host.rows[0].dBitrateKbps, std::round(nSize * 8 * 48000.0 / 4096 / 1000));

    const Bytes out = ReadFileBytes(CFileJob::OutputPathFor(in));
    ASSERT_EQ(out.size(), stream.size());
    SubstreamLayout layout;
    SubstreamSpec probe;
    probe.assets = {SubstreamAsset{ESubstreamContent::LBRMode, 0, 9}};
    probe.audio = AssetAudio{6, 0x000F, 24, 12};
    probe.payloads = {Bytes(700, 0x3C)};
    BuildSubstream(probe, &layout);
    for (size_t nAt = 0; nAt < out.size(); nAt += nSize) {
        EXPECT_EQ(GetHeaderField(out, nAt * 8 + layout.dialNormBits.at(0), 5), 0u) << nAt;
        EXPECT_EQ(SubstreamCrc(out.data() + nAt + 5, layout.nHeaderSize - 5), 0) << nAt;
        EXPECT_TRUE(std::equal(out.begin() + static_cast<long>(nAt + layout.nHeaderSize),
                               out.begin() + static_cast<long>(nAt + nSize), stream.begin() + static_cast<long>(nAt + layout.nHeaderSize)));
    }

    std::filesystem::remove(CFileJob::OutputPathFor(in));
    CRecorderHost coreOnly;
    const CFileJob::Result c = RunJob(coreOnly, in, true, true);
    EXPECT_EQ(c.eState, CFileJob::EState::NoCoreToKeep);
    EXPECT_EQ(c.strError, "DTS Express has no core to keep; no output was kept");
    EXPECT_FALSE(std::filesystem::exists(CFileJob::OutputPathFor(in)));
}

// The real Express sample (../shared, androidx/media's test data): as many frames as ffprobe
// counts packets, and a rebuild with Remove Dialog Normalization that FFmpeg decodes to the same
// PCM as the input.
TEST(CorelessStream, RealExpressSampleAgreesWithFfmpeg)
{
    const std::string sample = std::string(KESTRUNE_SHARED_SAMPLES) + "/sample_with_dts_express.mka";
    if (!std::filesystem::exists(sample) || std::system("ffprobe -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs " << sample << " and ffmpeg";
    CTempDir dir;
    const std::string es = dir.Path("express.dts");
    ASSERT_EQ(std::system(("ffmpeg -v error -y -i '" + sample + "' -map 0:a:0 -c copy -f dts '" + es + "'").c_str()), 0);
    std::FILE* pipe = popen(("ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 '" + es + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    long nPackets = 0;
    EXPECT_EQ(std::fscanf(pipe, "%ld", &nPackets), 1);
    pclose(pipe);

    CRecorderHost host;
    host.bRemoveDialNorm = true;
    const CFileJob::Result r = RunJob(host, es, true);
    EXPECT_EQ(r.eState, CFileJob::EState::Done);
    EXPECT_EQ(r.nFrames, nPackets);
    EXPECT_EQ(r.stream.strKind, "DTS Express");
    EXPECT_EQ(r.stream.nChannels, 6);
    const std::string before = Md5OfPcm(es);
    EXPECT_FALSE(before.empty());
    EXPECT_EQ(Md5OfPcm(CFileJob::OutputPathFor(es)), before);
}

// DTS-UHD, led by either of its sync words: named, with a cause that says what it is, not "no
// DTS frames found". Catches a UHD stream searched through as if it were noise.
TEST(CorelessStream, DtsUhdIsNamedNotSearched)
{
    for (uint32_t nSync : {DtsSync::kUhd, DtsSync::kUhdNonSync}) {
        SCOPED_TRACE(nSync);
        CTempDir dir;
        Bytes uhd;
        for (int i = 0; i < 4; ++i) {
            const uint32_t nWord = i == 0 ? nSync : DtsSync::kUhdNonSync;
            uhd.insert(uhd.end(), {uint8_t(nWord >> 24), uint8_t(nWord >> 16), uint8_t(nWord >> 8), uint8_t(nWord)});
            const Bytes body = RandomBytes(600, 77 + i);
            uhd.insert(uhd.end(), body.begin(), body.end());
        }
        CRecorderHost host;
        const CFileJob::Result r = RunJob(host, dir.Write("uhd.dts", uhd), false);
        EXPECT_EQ(r.eState, CFileJob::EState::Unsupported);
        EXPECT_STREQ(CFileJob::StateText(r.eState), "error: DTS-UHD is not supported");
        EXPECT_NE(r.strError.find("DTS-UHD stream"), std::string::npos) << r.strError;
        EXPECT_TRUE(host.rows.empty());
    }
}
