// SPDX-License-Identifier: GPL-3.0-or-later
// Extension substream headers: sizes, CRC, the kind their assets name, dialog normalisation, and
// cut or damaged headers, against substreams built bit by bit in tests/support.
#include "dts/SubstreamHeader.h"

#include "support/StreamVariants.h"
#include "support/SubstreamBuilder.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Content = ESubstreamContent;

SubstreamAsset Asset(Content eContent, std::optional<int> dialNorm = std::nullopt)
{
    return SubstreamAsset{eContent, 0, dialNorm};
}

SubstreamSpec OneAsset(Content eContent, bool bWide = false, std::optional<int> dialNorm = std::nullopt)
{
    SubstreamSpec spec;
    spec.bWide = bWide;
    spec.assets = {Asset(eContent, dialNorm)};
    return spec;
}

SubstreamInfo Parse(const std::vector<uint8_t>& bytes)
{
    SubstreamInfo info;
    EXPECT_TRUE(ParseSubstream(bytes.data(), bytes.size(), info));
    return info;
}

// Every variation of the builder's optional fields, so each kind is read through all of them.
std::vector<SubstreamSpec> Variations(const SubstreamSpec& base)
{
    std::vector<SubstreamSpec> specs;
    for (int nVariant = 0; nVariant < 8; ++nVariant) {
        SubstreamSpec spec = base;
        spec.bWide = (nVariant & 1) != 0;
        spec.bMixMetadata = (nVariant & 2) != 0;
        spec.bInfoText = (nVariant & 4) != 0;
        specs.push_back(spec);
    }
    return specs;
}

} // namespace

// Hand-written size fields pin the bit positions (a field read one bit off, or the wide widths
// swapped, gives other numbers); built substreams check both sizes count from the sync and
// include the header; a missing sync or too few bytes must not be taken for a substream.
TEST(SubstreamHeader, SizesNarrowAndWide)
{
    // 64582025, user 00, then 00 0 01000000 0001001000110100: header 0x40 + 1, size 0x1234 + 1.
    const uint8_t narrow[kSizeFieldBytes] = {0x64, 0x58, 0x20, 0x25, 0x00, 0x08, 0x02, 0x46, 0x80, 0x00};
    int nHeader = 0;
    int nSize = 0;
    ASSERT_TRUE(ReadSubstreamSizes(narrow, sizeof narrow, nHeader, nSize));
    EXPECT_EQ(nHeader, 0x41);
    EXPECT_EQ(nSize, 0x1235);
    // 00 1 101010111100 11111110110111001011: header 0xABC + 1, size 0xFEDCB + 1.
    const uint8_t wide[kSizeFieldBytes] = {0x64, 0x58, 0x20, 0x25, 0xFF, 0x35, 0x79, 0xFD, 0xB9, 0x60};
    ASSERT_TRUE(ReadSubstreamSizes(wide, sizeof wide, nHeader, nSize));
    EXPECT_EQ(nHeader, 0xABD);
    EXPECT_EQ(nSize, 0xFEDCC);

    for (bool bWide : {false, true}) {
        SubstreamSpec spec = OneAsset(Content::XLL, bWide);
        spec.nPayloadBytes = 1000;
        SubstreamLayout layout;
        const std::vector<uint8_t> bytes = BuildSubstream(spec, &layout);
        ASSERT_TRUE(ReadSubstreamSizes(bytes.data(), bytes.size(), nHeader, nSize));
        EXPECT_EQ(nHeader, static_cast<int>(layout.nHeaderSize)) << "wide " << bWide;
        EXPECT_EQ(nSize, static_cast<int>(bytes.size())) << "wide " << bWide;
        const SubstreamInfo info = Parse(bytes);
        EXPECT_EQ(info.bWideHeader, bWide);
        EXPECT_EQ(info.nHeaderSize, nHeader);
        EXPECT_EQ(info.nSubstreamSize, nSize);
    }

    std::vector<uint8_t> bytes = BuildSubstream(OneAsset(Content::XBR));
    nHeader = nSize = -1;
    EXPECT_FALSE(ReadSubstreamSizes(bytes.data(), kSizeFieldBytes - 1, nHeader, nSize));
    bytes[3] ^= 0x01;  // 64582024: no sync
    EXPECT_FALSE(ReadSubstreamSizes(bytes.data(), bytes.size(), nHeader, nSize));
    EXPECT_EQ(nHeader, -1);
    SubstreamInfo info;
    EXPECT_FALSE(ParseSubstream(bytes.data(), bytes.size(), info));
    EXPECT_EQ(info.eKind, EExtensionKind::None);
    EXPECT_FALSE(ReadSubstreamSizes(nullptr, 0, nHeader, nSize));
}

