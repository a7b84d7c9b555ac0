// SPDX-License-Identifier: GPL-3.0-or-later
// Reads DTS-HD extension substream headers field by field, never past the header's own length.
#include "dts/SubstreamHeader.h"

#include "dts/SpeakerMask.h"
#include "dts/SyncWords.h"
#include "stream/BitReader.h"

#include <algorithm>
#include <array>
#include <bit>

namespace {

// nuCoreExtensionMask bits of the components an asset carries in the extension substream.
enum ExtensionBit : uint32_t {
    kExtCore = 0x010,
    kExtXBR = 0x020,
    kExtXXCH = 0x040,
    kExtX96 = 0x080,
    kExtLBR = 0x100,
    kExtXLL = 0x200,
    kExtReserved1 = 0x400,
    kExtReserved2 = 0x800,
};

// Up to 8 presentations and 8 assets (3-bit counts), 4 mixing configurations (2-bit count).
constexpr int kMaxCount = 8;
constexpr int kMaxMixConfigs = 4;
// The fields before nExtSSIndex (sync 32 bits, user-defined 8) and before bHeaderSizeType.
constexpr size_t kIndexAt = 32 + 8;
constexpr size_t kSizeTypeAt = kIndexAt + 2;
// The CRC covers the header from the byte after the user-defined bits to its end, the CRC's
// 16 bits included.
constexpr size_t kCrcStart = kIndexAt / 8;
constexpr size_t kCrcBytes = 2;
constexpr uint16_t kCrcPolynomial = 0x1021;
constexpr uint16_t kCrcInitial = 0xFFFF;
// Widths of nuExtSSHeaderSize, and of nuExtSSFsize (and the asset and lossless sizes), by
// bHeaderSizeType.
constexpr unsigned kHeaderSizeBits[2] = {8, 12};
constexpr unsigned kSizeBits[2] = {16, 20};
// nuExSSFrameDurationCode counts blocks of this many samples.
constexpr int kDurationBlock = 512;
constexpr unsigned kDialNormBits = 5;
// A lossless channel set sampled faster than this carries a second frequency band.
constexpr int kOneBandMaxHz = 96000;

// Where the size fields end, in bits from the sync.
constexpr size_t SizeFieldsEnd(bool bWide)
{
    return kSizeTypeAt + 1 + kHeaderSizeBits[bWide] + kSizeBits[bWide];
}
static_assert((SizeFieldsEnd(true) + 7) / 8 == kSizeFieldBytes);

// A field only a summary of the stream wants: read where facts are asked for, else stepped over
// as cheaply as the fields nobody wants (most frames want none).
uint32_t Fact(CBitReader& c, unsigned nWidth, bool bWanted)
{
    if (bWanted)
        return c.Take(nWidth);
    c.Skip(nWidth);
    return 0;
}

// Sample rates by nuMaxSampleRate (and by a lossless channel set's frequency code).
constexpr int kSampleRates[16] = {8000,  16000, 32000, 64000,  128000, 22050, 44100, 88200,
                                  176400, 352800, 12000, 24000, 48000, 96000, 192000, 384000};
// Reference clocks by nuRefClockCode; the fourth code is reserved.
constexpr int kRefClocks[4] = {32000, 44100, 48000, 0};

// What the fields before the asset descriptors say about reading them.
struct StreamFields {
    bool bFacts = true;       // read what the asset descriptors say of the audio (AssetFacts)
    int nRefClockHz = 0;
    int nFrameSamples = 0;    // nuExSSFrameDurationCode, in samples of the reference clock
    unsigned nSizeBits = 16;  // width of the substream, asset and XLL size fields
    bool bStatic = false;     // bStaticFieldsPresent
    int nAssets = 1;
    bool bMix = false;        // bMixMetadataEnbl
    int nMixConfigs = 0;
    int anMixChannels[kMaxMixConfigs] = {};
};

// One asset descriptor, as far as it could be read.
struct AssetFields {
    bool bOk = false;
    uint32_t nMask = 0;          // components, nuCoreExtensionMask bits
    bool bDialNorm = false;
    size_t nDialNormPos = 0;     // bit offset of nuDialNormCode from the sync
    bool bStereo = false;        // bEmbeddedStereoFlag
    bool bSixChannels = false;   // bEmbeddedSixChFlag
    // nXllOffset counts from the asset's data until ReadHeaderFields adds where that starts;
    // bLossless and bLowBitRate are BestAsset's to set.
    AssetFacts facts;
};

struct HeaderFields {
    StreamFields stream;
    AssetFields assets[kMaxCount];
};

const std::array<uint16_t, 256> kCrcTable = [] {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t nCrc = static_cast<uint16_t>(i << 8);
        for (int b = 0; b < 8; ++b)
            nCrc = static_cast<uint16_t>((nCrc & 0x8000) ? (nCrc << 1) ^ kCrcPolynomial : nCrc << 1);
        table[i] = nCrc;
    }
    return table;
}();

