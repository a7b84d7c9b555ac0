// SPDX-License-Identifier: GPL-3.0-or-later
// Builds DTS-HD extension substreams from the header layout, independently of the core's reader.
#include "support/SubstreamBuilder.h"

#include "dts/SyncWords.h"
#include "support/StreamVariants.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

// Extension mask bits of the components in the substream.
constexpr uint32_t kMaskCore = 0x010, kMaskXBR = 0x020, kMaskXXCH = 0x040, kMaskX96 = 0x080;
constexpr uint32_t kMaskLBR = 0x100, kMaskXLL = 0x200, kMaskRsv1 = 0x400, kMaskRsv2 = 0x800;

// Most significant bit first, growing as fields are added.
class BitWriter {
public:
    void Put(unsigned nWidth, uint32_t nValue)
    {
        for (unsigned i = nWidth; i-- > 0;)
            PutBit((nValue >> i) & 1u);
    }
    void PutBit(unsigned nBit)
    {
        if (m_nBits % 8 == 0)
            m_bytes.push_back(0);
        if (nBit)
            m_bytes.back() |= static_cast<uint8_t>(0x80u >> (m_nBits % 8));
        ++m_nBits;
    }
    void Patch(size_t nAt, unsigned nWidth, uint32_t nValue)
    {
        SetHeaderField(m_bytes, nAt, nWidth, nValue);
    }
    void Append(const BitWriter& other)
    {
        for (size_t i = 0; i < other.m_nBits; ++i)
            PutBit((other.m_bytes[i / 8] >> (7 - i % 8)) & 1u);
    }
    void PadToByte()
    {
        while (m_nBits % 8 != 0)
            PutBit(0);
    }
    size_t Bits() const { return m_nBits; }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_nBits = 0;
};

const std::vector<uint8_t>& PayloadOf(const SubstreamSpec& spec, size_t nAsset)
{
    static const std::vector<uint8_t> kNone;
    return nAsset < spec.payloads.size() ? spec.payloads[nAsset] : kNone;
}

// nuCodingMode and, for mode 0, the extension mask of an asset.
struct Coding {
    unsigned nMode = 0;
    uint32_t nMask = 0;
};

Coding CodingOf(const SubstreamAsset& asset)
{
    switch (asset.eContent) {
    case ESubstreamContent::CoreOnly: return {0, kMaskCore | asset.nExtraMask};
    case ESubstreamContent::XBR: return {0, kMaskXBR | asset.nExtraMask};
    case ESubstreamContent::X96: return {0, kMaskX96 | asset.nExtraMask};
    case ESubstreamContent::XXCH: return {0, kMaskXXCH | asset.nExtraMask};
    case ESubstreamContent::LBR: return {0, kMaskLBR | asset.nExtraMask};
    case ESubstreamContent::XLL: return {0, kMaskXLL | asset.nExtraMask};
    case ESubstreamContent::XLLMode: return {1, kMaskXLL};
    case ESubstreamContent::LBRMode: return {2, kMaskLBR};
    case ESubstreamContent::Aux: return {3, 0};
    }
    return {};
}

// Components that take payload bytes; each is declared one byte long.
int ComponentCount(const Coding& coding)
{
    int nCount = 0;
    for (uint32_t nBit : {kMaskCore, kMaskXBR, kMaskXXCH, kMaskX96, kMaskLBR, kMaskXLL})
        nCount += (coding.nMask & nBit) ? 1 : 0;
    return nCount;
}

// nBytes: the component's size (the asset's payload), or one byte.
void PutXll(BitWriter& w, unsigned nSizeBits, size_t nBytes)
{
    w.Put(nSizeBits, static_cast<uint32_t>(std::max<size_t>(nBytes, 1) - 1));  // nuExSSXLLFsize
    w.Put(1, 0);          // no XLL sync word offset
}

void PutLbr(BitWriter& w, size_t nBytes)
{
    w.Put(14, static_cast<uint32_t>(std::max<size_t>(nBytes, 1) - 1));  // nuExSSLBRFsize
    w.Put(1, 0);          // no LBR sync distance
}

// Coding mode 0: the mask, then the size fields of the components it names.
void PutComponents(BitWriter& w, uint32_t nMask, unsigned nSizeBits, size_t nBytes)
{
    w.Put(12, nMask);
    if (nMask & kMaskCore)
        w.Put(14 + 1, 0);   // one byte of core, no sync distance
    if (nMask & kMaskXBR)
        w.Put(14, 0);
    if (nMask & kMaskXXCH)
        w.Put(14, 0);
    if (nMask & kMaskX96)
        w.Put(12, 0);
    if (nMask & kMaskLBR)
        PutLbr(w, nBytes);
    if (nMask & kMaskXLL)
        PutXll(w, nSizeBits, nBytes);
    if (nMask & kMaskRsv1)
        w.Put(16, 0x1234);  // reserved components carry 16 bits each
    if (nMask & kMaskRsv2)
        w.Put(16, 0x5678);
}