// The CRC's polynomial, start value or range (from byte 5, stored CRC included) set wrong would
// fail sound headers or pass damaged ones: a known check value, every single flipped bit of the
// covered range, and the user-defined byte that lies outside it.
TEST(SubstreamHeader, CrcGoodAndEveryFlippedBit)
{
    const char* digits = "123456789";  // CRC-16/CCITT-FALSE check value
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(digits), 9), 0x29B1);
    EXPECT_EQ(Crc16(nullptr, 0), 0xFFFF);

    for (bool bWide : {false, true}) {
        SubstreamLayout layout;
        const std::vector<uint8_t> bytes = BuildSubstream(OneAsset(Content::XLL, bWide, 12), &layout);
        EXPECT_TRUE(Parse(bytes).bCrcOk) << "wide " << bWide;
        EXPECT_EQ(Crc16(bytes.data() + 5, layout.nHeaderSize - 5), 0);
        for (size_t nBit = 5 * 8; nBit < layout.nHeaderSize * 8; ++nBit) {
            std::vector<uint8_t> damaged = bytes;
            damaged[nBit / 8] ^= static_cast<uint8_t>(0x80u >> (nBit % 8));
            const SubstreamInfo info = Parse(damaged);
            EXPECT_FALSE(info.bCrcOk) << "wide " << bWide << " bit " << nBit;
            EXPECT_EQ(info.eKind, EExtensionKind::HD) << "wide " << bWide << " bit " << nBit;
        }
        std::vector<uint8_t> userBits = bytes;
        userBits[4] = 0xA5;
        EXPECT_TRUE(Parse(userBits).bCrcOk);
    }
}

// Each coding mode and component through every optional field the builder writes (wide sizes,
// mixing metadata, info text): a field skipped with the wrong width lands the coding mode on
// other bits, and a wrong mask bit names the wrong kind.
TEST(SubstreamHeader, EachKind)
{
    const struct {
        Content eContent;
        EExtensionKind eKind;
    } cases[] = {
        {Content::CoreOnly, EExtensionKind::HD},   {Content::XBR, EExtensionKind::HRA},
        {Content::X96, EExtensionKind::HRA},       {Content::XXCH, EExtensionKind::HRA},
        {Content::LBR, EExtensionKind::Express},   {Content::LBRMode, EExtensionKind::Express},
        {Content::XLL, EExtensionKind::MA},        {Content::XLLMode, EExtensionKind::MA},
        {Content::Aux, EExtensionKind::HD},
    };
    for (const auto& c : cases) {
        for (const SubstreamSpec& spec : Variations(OneAsset(c.eContent))) {
            const SubstreamInfo info = Parse(BuildSubstream(spec));
            const std::string where = std::string(ExtensionKindLabel(c.eKind)) + " wide " +
                std::to_string(spec.bWide) + " mix " + std::to_string(spec.bMixMetadata) +
                " text " + std::to_string(spec.bInfoText);
            EXPECT_TRUE(info.bCrcOk) << where;
            EXPECT_EQ(info.eKind, c.eKind) << where;
            EXPECT_EQ(info.nDialNormAssets, 0) << where;
        }
    }
    EXPECT_STREQ(ExtensionKindLabel(EExtensionKind::MA), "DTS-HD MA");
    EXPECT_STREQ(ExtensionKindLabel(EExtensionKind::HRA), "DTS-HD HRA");
    EXPECT_STREQ(ExtensionKindLabel(EExtensionKind::Express), "DTS Express");
    EXPECT_STREQ(ExtensionKindLabel(EExtensionKind::HD), "DTS-HD");
    EXPECT_STREQ(ExtensionKindLabel(EExtensionKind::None), "");
}