void ReadStaticFields(CBitReader& c, unsigned nIndex, StreamFields& s)
{
    s.nRefClockHz = kRefClocks[Fact(c, 2, s.bFacts)];
    s.nFrameSamples = kDurationBlock * (static_cast<int>(Fact(c, 3, s.bFacts)) + 1);
    if (c.Flag())    // bTimeStampFlag
        c.Skip(36);
    const int nPresentations = static_cast<int>(c.Take(3)) + 1;
    s.nAssets = static_cast<int>(c.Take(3)) + 1;
    uint32_t anActiveSubstreams[kMaxCount] = {};
    for (int i = 0; i < nPresentations; ++i)
        anActiveSubstreams[i] = c.Take(nIndex + 1);
    for (int i = 0; i < nPresentations; ++i)  // nuActiveAssetMask, 8 bits per active substream
        c.Skip(8 * static_cast<size_t>(std::popcount(anActiveSubstreams[i])));
    s.bMix = c.Flag();
    if (!s.bMix)
        return;
    c.Skip(2);  // nuMixMetadataAdjLevel
    const unsigned nMaskBits = (c.Take(2) + 1) * 4;
    s.nMixConfigs = static_cast<int>(c.Take(2)) + 1;
    for (int i = 0; i < s.nMixConfigs; ++i)
        s.anMixChannels[i] = SpeakerMask::Channels(c.Take(nMaskBits));
}

void ReadSpeakerRemaps(CBitReader& c, int nSets, unsigned nMaskBits)
{
    int anSpeakers[kMaxCount] = {};
    for (int i = 0; i < nSets; ++i)
        anSpeakers[i] = SpeakerMask::Channels(c.Take(nMaskBits));
    for (int i = 0; i < nSets; ++i) {
        const unsigned nDecodedChannels = c.Take(5) + 1;
        for (int j = 0; j < anSpeakers[i] && !c.IsSpent(); ++j)  // remap codes, 5 bits per channel
            c.Skip(5 * static_cast<size_t>(std::popcount(c.Take(nDecodedChannels))));
    }
}

bool ReadAssetStaticFields(CBitReader& c, const StreamFields& s, AssetFields& a)
{
    if (c.Flag())  // bAssetTypeDescrPresent
        c.Skip(4);
    if (c.Flag())  // bLanguageDescrPresent
        c.Skip(24);
    if (c.Flag())  // bInfoTextPresent: nuInfoTextByteSize, then the text
        c.Skip(8 * (static_cast<size_t>(c.Take(10)) + 1));
    a.facts.nBits = static_cast<int>(Fact(c, 5, s.bFacts)) + 1;
    a.facts.nSampleRateHz = kSampleRates[Fact(c, 4, s.bFacts)];
    a.facts.nChannels = static_cast<int>(c.Take(8)) + 1;
    if (!c.Flag()) {  // bOne2OneMapChannels2Speakers
        c.Skip(3);  // nuRepresentationType
        return true;
    }
    if (a.facts.nChannels > 2)
        a.bStereo = c.Flag();
    if (a.facts.nChannels > 6)
        a.bSixChannels = c.Flag();
    unsigned nMaskBits = 0;
    if (c.Flag()) {  // bSpkrMaskEnabled
        nMaskBits = (c.Take(2) + 1) * 4;
        a.facts.nSpeakerMask = Fact(c, nMaskBits, s.bFacts);
    }
    const int nSets = static_cast<int>(c.Take(3));
    if (nSets > 0 && nMaskBits == 0)
        return false;  // remapping sets need a speaker mask width
    ReadSpeakerRemaps(c, nSets, nMaskBits);
    return true;
}