void PutCodingMode(BitWriter& w, const Coding& coding, unsigned nSizeBits, size_t nBytes)
{
    w.Put(2, coding.nMode);
    if (coding.nMode == 0)
        PutComponents(w, coding.nMask, nSizeBits, nBytes);
    if (coding.nMode == 1)
        PutXll(w, nSizeBits, nBytes);
    if (coding.nMode == 2)
        PutLbr(w, nBytes);
    if (coding.nMode == 3)
        w.Put(14 + 8 + 1, 0);  // aux size, codec id, no sync distance
    if (coding.nMask & kMaskXLL)
        w.Put(3, 5);  // nuDTSHDStreamID
}

// The static part of an asset: a language, an optional text, 24-bit stereo mapped one to one.
void PutAssetStatic(BitWriter& w, bool bInfoText, const AssetAudio& audio)
{
    w.Put(1, 0);                                  // no asset type
    w.Put(1, 1);
    w.Put(24, ('e' << 16) | ('n' << 8) | 'g');    // language
    w.Put(1, bInfoText ? 1 : 0);
    if (bInfoText) {
        const std::string text = "Kestrune test asset";
        w.Put(10, static_cast<uint32_t>(text.size() - 1));
        for (char ch : text)
            w.Put(8, static_cast<uint8_t>(ch));
    }
    w.Put(5, static_cast<uint32_t>(audio.nBits - 1));
    w.Put(4, static_cast<uint32_t>(audio.nRateCode));
    w.Put(8, static_cast<uint32_t>(audio.nChannels - 1));
    w.Put(1, 1);       // mapped one to one to speakers
    if (audio.nChannels > 2)
        w.Put(1, 0);   // no embedded stereo downmix
    if (audio.nChannels > 6)
        w.Put(1, 0);   // no embedded 5.1 downmix
    w.Put(1, audio.nSpeakerMask != 0 ? 1 : 0);
    if (audio.nSpeakerMask != 0) {
        w.Put(2, 3);   // 16 bits wide
        w.Put(16, audio.nSpeakerMask);
    }
    w.Put(3, 0);       // no remapping sets
}

// Mixing metadata of a two-channel asset for the single stereo mix-out configuration.
void PutAssetMixing(BitWriter& w)
{
    w.Put(1, 1);       // present
    w.Put(1 + 6, 0);   // no external mix, gain code 0
    w.Put(2, 3);       // custom mixing DRC code,
    w.Put(8, 0x40);    // of 8 bits
    w.Put(1, 1);       // per-channel scaling:
    w.Put(12, 0);      // 6 bits for each of the 2 mix-out channels
    for (int nChannel = 0; nChannel < 2; ++nChannel) {
        w.Put(2, 3);   // feeds both outputs,
        w.Put(12, 0);  // 6-bit coefficient each
    }
}

// One descriptor, its size field filled in; nDialNormBit receives the offset of the code in it.
BitWriter Descriptor(const SubstreamSpec& spec, int nIndex, unsigned nSizeBits, size_t& nDialNormBit)
{
    const SubstreamAsset& asset = spec.assets[static_cast<size_t>(nIndex)];
    BitWriter w;
    w.Put(9, 0);       // nuAssetDescriptFsize, patched below
    w.Put(3, static_cast<uint32_t>(nIndex));
    PutAssetStatic(w, spec.bInfoText, spec.audio);
    w.Put(1, 1);       // DRC code present:
    w.Put(8, 0x33);
    w.Put(1, asset.dialNorm ? 1 : 0);
    if (asset.dialNorm) {
        nDialNormBit = w.Bits();
        w.Put(5, static_cast<uint32_t>(*asset.dialNorm));
    }
    if (spec.bMixMetadata)
        PutAssetMixing(w);
    PutCodingMode(w, CodingOf(asset), nSizeBits, PayloadOf(spec, static_cast<size_t>(nIndex)).size());
    w.PadToByte();
    w.Patch(0, 9, static_cast<uint32_t>(w.Bits() / 8 - 1));
    return w;
}