// Where assets (or one asset's components) name several kinds the strongest wins, in either
// order: reading only the first asset, or letting the last one win, would fail here.
TEST(SubstreamHeader, RankingAcrossAssets)
{
    const EExtensionKind order[] = {EExtensionKind::None, EExtensionKind::HD, EExtensionKind::Express,
                                    EExtensionKind::HRA, EExtensionKind::MA};
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            EXPECT_EQ(StrongerKind(order[i], order[j]), order[std::max(i, j)]) << i << " " << j;

    const struct {
        Content a, b;
        EExtensionKind eKind;
    } pairs[] = {
        {Content::XBR, Content::XLLMode, EExtensionKind::MA},
        {Content::LBRMode, Content::X96, EExtensionKind::HRA},
        {Content::Aux, Content::LBR, EExtensionKind::Express},
        {Content::CoreOnly, Content::Aux, EExtensionKind::HD},
    };
    for (const auto& p : pairs) {
        for (bool bSwap : {false, true}) {
            SubstreamSpec spec;
            spec.assets = {Asset(bSwap ? p.b : p.a), Asset(bSwap ? p.a : p.b)};
            spec.nPayloadBytes = 64;
            for (const SubstreamSpec& variant : Variations(spec)) {
                const SubstreamInfo info = Parse(BuildSubstream(variant));
                EXPECT_TRUE(info.bCrcOk);
                EXPECT_EQ(info.eKind, p.eKind) << ExtensionKindLabel(p.eKind) << " swapped " << bSwap;
            }
        }
    }
    SubstreamSpec combined = OneAsset(Content::XBR);
    combined.assets[0].nExtraMask = 0x200 | 0x100 | 0x010 | 0x400 | 0x800;  // + XLL, LBR, core, reserved
    EXPECT_EQ(Parse(BuildSubstream(combined)).eKind, EExtensionKind::MA);
    combined.assets[0].nExtraMask = 0x100 | 0x800;  // + LBR, reserved
    EXPECT_EQ(Parse(BuildSubstream(combined)).eKind, EExtensionKind::HRA);
}

// Neutralising must clear exactly the codes and leave a header that checks: the result has to
// equal the same substream built with code 0, so a code missed, a neighbouring bit cleared or a
// stale CRC shows; codes already 0, absent codes and a damaged header leave the bytes alone.
TEST(SubstreamHeader, NeutraliseDialNorm)
{
    for (const bool bMix : {false, true}) {
        for (const bool bWide : {false, true}) {
            SubstreamSpec spec;
            spec.bWide = bWide;
            spec.bMixMetadata = bMix;
            spec.nPayloadBytes = 40;
            spec.assets = {Asset(Content::XBR, 31), Asset(Content::Aux),
                           Asset(Content::XLLMode, 17)};
            std::vector<uint8_t> bytes = BuildSubstream(spec);
            EXPECT_EQ(Parse(bytes).nDialNormAssets, 2);
            EXPECT_EQ(NeutraliseDialNorm(bytes.data(), bytes.size()), 2);
            spec.assets[0].dialNorm = 0;
            spec.assets[2].dialNorm = 0;
            EXPECT_EQ(bytes, BuildSubstream(spec)) << "wide " << bWide << " mix " << bMix;
            EXPECT_TRUE(Parse(bytes).bCrcOk);
            EXPECT_EQ(NeutraliseDialNorm(bytes.data(), bytes.size()), 0);  // already 0
            EXPECT_EQ(bytes, BuildSubstream(spec));
        }
    }
    SubstreamSpec mixed = OneAsset(Content::LBR, false, 1);
    mixed.assets.push_back(Asset(Content::X96, 0));
    std::vector<uint8_t> bytes = BuildSubstream(mixed);
    EXPECT_EQ(NeutraliseDialNorm(bytes.data(), bytes.size()), 1);  // only the non-zero code counts

    const std::vector<uint8_t> without = BuildSubstream(OneAsset(Content::XLL));
    bytes = without;
    EXPECT_EQ(NeutraliseDialNorm(bytes.data(), bytes.size()), 0);
    EXPECT_EQ(bytes, without);

    std::vector<uint8_t> damaged = BuildSubstream(OneAsset(Content::XLL, false, 20));
    damaged[7] ^= 0x10;
    const std::vector<uint8_t> before = damaged;
    EXPECT_EQ(NeutraliseDialNorm(damaged.data(), damaged.size()), 0);
    EXPECT_EQ(damaged, before);
}