bool ReadMixingFields(CBitReader& c, const StreamFields& s, const AssetFields& a)
{
    c.Skip(1 + 6);                        // bExternalMixFlag, nuPostMixGainAdjCode
    c.Skip(c.Take(2) == 3 ? 8u : 3u);     // nuControlMixerDRC: a custom code or a limit
    if (c.Flag()) {                       // bEnblPerChMainAudioScale
        for (int i = 0; i < s.nMixConfigs; ++i)
            c.Skip(6 * static_cast<size_t>(s.anMixChannels[i]));
    } else {
        c.Skip(6 * static_cast<size_t>(s.nMixConfigs));
    }
    const int nDownmixChannels = a.facts.nChannels + (a.bSixChannels ? 6 : 0) + (a.bStereo ? 2 : 0);
    for (int i = 0; i < s.nMixConfigs; ++i) {
        if (s.anMixChannels[i] == 0)
            return false;
        const unsigned nWidth = static_cast<unsigned>(s.anMixChannels[i]);
        for (int j = 0; j < nDownmixChannels && !c.IsSpent(); ++j)  // 6-bit coefficient per output
            c.Skip(6 * static_cast<size_t>(std::popcount(c.Take(nWidth))));
    }
    return true;
}

bool ReadDynamicFields(CBitReader& c, const StreamFields& s, AssetFields& a)
{
    const bool bDrc = c.Flag();  // bDRCCoefPresent
    if (bDrc)
        c.Skip(8);
    if (c.Flag()) {             // bDialNormPresent
        a.bDialNorm = true;
        a.nDialNormPos = c.GetPos();
        c.Skip(kDialNormBits);
    }
    if (bDrc && a.bStereo)      // DRC of the embedded stereo downmix
        c.Skip(8);
    if (s.bMix && c.Flag())     // bMixMetadataPresent
        return ReadMixingFields(c, s, a);
    return true;
}

// nXllOffset is where the component starts in the asset's data; a frame that does not start
// there (the tail of the previous one comes first) is found by its sync offset.
void ReadXllFields(CBitReader& c, const StreamFields& s, AssetFields& a, size_t nXllOffset)
{
    AssetFacts& f = a.facts;
    f.nXllSize = static_cast<size_t>(Fact(c, s.nSizeBits, s.bFacts)) + 1;  // nuExSSXLLFsize
    f.nXllOffset = nXllOffset;
    if (!c.Flag())         // bExSSXLLSyncPresent
        return;
    c.Skip(4);             // nuPeakBRCntrlBuffSzkB
    const unsigned nDelayBits = c.Take(5) + 1;
    c.Skip(nDelayBits);    // nuInitLLDecDlyFrames
    const size_t nSyncOffset = Fact(c, s.nSizeBits, s.bFacts);  // nuExSSXLLSyncOffset
    if (nSyncOffset < f.nXllSize) {
        f.nXllOffset += nSyncOffset;
        f.nXllSize -= nSyncOffset;
    }
}

// Returns the component's size in bytes.
size_t ReadLbrFields(CBitReader& c, const StreamFields& s)
{
    const size_t nSize = Fact(c, 14, s.bFacts) + 1u;  // nuExSSLBRFsize
    if (c.Flag())          // bExSSLBRSyncPresent
        c.Skip(2);
    return nSize;
}

// The components lie in the asset's data in the order of their size fields, so the lossless one
// starts after the sizes of those before it.
void ReadComponentSizes(CBitReader& c, const StreamFields& s, AssetFields& a)
{
    const uint32_t nMask = a.nMask;
    size_t nBefore = 0;
    if (nMask & kExtCore) {
        nBefore += Fact(c, 14, s.bFacts) + 1u;
        if (c.Flag())  // core sync present: its distance
            c.Skip(2);
    }
    if (nMask & kExtXBR)
        nBefore += Fact(c, 14, s.bFacts) + 1u;
    if (nMask & kExtXXCH)
        nBefore += Fact(c, 14, s.bFacts) + 1u;
    if (nMask & kExtX96)
        nBefore += Fact(c, 12, s.bFacts) + 1u;
    if (nMask & kExtLBR)
        nBefore += ReadLbrFields(c, s);
    if (nMask & kExtXLL)
        ReadXllFields(c, s, a, nBefore);
    if (nMask & kExtReserved1)
        c.Skip(16);
    if (nMask & kExtReserved2)
        c.Skip(16);
}