void PutStreamStatic(BitWriter& w, const SubstreamSpec& spec)
{
    const auto nAssets = static_cast<uint32_t>(spec.assets.size());
    w.Put(2, static_cast<uint32_t>(spec.nRefClockCode));
    w.Put(3, static_cast<uint32_t>(spec.nDurationCode));
    w.Put(1, 0);       // no time code
    w.Put(3, 0);       // one presentation
    w.Put(3, nAssets - 1);
    w.Put(1, 1);       // the presentation uses substream 0,
    w.Put(8, (1u << nAssets) - 1);  // and all its assets
    w.Put(1, spec.bMixMetadata ? 1 : 0);
    if (spec.bMixMetadata) {
        w.Put(2, 0);       // adjustment level
        w.Put(2, 3);       // 16-bit mix-out masks,
        w.Put(2, 0);       // one configuration:
        w.Put(16, 0x0002); // stereo
    }
}

std::vector<int> AssetSizes(const SubstreamSpec& spec)
{
    const int nAssets = static_cast<int>(spec.assets.size());
    std::vector<int> sizes;
    for (size_t i = 0; i < spec.assets.size(); ++i) {
        int nShare = spec.nPayloadBytes / nAssets + (static_cast<int>(i) < spec.nPayloadBytes % nAssets ? 1 : 0);
        const int nPayload = static_cast<int>(PayloadOf(spec, i).size());
        sizes.push_back(nPayload > 0 ? nPayload : std::max({nShare, ComponentCount(CodingOf(spec.assets[i])), 1}));
    }
    return sizes;
}

} // namespace

std::vector<uint8_t> BuildSubstream(const SubstreamSpec& spec, SubstreamLayout* layout)
{
    if (spec.assets.empty() || spec.assets.size() > 8)
        throw std::invalid_argument("a substream holds 1 to 8 assets");
    const unsigned nHeaderBits = spec.bWide ? 12 : 8;
    const unsigned nSizeBits = spec.bWide ? 20 : 16;
    BitWriter w;
    w.Put(32, DtsSync::kSubstream);
    w.Put(8, spec.nUserBits);
    w.Put(2, 0);                      // substream index
    w.Put(1, spec.bWide ? 1 : 0);
    const size_t nSizesAt = w.Bits();
    w.Put(nHeaderBits + nSizeBits, 0);  // patched once the header is complete
    w.Put(1, 1);                      // static fields present
    PutStreamStatic(w, spec);
    const std::vector<int> sizes = AssetSizes(spec);
    int nPayload = 0;
    for (int nSize : sizes) {
        w.Put(nSizeBits, static_cast<uint32_t>(nSize - 1));
        nPayload += nSize;
    }
    std::vector<size_t> dialNormBits;
    for (size_t i = 0; i < spec.assets.size(); ++i) {
        size_t nDialNormBit = 0;
        const size_t nStart = w.Bits();
        w.Append(Descriptor(spec, static_cast<int>(i), nSizeBits, nDialNormBit));
        if (spec.assets[i].dialNorm)
            dialNormBits.push_back(nStart + nDialNormBit);
    }
    w.Put(static_cast<unsigned>(spec.assets.size()), 0);  // no backward-compatible core per asset
    w.PadToByte();
    const size_t nHeader = w.Bytes().size() + 2;
    w.Patch(nSizesAt, nHeaderBits, static_cast<uint32_t>(nHeader - 1));
    w.Patch(nSizesAt + nHeaderBits, nSizeBits, static_cast<uint32_t>(nHeader + nPayload - 1));
    std::vector<uint8_t> bytes = w.Bytes();
    const uint16_t nCrc = SubstreamCrc(bytes.data() + 5, bytes.size() - 5);
    bytes.push_back(static_cast<uint8_t>(nCrc >> 8));
    bytes.push_back(static_cast<uint8_t>(nCrc & 0xFF));
    for (size_t i = 0; i < spec.assets.size(); ++i) {
        const std::vector<uint8_t>& payload = PayloadOf(spec, i);
        if (payload.empty())
            bytes.resize(bytes.size() + static_cast<size_t>(sizes[i]), 0);
        else
            bytes.insert(bytes.end(), payload.begin(), payload.end());
    }
    if (layout != nullptr)
        *layout = SubstreamLayout{nHeader, dialNormBits};
    return bytes;
}

uint16_t SubstreamCrc(const uint8_t* p, size_t n)
{
    uint16_t nCrc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        for (int nBit = 7; nBit >= 0; --nBit) {
            const bool bTop = ((nCrc >> 15) & 1u) != ((p[i] >> nBit) & 1u);
            nCrc = static_cast<uint16_t>(nCrc << 1);
            if (bTop)
                nCrc ^= 0x1021;
        }
    }
    return nCrc;
}