// A substream cut at every length: nothing may be read past the end (run under the sanitizer
// build), a cut header never passes its CRC nor names more than HD, and neutralising a cut header
// writes nothing.
TEST(SubstreamHeader, TruncatedAtEveryLength)
{
    SubstreamSpec full;
    full.bMixMetadata = true;
    full.bInfoText = true;
    full.assets = {Asset(Content::XLL, 9), Asset(Content::LBRMode, 3)};
    for (const SubstreamSpec& spec : {OneAsset(Content::XBR), OneAsset(Content::XLLMode, true, 4), full}) {
        SubstreamLayout layout;
        const std::vector<uint8_t> bytes = BuildSubstream(spec, &layout);
        for (size_t n = 0; n < layout.nHeaderSize; ++n) {
            // An allocation of exactly n bytes, so a read past it is one the sanitizer sees.
            std::unique_ptr<uint8_t[]> cut(new uint8_t[n == 0 ? 1 : n]);
            std::memcpy(cut.get(), bytes.data(), n);
            SubstreamInfo info;
            const bool bSizes = ParseSubstream(cut.get(), n, info);
            EXPECT_EQ(bSizes, n >= kSizeFieldBytes) << "n " << n;
            EXPECT_FALSE(info.bCrcOk) << "n " << n;
            EXPECT_EQ(info.eKind, bSizes ? EExtensionKind::HD : EExtensionKind::None) << "n " << n;
            EXPECT_EQ(info.nDialNormAssets, 0) << "n " << n;
            EXPECT_EQ(NeutraliseDialNorm(cut.get(), n), 0) << "n " << n;
            EXPECT_EQ(0, std::memcmp(cut.get(), bytes.data(), n)) << "n " << n;
        }
        // The header alone is enough; the payload is not read.
        std::unique_ptr<uint8_t[]> header(new uint8_t[layout.nHeaderSize]);
        std::memcpy(header.get(), bytes.data(), layout.nHeaderSize);
        SubstreamInfo info;
        ASSERT_TRUE(ParseSubstream(header.get(), layout.nHeaderSize, info));
        EXPECT_TRUE(info.bCrcOk);
        EXPECT_NE(info.eKind, EExtensionKind::HD);
    }
}