void ReadCodingMode(CBitReader& c, const StreamFields& s, AssetFields& a)
{
    switch (c.Take(2)) {   // nuCodingMode
    case 0:                // DTS-HD components, listed by the mask
        a.nMask = c.Take(12);
        ReadComponentSizes(c, s, a);
        break;
    case 1:                // lossless only
        a.nMask = kExtXLL;
        ReadXllFields(c, s, a, 0);
        break;
    case 2:                // low bit rate only
        a.nMask = kExtLBR;
        ReadLbrFields(c, s);
        break;
    default:               // auxiliary coding: size, codec id, optional sync distance
        c.Skip(14 + 8);
        if (c.Flag())
            c.Skip(3);
        break;
    }
    if (a.nMask & kExtXLL)
        c.Skip(3);         // nuDTSHDStreamID
}

bool ReadAssetDescriptor(CBitReader& c, const StreamFields& s, AssetFields& a)
{
    const size_t nStart = c.GetPos();
    const size_t nBits = 8 * (static_cast<size_t>(c.Take(9)) + 1);  // nuAssetDescriptFsize
    c.Skip(3);                                                      // nuAssetIndex
    if (s.bStatic && !ReadAssetStaticFields(c, s, a))
        return false;
    if (!ReadDynamicFields(c, s, a))
        return false;
    ReadCodingMode(c, s, a);
    c.SkipTo(nStart + nBits);  // the fields after the coding mode, then zero padding
    return !c.IsSpent();
}

// The sizes and their width, read from the first kSizeFieldBytes bytes; false where the sync is
// not there or fewer bytes are given.
bool ReadSizeFields(const uint8_t* p, size_t n, SubstreamInfo& info)
{
    if (p == nullptr || n < kSizeFieldBytes || !DtsSync::IsSubstreamAt(p))
        return false;
    CBitReader c(p, kSizeFieldBytes, kSizeTypeAt);
    info.bWideHeader = c.Flag();
    info.nHeaderSize = static_cast<int>(c.Take(kHeaderSizeBits[info.bWideHeader])) + 1;
    info.nSubstreamSize = static_cast<int>(c.Take(kSizeBits[info.bWideHeader])) + 1;
    return true;
}

bool HeaderCrcChecks(const uint8_t* p, size_t n, const SubstreamInfo& info)
{
    // The header must hold its own size fields and the CRC after them.
    const size_t nLeast = (SizeFieldsEnd(info.bWideHeader) + 7) / 8 + kCrcBytes;
    const size_t nHeader = static_cast<size_t>(info.nHeaderSize);
    if (nHeader < nLeast || nHeader > n || info.nHeaderSize > info.nSubstreamSize)
        return false;
    return Crc16(p + kCrcStart, nHeader - kCrcStart) == 0;
}

// Reads the fields of a header whose CRC checked, up to the end of the last asset descriptor that
// can be read. Each asset read in full has bOk set.
void ReadHeaderFields(const uint8_t* p, const SubstreamInfo& info, HeaderFields& h)
{
    StreamFields& s = h.stream;
    CBitReader c(p, static_cast<size_t>(info.nHeaderSize) - kCrcBytes, kIndexAt);
    const unsigned nIndex = c.Take(2);  // nExtSSIndex
    c.SkipTo(SizeFieldsEnd(info.bWideHeader));
    s.nSizeBits = kSizeBits[info.bWideHeader];
    s.bStatic = c.Flag();
    if (s.bStatic)
        ReadStaticFields(c, nIndex, s);
    long long nAssetBytes = 0;
    size_t anDataAt[kMaxCount] = {};  // where each asset's data starts, from the sync
    for (int i = 0; i < s.nAssets; ++i) {  // nuAssetFsize
        anDataAt[i] = static_cast<size_t>(info.nHeaderSize + nAssetBytes);
        nAssetBytes += static_cast<long long>(c.Take(s.nSizeBits)) + 1;
    }
    if (c.IsSpent() || info.nHeaderSize + nAssetBytes > info.nSubstreamSize)
        return;
    for (int i = 0; i < s.nAssets; ++i) {
        h.assets[i].bOk = ReadAssetDescriptor(c, s, h.assets[i]);
        if (!h.assets[i].bOk)
            return;  // where the next descriptor starts is unknown
        h.assets[i].facts.nXllOffset += anDataAt[i];
    }
}