std::vector<uint8_t> AppendSubstreams(const std::vector<uint8_t>& core,
                                      const std::function<std::optional<SubstreamSpec>(size_t)>& pick)
{
    const std::vector<size_t> starts = SplitFrames(core);
    std::vector<uint8_t> hd;
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t nEnd = i + 1 < starts.size() ? starts[i + 1] : core.size();
        const size_t nFrameStart = hd.size();
        hd.insert(hd.end(), core.begin() + static_cast<long>(starts[i]), core.begin() + static_cast<long>(nEnd));
        if (const auto spec = pick(i)) {
            while ((hd.size() - nFrameStart) % 4 != 0)
                hd.push_back(0);
            const std::vector<uint8_t> sub = BuildSubstream(*spec);
            hd.insert(hd.end(), sub.begin(), sub.end());
        }
    }
    return hd;
}

std::vector<size_t> SubstreamStarts(const std::vector<uint8_t>& stream)
{
    std::vector<size_t> starts;
    size_t nAt = 0;
    while (nAt + DtsBits::kHeaderBytes <= stream.size() && DtsSync::IsCoreAt(stream.data() + nAt)) {
        const size_t nCoreEnd = nAt + GetHeaderField(stream, nAt * 8 + DtsBits::kFSIZE, 14) + 1;
        const size_t nSub = (nCoreEnd + 3) / 4 * 4;
        nAt = nCoreEnd;
        if (nSub + 12 > stream.size() || !DtsSync::IsSubstreamAt(stream.data() + nSub))
            continue;
        // After the sync: 8 user bits, a 2-bit index, the header size type, then the header
        // size and the substream size, each stored less one, 8 and 16 bits wide or 12 and 20.
        const bool bWide = GetHeaderField(stream, nSub * 8 + 42, 1) != 0;
        const size_t nSizeAt = nSub * 8 + 43 + (bWide ? 12 : 8);
        starts.push_back(nSub);
        nAt = nSub + GetHeaderField(stream, nSizeAt, bWide ? 20 : 16) + 1;
    }
    return starts;
}

std::vector<uint8_t> BuildLosslessFrame(const LosslessSpec& spec)
{
    // Common header: sync, version 1, header size, a 16-bit frame size, one channel set, one
    // segment of 256 samples, 16-bit segment sizes, no band CRC, no LSB split, 8-bit channel masks.
    BitWriter w;
    w.Put(32, 0x41A29547);
    w.Put(4, 0);
    w.Put(8, 0);          // header size, patched below
    w.Put(5, 15);
    const size_t nFrameSizeAt = w.Bits();
    w.Put(16, 0);         // frame size, patched below
    w.Put(4, 0);
    w.Put(4, 0);
    w.Put(4, 8);
    w.Put(5, 15);
    w.Put(2, 0);
    w.Put(1, 0);
    w.Put(5, 7);
    w.PadToByte();
    w.Put(16, 0);         // header CRC (not checked by readers of the layout)
    w.Patch(36, 8, static_cast<uint32_t>(w.Bits() / 8 - 1));
    // Channel set header: its size, the channels, 24-bit PCM in 24-bit storage, 48 kHz; the
    // rest of what a decoder needs is left as zeros, with room for it.
    const size_t nSetAt = w.Bits();
    w.Put(10, 0);
    w.Put(4, static_cast<uint32_t>(spec.nChannels - 1));
    w.Put(static_cast<unsigned>(spec.nChannels), 0);
    w.Put(5, 23);
    w.Put(5, 23);
    w.Put(4, 12);
    for (int i = 0; i < 8; ++i)
        w.Put(8, 0);
    w.PadToByte();
    w.Put(16, 0);
    w.Patch(nSetAt, 10, static_cast<uint32_t>((w.Bits() - nSetAt) / 8 - 1));
    // The table of segment sizes: one band, one segment, one set; then its CRC.
    w.Put(16, static_cast<uint32_t>(spec.nBandBytes - 1));
    w.PadToByte();
    w.Put(16, 0);
    for (int i = 0; i < spec.nBandBytes; ++i)
        w.Put(8, 0x5A);
    while (w.Bits() % 32 != 0)
        w.Put(8, 0);
    if (spec.bDtsX)
        w.Put(32, spec.nMarker);
    for (int i = 0; i < spec.nTailBytes; ++i)
        w.Put(8, 0);
    w.Patch(nFrameSizeAt, 16, static_cast<uint32_t>(w.Bits() / 8 - 1));
    return w.Bytes();
}