// Headers whose CRC checks but whose fields do not fit: sizes that contradict each other, a
// descriptor shorter than its fields, and random field bits. None may crash or read past the
// header; each names HD at most for what could not be read.
TEST(SubstreamHeader, MalformedFieldsWithGoodCrc)
{
    auto reseal = [](std::vector<uint8_t>& bytes, size_t nHeader) {
        const uint16_t nCrc = SubstreamCrc(bytes.data() + 5, nHeader - 7);
        bytes[nHeader - 2] = static_cast<uint8_t>(nCrc >> 8);
        bytes[nHeader - 1] = static_cast<uint8_t>(nCrc & 0xFF);
    };
    SubstreamLayout layout;
    const std::vector<uint8_t> sound = BuildSubstream(OneAsset(Content::XLL, false, 5), &layout);

    // Substream size below the header size: the header cannot be part of its substream.
    std::vector<uint8_t> bytes = sound;
    bytes[6] &= 0xE0;  // nuExtSSFsize: 0 to 7, so 1 to 8 bytes
    bytes[7] = 0x00;
    bytes[8] &= 0x1F;
    reseal(bytes, layout.nHeaderSize);
    EXPECT_FALSE(Parse(bytes).bCrcOk);

    // Descriptor size field 0 (one byte): its fields run past it. It follows the one asset size.
    bytes = sound;
    const size_t nDescriptorBit = 43 + 8 + 16 + 1 + 5 + 1 + 3 + 3 + 1 + 8 + 1 + 16;
    for (size_t i = 0; i < 9; ++i)
        bytes[(nDescriptorBit + i) / 8] &= static_cast<uint8_t>(~(0x80u >> ((nDescriptorBit + i) % 8)));
    reseal(bytes, layout.nHeaderSize);
    SubstreamInfo info = Parse(bytes);
    EXPECT_TRUE(info.bCrcOk);
    EXPECT_EQ(info.eKind, EExtensionKind::HD);
    EXPECT_EQ(info.nDialNormAssets, 0);
    EXPECT_EQ(NeutraliseDialNorm(bytes.data(), bytes.size()), 0);

    // Random bits after the size fields, resealed: seeded so a failure can be replayed.
    const unsigned nSeed = std::random_device{}();
    std::mt19937 rng(nSeed);
    for (int nRound = 0; nRound < 20000; ++nRound) {
        const size_t nHeader = 11 + rng() % 120;
        std::vector<uint8_t> random(nHeader + rng() % 8);
        for (uint8_t& b : random)
            b = static_cast<uint8_t>(rng());
        const uint8_t prefix[] = {0x64, 0x58, 0x20, 0x25, 0x00, static_cast<uint8_t>((rng() % 4) << 6)};
        std::memcpy(random.data(), prefix, sizeof prefix);
        random[5] |= static_cast<uint8_t>((nHeader - 1) >> 3);
        random[6] = static_cast<uint8_t>(((nHeader - 1) << 5) | 0x1F);
        random[7] = 0xFF;  // substream size near 8 KB, beyond the header
        reseal(random, nHeader);
        std::unique_ptr<uint8_t[]> exact(new uint8_t[random.size()]);
        std::memcpy(exact.get(), random.data(), random.size());
        ASSERT_TRUE(ParseSubstream(exact.get(), random.size(), info)) << "seed " << nSeed;
        ASSERT_EQ(info.nHeaderSize, static_cast<int>(nHeader)) << "seed " << nSeed;
        ASSERT_TRUE(info.bCrcOk) << "seed " << nSeed << " round " << nRound;
        ASSERT_NE(info.eKind, EExtensionKind::None) << "seed " << nSeed;
        NeutraliseDialNorm(exact.get(), random.size());
        ASSERT_TRUE(ParseSubstream(exact.get(), random.size(), info));
        ASSERT_TRUE(info.bCrcOk) << "seed " << nSeed << " round " << nRound;
    }
}

// FFmpeg's reader as a second opinion on the builder's CRC, which the tests above trust: a core
// stream with a built substream after every frame draws no header checksum complaint, and the
// same with one header bit flipped does. A CRC over the wrong range fails one way or the other.
TEST(SubstreamHeader, FfmpegAgreesOnTheHeaderCrc)
{
#ifdef _WIN32
    GTEST_SKIP() << "runs ffmpeg through a POSIX shell";
#else
    if (std::system("ffmpeg -hide_banner -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    const std::vector<uint8_t> core = ReadFileBytes(TestDataPath("stereo_48k.dts"));
    const std::vector<size_t> starts = SplitFrames(core);
    CTempDir dir;
    for (bool bWide : {false, true}) {
        for (bool bDamaged : {false, true}) {
            std::vector<uint8_t> substream = BuildSubstream(OneAsset(Content::XLL, bWide, 12));
            if (bDamaged)
                substream[9] ^= 0x01;  // a static field, after the size fields of either width
            EXPECT_EQ(Parse(substream).bCrcOk, !bDamaged);
            std::vector<uint8_t> stream;
            for (size_t i = 0; i < starts.size(); ++i) {
                const size_t nEnd = i + 1 < starts.size() ? starts[i + 1] : core.size();
                stream.insert(stream.end(), core.begin() + starts[i], core.begin() + nEnd);
                stream.resize((stream.size() + 3) / 4 * 4, 0);  // substreams start on 4 bytes
                stream.insert(stream.end(), substream.begin(), substream.end());
            }
            WriteFileBytes(dir.Path("hd.dts"), stream);
            const std::string cmd = "ffmpeg -hide_banner -nostats -v error -err_detect crccheck -f dts -i '" +
                dir.Path("hd.dts") + "' -f null - 2>'" + dir.Path("log.txt") + "'";
            (void)std::system(cmd.c_str());
            const std::vector<uint8_t> log = ReadFileBytes(dir.Path("log.txt"));
            const bool bComplaint = std::string(log.begin(), log.end()).find("EXSS header checksum") != std::string::npos;
            EXPECT_EQ(bComplaint, bDamaged) << "wide " << bWide;
        }
    }
#endif
}