EExtensionKind KindOfMask(uint32_t nMask)
{
    if (nMask & kExtXLL)
        return EExtensionKind::MA;
    if (nMask & (kExtXBR | kExtX96 | kExtXXCH))
        return EExtensionKind::HRA;
    if (nMask & kExtLBR)
        return EExtensionKind::Express;
    return EExtensionKind::HD;
}

// The facts of the asset that says most: the lossless one, else the first that was read.
AssetFacts BestAsset(const HeaderFields& h)
{
    const AssetFields* pBest = nullptr;
    for (const AssetFields& a : h.assets) {
        if (a.bOk && a.facts.nChannels != 0 && (pBest == nullptr || ((a.nMask & kExtXLL) && !(pBest->nMask & kExtXLL))))
            pBest = &a;
    }
    if (pBest == nullptr)
        return AssetFacts{};
    AssetFacts facts = pBest->facts;
    facts.bLossless = (pBest->nMask & kExtXLL) != 0;
    facts.bLowBitRate = (pBest->nMask & kExtLBR) != 0;
    if (!facts.bLossless)
        facts.nXllOffset = facts.nXllSize = 0;
    return facts;
}

// ParseSubstream's work, also handing back the fields NeutraliseDialNorm needs.
bool ParseInto(const uint8_t* p, size_t n, SubstreamInfo& info, HeaderFields& h, bool bFacts = true)
{
    h.stream.bFacts = bFacts;
    info = SubstreamInfo{};
    if (!ReadSizeFields(p, n, info))
        return false;
    info.eKind = EExtensionKind::HD;
    info.bCrcOk = HeaderCrcChecks(p, n, info);
    if (!info.bCrcOk)
        return true;
    ReadHeaderFields(p, info, h);
    for (const AssetFields& a : h.assets) {
        if (!a.bOk)
            continue;
        info.eKind = StrongerKind(info.eKind, KindOfMask(a.nMask));
        info.nDialNormAssets += a.bDialNorm ? 1 : 0;
    }
    if (bFacts)
        info.best = BestAsset(h);
    info.nFrameSamples = h.stream.nFrameSamples;
    info.nRefClockHz = h.stream.nRefClockHz;
    return true;
}

// The end of a lossless frame's band data, in bits from its sync: the headers, the table of
// segment sizes (its CRC after it), then the segments themselves; 0 where the frame is not whole.
size_t LosslessBandDataEnd(const uint8_t* p, size_t n, size_t& nFrameSize)
{
    CBitReader c(p, n);
    if (c.Take(32) != DtsSync::kLossless)
        return 0;
    c.Skip(4);  // version
    const size_t nHeaderSize = c.Take(8) + 1u;
    nFrameSize = c.Take(c.Take(5) + 1) + 1u;
    const int nChannelSets = static_cast<int>(c.Take(4)) + 1;
    const int nSegments = 1 << c.Take(4);
    c.Skip(4);  // samples per segment
    const unsigned nSegmentSizeBits = c.Take(5) + 1;
    if (c.IsSpent() || nFrameSize > n)
        return 0;
    int anBands[16] = {};
    int nMostBands = 1;
    c.SetPos(8 * nHeaderSize);
    for (int i = 0; i < nChannelSets && !c.IsSpent(); ++i) {
        const size_t nSetStart = c.GetPos();
        const size_t nSetHeader = c.Take(10) + 1u;
        const unsigned nChannels = c.Take(4) + 1;
        c.Skip(nChannels + 5 + 5);  // residual flags, PCM and storage resolution
        anBands[i] = kSampleRates[c.Take(4)] > kOneBandMaxHz ? 2 : 1;
        nMostBands = std::max(nMostBands, anBands[i]);
        c.SkipTo(nSetStart + 8 * nSetHeader);
    }
    size_t nSegmentBytes = 0;
    for (int nBand = 0; nBand < nMostBands; ++nBand) {
        for (int nSeg = 0; nSeg < nSegments && !c.IsSpent(); ++nSeg) {
            for (int i = 0; i < nChannelSets; ++i)
                nSegmentBytes += anBands[i] > nBand ? c.Take(nSegmentSizeBits) + 1u : 0u;
        }
    }
    c.Skip(((8 - c.GetPos() % 8) % 8) + 16);  // to a byte, then the table's CRC
    return c.IsSpent() ? 0 : c.GetPos() + 8 * nSegmentBytes;
}

} // namespace

