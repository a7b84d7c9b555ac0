// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark inputs, made small: each must be walked to its end by the command line, or the
// benchmark would time a reader that stopped early.
#include "BigInput.h"

#include <gtest/gtest.h>

#include "cli/CliApp.h"
#include "dts/SyncWords.h"
#include "support/StreamVariants.h"
#include "support/TestFiles.h"

#include <sstream>

namespace {

// The first four stored bytes of a core sync in one layout match at p, the bits in ignore aside.
bool StoredSyncAt(const DtsSync::StoredSync& sync, const uint8_t* p, const uint8_t (&ignore)[4])
{
    for (int k = 0; k < 4; ++k) {
        const uint8_t nMask = sync.mask[k] & static_cast<uint8_t>(~ignore[k]);
        if ((p[k] & nMask) != (sync.bytes[k] & nMask))
            return false;
    }
    return true;
}

// A sync in any layout at p, the padding bits of 14-bit words whatever they are.
bool AnySyncAt(const uint8_t* p)
{
    static constexpr uint8_t none[4] = {0, 0, 0, 0};
    static constexpr uint8_t padBE[4] = {0xC0, 0, 0xC0, 0};
    static constexpr uint8_t padLE[4] = {0, 0xC0, 0, 0xC0};
    const uint8_t swapped[4] = {p[1], p[0], p[3], p[2]};
    return StoredSyncAt(DtsSync::k16BitBE, p, none) || StoredSyncAt(DtsSync::k16BitLE, p, none) ||
           StoredSyncAt(DtsSync::k14BitBE, p, padBE) || StoredSyncAt(DtsSync::k14BitLE, p, padLE) ||
           DtsSync::IsSubstreamAt(p) || DtsSync::IsSubstreamAt(swapped);
}

} // namespace

// Catches an input the reader cannot walk to its end (WAVE sizes that do not add up, padding
// entering a repeated 14-bit block, a chance sync left in the random stretch, substreams that end
// the walk, a frame count that does not match what was written), any of which would make the
// benchmark's figure that of a short read), and a row stream whose frames do not all differ.
TEST(CBigInput, EveryModeIsReadToItsEndWithEveryFrame)
{
    const std::vector<uint8_t> sample = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    CTempDir dir;
    for (const std::string& strMode : CBigInput::Modes()) {
        SCOPED_TRACE(strMode);
        const CBigInput input = CBigInput::Make(strMode, sample, 300 * 1024);
        const std::string strPath = dir.Path(strMode + ".in");
        ASSERT_TRUE(input.Write(strPath));
        EXPECT_EQ(ReadFileBytes(strPath).size(), input.FileBytes());
        EXPECT_GE(input.FileBytes(), 300u * 1024);

        std::ostringstream out, err;
        EXPECT_EQ(CCliApp::Run({"--json", strPath}, out, err, nullptr), 0) << err.str();
        EXPECT_NE(out.str().find("\"state\":\"done\""), std::string::npos) << out.str().substr(0, 400);
        EXPECT_NE(out.str().find("\"frames\":" + std::to_string(input.Frames()) + ","), std::string::npos)
            << out.str().substr(0, 400);
        if (strMode == "rows") {
            size_t nRows = 0;
            for (size_t at = out.str().find("\"frame\":"); at != std::string::npos; at = out.str().find("\"frame\":", at + 1))
                ++nRows;
            EXPECT_EQ(nRows, input.Frames()) << "the row stream must have a row in every frame";
        }
    }
}

// Catches a sync the scrub misses (a wrong pattern byte, the 14-bit padding bits compared, the
// last four bytes not looked at) and a scrub that changes bytes where no sync was.
TEST(CBigInput, ScrubLeavesNoSyncAndNothingElseChanged)
{
    std::vector<uint8_t> bytes = RandomBytes(4096, 5);
    const std::vector<std::vector<uint8_t>> planted = {
        {0x7F, 0xFE, 0x80, 0x01}, {0xFE, 0x7F, 0x01, 0x80}, {0x1F, 0xFF, 0xE8, 0x00}, {0xDF, 0xFF, 0x68, 0x00},
        {0xFF, 0x1F, 0x00, 0xE8}, {0x64, 0x58, 0x20, 0x25}, {0x58, 0x64, 0x25, 0x20}};
    const size_t offsets[] = {0, 101, 2050, 4092};
    for (size_t i = 0; i < planted.size(); ++i)
        std::copy(planted[i].begin(), planted[i].end(), bytes.begin() + 300 + 40 * i);
    for (size_t nAt : offsets)
        std::copy(planted[0].begin(), planted[0].end(), bytes.begin() + nAt);

    std::vector<uint8_t> scrubbed = bytes;
    CBigInput::ScrubSyncs(scrubbed);
    size_t nChanged = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i + 4 <= bytes.size()) {
            EXPECT_FALSE(AnySyncAt(&scrubbed[i])) << "sync left at " << i;
        }
        if (scrubbed[i] != bytes[i]) {
            ++nChanged;
            EXPECT_TRUE(AnySyncAt(&bytes[i - 1])) << "byte " << i << " changed without a sync before it";
        }
    }
    EXPECT_GE(nChanged, planted.size() + std::size(offsets));
}
