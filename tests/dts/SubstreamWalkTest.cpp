// SPDX-License-Identifier: GPL-3.0-or-later
// DTS-HD streams: FFmpeg core frames each followed by an extension substream built in the tests.
// The walk must step over the substreams, name them, keep them in a rebuild (at the 4-byte
// boundary), leave them out for Core only, and neutralise their dialog normalisation on request.
#include <gtest/gtest.h>

#include "dts/RecorderHost.h"
#include "dts/SubstreamHeader.h"
#include "dts/SubstreamReader.h"
#include "support/StreamVariants.h"
#include "support/SubstreamBuilder.h"
#include "support/SyntheticFrames.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

namespace {

using Bytes = std::vector<uint8_t>;

LoopRun Walk(const Bytes& file, bool bCoreOnly = false, bool bRemoveDialNorm = false)
{
    CTempDir dir;
    const std::string path = dir.Write("hd.dts", file);
    LoopRun run;
    run.host.bRebuild = true;
    CTempDir outDir;
    CFileBitStream in;
    COutBitStream out;
    EXPECT_TRUE(in.Open(path));
    EXPECT_TRUE(OpenOutputFile(out, outDir.Path("out.dts")));
    CFrameLoop loop(run.host, in, &out);
    loop.SetCoreOnly(bCoreOnly);
    loop.SetRemovals(CFrameLoop::Removals{false, bRemoveDialNorm});
    run.nFrames = loop.ParseFile(static_cast<int64_t>(file.size()), in.GetInputKind());
    out.Close();
    run.output = ReadFileBytes(outDir.Path("out.dts"));
    return run;
}

} // namespace

// Catches a walk that stops after the first HD frame, a wrong kind, a size field read at the wrong
// width, a rebuild that loses or moves substreams, and Core only keeping them.
TEST(SubstreamWalk, StepsOverNamesKeepsAndDropsSubstreams)
{
    const Bytes core = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const int64_t nFrames = static_cast<int64_t>(SplitFrames(core).size());
    for (bool bWide : {false, true}) {
        SCOPED_TRACE(bWide ? "wide header" : "narrow header");
        SubstreamSpec ma;
        ma.bWide = bWide;
        ma.nPayloadBytes = 300;
        const Bytes hd = AppendSubstreams(core, [&](size_t) { return ma; });
        const LoopRun run = Walk(hd);
        EXPECT_EQ(run.nFrames, nFrames);
        ASSERT_EQ(run.host.rows.size(), 1u);
        EXPECT_EQ(run.host.rows[0].strFormat, "DTS 16/48 + DTS-HD MA");
        EXPECT_EQ(run.host.rows[0].nFrameSize, static_cast<int32_t>(SplitFrames(core)[1]));
        EXPECT_EQ(run.output, hd) << "every substream kept at its boundary";
        EXPECT_EQ(Walk(hd, true).output, core) << "Core only";
    }
    const struct {
        ESubstreamContent eContent;
        const char* pszKind;
    } kinds[] = {{ESubstreamContent::XBR, "DTS-HD HRA"}, {ESubstreamContent::LBRMode, "DTS Express"},
                 {ESubstreamContent::CoreOnly, "DTS-HD"}};
    for (const auto& kind : kinds) {
        SubstreamSpec spec;
        spec.assets[0].eContent = kind.eContent;
        const LoopRun run = Walk(AppendSubstreams(core, [&](size_t) { return spec; }));
        ASSERT_FALSE(run.host.rows.empty());
        EXPECT_EQ(run.host.rows[0].strExtension, kind.pszKind);
    }
}