const char* ExtensionKindLabel(EExtensionKind eKind)
{
    // In the order of the kinds, weakest first.
    static const char* const kLabels[] = {"", "DTS-HD", "DTS Express", "DTS-HD HRA", "DTS-HD MA"};
    return kLabels[static_cast<int>(eKind)];
}

EExtensionKind StrongerKind(EExtensionKind a, EExtensionKind b)
{
    return static_cast<int>(a) >= static_cast<int>(b) ? a : b;
}

bool ReadSubstreamSizes(const uint8_t* p, size_t n, int& nHeaderSize, int& nSubstreamSize)
{
    SubstreamInfo info;
    if (!ReadSizeFields(p, n, info))
        return false;
    nHeaderSize = info.nHeaderSize;
    nSubstreamSize = info.nSubstreamSize;
    return true;
}

bool ParseSubstream(const uint8_t* p, size_t n, SubstreamInfo& info, bool bFacts)
{
    HeaderFields h;
    return ParseInto(p, n, info, h, bFacts);
}

bool CarriesDtsX(const uint8_t* p, size_t n, const SubstreamInfo& info)
{
    const size_t nAt = info.best.nXllOffset;
    if (!info.best.bLossless || nAt >= n)
        return false;
    const uint8_t* pFrame = p + nAt;
    size_t nFrameSize = 0;
    const size_t nEnd = LosslessBandDataEnd(pFrame, std::min(n - nAt, info.best.nXllSize), nFrameSize);
    const size_t nMarker = (nEnd + 31) / 32 * 4;  // the next 32-bit boundary, in bytes
    if (nEnd == 0 || nMarker + 4 > nFrameSize)
        return false;
    const uint32_t nWord = DtsSync::WordAt(pFrame + nMarker);
    return nWord == DtsSync::kDtsXMarker || (nWord >> 1) == (DtsSync::kDtsXImaxMarker >> 1);
}

int NeutraliseDialNorm(uint8_t* p, size_t n)
{
    SubstreamInfo info;
    HeaderFields h;
    if (!ParseInto(p, n, info, h) || !info.bCrcOk)
        return 0;
    int nChanged = 0;
    for (const AssetFields& a : h.assets) {
        if (!a.bOk || !a.bDialNorm)
            continue;
        if (CBitReader(p, n, a.nDialNormPos).Take(kDialNormBits) == 0)
            continue;
        for (size_t nBit = a.nDialNormPos; nBit < a.nDialNormPos + kDialNormBits; ++nBit)
            p[nBit >> 3] = static_cast<uint8_t>(p[nBit >> 3] & ~(0x80u >> (nBit & 7)));
        ++nChanged;
    }
    if (nChanged > 0) {
        const size_t nCrcAt = static_cast<size_t>(info.nHeaderSize) - kCrcBytes;
        const uint16_t nCrc = Crc16(p + kCrcStart, nCrcAt - kCrcStart);
        p[nCrcAt] = static_cast<uint8_t>(nCrc >> 8);
        p[nCrcAt + 1] = static_cast<uint8_t>(nCrc & 0xFF);
    }
    return nChanged;
}

uint16_t Crc16(const uint8_t* p, size_t n)
{
    uint16_t nCrc = kCrcInitial;
    for (size_t i = 0; i < n; ++i)
        nCrc = static_cast<uint16_t>((nCrc << 8) ^ kCrcTable[((nCrc >> 8) ^ p[i]) & 0xFF]);
    return nCrc;
}
