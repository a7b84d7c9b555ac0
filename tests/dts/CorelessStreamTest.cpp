// SPDX-License-Identifier: GPL-3.0-or-later
// Streams without a core frame: DTS Express (extension substreams alone) walked and rebuilt, and
// DTS-UHD named instead of taken for noise.
#include <gtest/gtest.h>

#include <cmath>
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
                         static_cast<int64_t>(std::filesystem::file_size(in)), CFileJob::Options{bRebuild, bCoreOnly, host.bRemoveCRC, host.bRemoveDialNorm});
}

// An Express stream as an encoder lays it out: 5.1 at 48 kHz, 4096 samples per substream, each
// substream one low bit rate asset of nBytes with the dialog normalisation code nDialNorm.
Bytes ExpressStream(int nSubstreams, int nBytes, int nDialNorm)
{
    SubstreamSpec spec;
    spec.assets = {SubstreamAsset{ESubstreamContent::LBRMode, 0, nDialNorm}};
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

} // namespace

// A built Express stream: every substream is a frame, rows made from the asset (its speakers,
// rate, size and the bit rate they give), "substreams only", and a rebuild with Remove Dialog
// Normalization equal to the same stream built with code 0 (the builder's own CRC). Catches
// substreams taken for damage, a rebuild that drops or garbles them, and a core-only rebuild that
// writes an empty file.
TEST(CorelessStream, ExpressIsWalkedAndRebuiltSubstreamBySubstream)
{
    CTempDir dir;
    const Bytes stream = ExpressStream(12, 700, 9);
    const std::string in = dir.Write("express.dts", stream);
    CRecorderHost host;
    host.bRemoveDialNorm = true;
    const CFileJob::Result r = RunJob(host, in, true);
    EXPECT_EQ(r.eState, CFileJob::EState::Done);
    EXPECT_EQ(r.nFrames, 12);
    EXPECT_EQ(r.strInputKind, "substreams only");
    EXPECT_EQ(r.stream.Text(), "DTS Express 5.1 24-bit 48 kHz, 0:01.024, " + std::to_string(std::lround(stream.size() * 8 / 1024.0)) + " kb/s");
    ASSERT_EQ(host.rows.size(), 1u);
    const size_t nSize = stream.size() / 12;
    EXPECT_EQ(host.rows[0].strFormat, "DTS Express");
    EXPECT_EQ(host.rows[0].strChannels, "C+L+R+SL+SR+LFE");
    EXPECT_TRUE(host.rows[0].bLFE);
    EXPECT_EQ(host.rows[0].nSampleRateHz, 48000);
    EXPECT_EQ(host.rows[0].nFrameSize, static_cast<int32_t>(nSize));
    EXPECT_EQ(host.rows[0].dBitrateKbps, std::round(nSize * 8 * 48000.0 / 4096 / 1000));
    EXPECT_EQ(ReadFileBytes(CFileJob::OutputPathFor(in)), ExpressStream(12, 700, 0));

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
    const std::string sample = SharedSamplePath("sample_with_dts_express.mka");
    CTempDir dir;
    const std::string es = dir.Path("express.dts");
    if (sample.empty() || ShellOutput("ffmpeg -v error -i '" + sample + "' -map 0:a:0 -c copy -f dts '" + es + "' && echo ok").empty())
        GTEST_SKIP() << "needs ../shared/samples and ffmpeg";
    CRecorderHost host;
    host.bRemoveDialNorm = true;
    const CFileJob::Result r = RunJob(host, es, true);
    EXPECT_EQ(r.eState, CFileJob::EState::Done);
    EXPECT_EQ(std::to_string(r.nFrames), ProbeFields(es)["nb_read_packets"]);
    EXPECT_EQ(r.stream.strKind, "DTS Express");
    const std::string pcm = " -f s32le - | md5sum";
    const std::string before = ShellOutput("ffmpeg -v error -i '" + es + "'" + pcm);
    EXPECT_EQ(before.size(), 36u);
    EXPECT_EQ(ShellOutput("ffmpeg -v error -i '" + CFileJob::OutputPathFor(es) + "'" + pcm), before);
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