// Catches a kind that is not watched (HD and core-only frames alternating must show), a cut
// substream written, and a dialog normalisation left in a substream or a CRC left stale.
TEST(SubstreamWalk, AlternationCutEndsAndDialNorm)
{
    const Bytes core = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    SubstreamSpec ma;
    ma.assets[0].dialNorm = 12;
    const Bytes alternating = AppendSubstreams(core, [&](size_t i) { return i < 3 || i >= 6 ? std::optional(ma) : std::nullopt; });
    const LoopRun run = Walk(alternating);
    ASSERT_EQ(run.host.rows.size(), 3u);
    EXPECT_EQ(run.host.rows[1].nFrame, 3);
    EXPECT_EQ(run.host.rows[1].strExtension, "");
    EXPECT_EQ(run.host.rows[2].nFrame, 6);

    // The last substream cut by the end of the input: its frame is cut short, not written.
    Bytes cut = AppendSubstreams(core, [&](size_t) { return ma; });
    const Bytes whole = cut;
    cut.resize(cut.size() - 5);
    const LoopRun cutRun = Walk(cut);
    const std::vector<size_t> starts = SplitFrames(core);
    EXPECT_EQ(cutRun.nFrames, static_cast<int64_t>(starts.size()));
    EXPECT_LT(cutRun.output.size(), whole.size() - core.size() / starts.size());

    // Remove Dialog Normalization: every substream's code is 0 and its header CRC still checks.
    SubstreamLayout layout;
    BuildSubstream(ma, &layout);
    ASSERT_EQ(layout.dialNormBits.size(), 1u);
    const LoopRun neutral = Walk(whole, false, true);
    ASSERT_EQ(neutral.output.size(), whole.size());
    size_t nChecked = 0;
    for (size_t i = 0; i + 4 <= neutral.output.size(); ++i) {
        if (neutral.output[i] != 0x64 || neutral.output[i + 1] != 0x58 || neutral.output[i + 2] != 0x20 || neutral.output[i + 3] != 0x25)
            continue;
        SubstreamInfo info;
        ASSERT_TRUE(ParseSubstream(neutral.output.data() + i, neutral.output.size() - i, info));
        EXPECT_TRUE(info.bCrcOk);
        EXPECT_EQ(GetHeaderField(whole, i * 8 + layout.dialNormBits[0], 5), 12u) << "the input's code";
        EXPECT_EQ(GetHeaderField(neutral.output, i * 8 + layout.dialNormBits[0], 5), 0u);
        ++nChecked;
    }
    EXPECT_EQ(nChecked, starts.size());
}

// An open-rate frame as long as the standard says (FSIZE + 1) whose last byte is a zero, followed
// by padding and a substream: read as FSIZE bytes, its last byte would pass for padding. Catches
// a frame cut by a byte, and a rebuild that a second rebuild changes.
TEST(SubstreamWalk, OpenRateFrameBeforePaddingKeepsItsLastByte)
{
    FrameSpec spec;
    spec.fsize = 100;
    Bytes frame = MakeFrame(spec);
    SetHeaderField(frame, DtsBits::kRATE, 5, 29);
    frame.back() = 0;
    const Bytes sub = BuildSubstream(SubstreamSpec{});
    Bytes hd;
    for (int i = 0; i < 3; ++i) {
        hd.insert(hd.end(), frame.begin(), frame.end());
        hd.insert(hd.end(), 3, 0);  // 101 bytes, padded to 104
        hd.insert(hd.end(), sub.begin(), sub.end());
    }
    const LoopRun run = Walk(hd);
    EXPECT_EQ(run.nFrames, 3);
    ASSERT_EQ(run.host.rows.size(), 1u);
    EXPECT_EQ(run.host.rows[0].nFrameSize, 101);
    EXPECT_EQ(run.output, hd);
}

// One core frame followed by 1.5 MiB of valid substreams, then the rest of the stream: a run
// longer than any real frame carries (a DTS and a DTS Express stream run together). Catches a run
// held whole in memory (without bound, and cut to an int past 2 GiB): the substreams past the
// bound are skipped damage, the frames after them still walked and written, the first frame kept
// with what fitted.
TEST(SubstreamWalk, RunLongerThanAnyRealOneIsBoundedDamage)
{
    const Bytes core = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const std::vector<size_t> starts = SplitFrames(core);
    SubstreamSpec spec;
    spec.bWide = true;
    spec.nPayloadBytes = 4000;
    const Bytes sub = BuildSubstream(spec);
    Bytes hostile(core.begin(), core.begin() + static_cast<std::ptrdiff_t>(starts[1]));
    hostile.resize((hostile.size() + 3) / 4 * 4, 0);
    const size_t nRunStart = hostile.size();
    while (hostile.size() - nRunStart < (size_t{3} << 19))
        hostile.insert(hostile.end(), sub.begin(), sub.end());
    const size_t nRunBytes = hostile.size() - nRunStart;
    hostile.insert(hostile.end(), core.begin() + static_cast<std::ptrdiff_t>(starts[1]), core.end());

    const LoopRun run = Walk(hostile);
    EXPECT_EQ(run.nFrames, static_cast<int64_t>(starts.size()));
    int64_t nSkipped = 0;
    for (const FrameRow& row : run.host.rows)
        nSkipped += row.nSkippedBytes;
    const int64_t nKept = static_cast<int64_t>(nRunBytes) - nSkipped;
    EXPECT_GT(nSkipped, 0) << "the run past the bound is damage";
    EXPECT_LE(nKept, CSubstreamReader::kLongestRunAfterCore);
    EXPECT_EQ(nKept % static_cast<int64_t>(sub.size()), 0) << "whole substreams kept";
    EXPECT_EQ(run.output.size(), core.size() + (nRunStart - starts[1]) + static_cast<size_t>(nKept));
    EXPECT_TRUE(std::equal(core.begin() + static_cast<std::ptrdiff_t>(starts[1]), core.end(),
                           run.output.end() - static_cast<std::ptrdiff_t>(core.size() - starts[1])))
        << "the frames after the run are written";
}
