// SPDX-License-Identifier: GPL-3.0-or-later
// Reads DTS-HD extension substream headers field by field, never past the header's own length.
#include "dts/SubstreamHeader.h"

#include "dts/SpeakerMask.h"
#include "dts/SyncWords.h"

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
// The CRC covers the header from the byte after the user-defined bits.
constexpr size_t kCrcStart = 5;

// A read position that never reads past its limit: a read beyond it gives 0 and marks the cursor
// spent, so a cut or damaged header is noticed once, where its fields are judged.
struct BitCursor {
    const uint8_t* p = nullptr;
    size_t nPos = 0;    // bits from the sync
    size_t nLimit = 0;  // bits that may be read, counted from the sync
    bool bOver = false;
};

uint32_t Take(BitCursor& c, unsigned nWidth)
{
    // A position set past the limit (a size field read from damaged bytes) is spent too.
    if (c.bOver || c.nPos > c.nLimit || nWidth > c.nLimit - c.nPos) {
        c.bOver = true;
        return 0;
    }
    if (nWidth == 0)
        return 0;
    // Wider fields keep their last 32 bits.
    if (nWidth > 32) {
        c.nPos += nWidth - 32;
        nWidth = 32;
    }
    // The bytes that hold the field (at most five for 32 bits), then the field cut out of them.
    const size_t nFirst = c.nPos >> 3;
    const size_t nLast = (c.nPos + nWidth - 1) >> 3;
    uint64_t nBytes = 0;
    for (size_t i = nFirst; i <= nLast; ++i)
        nBytes = (nBytes << 8) | c.p[i];
    const unsigned nBelow = static_cast<unsigned>(8 * (nLast - nFirst + 1) - (c.nPos & 7) - nWidth);
    c.nPos += nWidth;
    return static_cast<uint32_t>((nBytes >> nBelow) & ((uint64_t{1} << nWidth) - 1));
}

void Skip(BitCursor& c, size_t nBits)
{
    if (c.bOver || c.nPos > c.nLimit || nBits > c.nLimit - c.nPos)
        c.bOver = true;
    else
        c.nPos += nBits;
}

bool Flag(BitCursor& c)
{
    return Take(c, 1) != 0;
}

// A field only a summary of the stream wants: read where facts are asked for, else stepped over
// as cheaply as the fields nobody wants (most frames want none).
uint32_t Fact(BitCursor& c, unsigned nWidth, bool bWanted)
{
    if (bWanted)
        return Take(c, nWidth);
    Skip(c, nWidth);
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
    int nChannels = 0;
    bool bStereo = false;        // bEmbeddedStereoFlag
    bool bSixChannels = false;   // bEmbeddedSixChFlag
    bool bStatic = false;        // the static fields were there
    int nBits = 0;
    int nSampleRateHz = 0;
    uint32_t nSpeakerMask = 0;
    size_t nXllOffset = 0;       // bytes from the asset's data to its lossless frame
    size_t nXllSize = 0;
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
            nCrc = static_cast<uint16_t>((nCrc & 0x8000) ? (nCrc << 1) ^ 0x1021 : nCrc << 1);
        table[i] = nCrc;
    }
    return table;
}();

void ReadStaticFields(BitCursor& c, unsigned nIndex, StreamFields& s)
{
    s.nRefClockHz = kRefClocks[Fact(c, 2, s.bFacts)];
    s.nFrameSamples = 512 * (static_cast<int>(Fact(c, 3, s.bFacts)) + 1);
    if (Flag(c))     // bTimeStampFlag
        Skip(c, 36);
    const int nPresentations = static_cast<int>(Take(c, 3)) + 1;
    s.nAssets = static_cast<int>(Take(c, 3)) + 1;
    uint32_t anActiveSubstreams[kMaxCount] = {};
    for (int i = 0; i < nPresentations; ++i)
        anActiveSubstreams[i] = Take(c, nIndex + 1);
    for (int i = 0; i < nPresentations; ++i)  // nuActiveAssetMask, 8 bits per active substream
        Skip(c, 8 * static_cast<size_t>(std::popcount(anActiveSubstreams[i])));
    s.bMix = Flag(c);
    if (!s.bMix)
        return;
    Skip(c, 2);  // nuMixMetadataAdjLevel
    const unsigned nMaskBits = (Take(c, 2) + 1) * 4;
    s.nMixConfigs = static_cast<int>(Take(c, 2)) + 1;
    for (int i = 0; i < s.nMixConfigs; ++i)
        s.anMixChannels[i] = SpeakerMask::Channels(Take(c, nMaskBits));
}

void ReadSpeakerRemaps(BitCursor& c, int nSets, unsigned nMaskBits)
{
    int anSpeakers[kMaxCount] = {};
    for (int i = 0; i < nSets; ++i)
        anSpeakers[i] = SpeakerMask::Channels(Take(c, nMaskBits));
    for (int i = 0; i < nSets; ++i) {
        const unsigned nDecodedChannels = Take(c, 5) + 1;
        for (int j = 0; j < anSpeakers[i] && !c.bOver; ++j)  // remap codes, 5 bits per channel
            Skip(c, 5 * static_cast<size_t>(std::popcount(Take(c, nDecodedChannels))));
    }
}

bool ReadAssetStaticFields(BitCursor& c, const StreamFields& s, AssetFields& a)
{
    if (Flag(c))  // bAssetTypeDescrPresent
        Skip(c, 4);
    if (Flag(c))  // bLanguageDescrPresent
        Skip(c, 24);
    if (Flag(c))  // bInfoTextPresent: nuInfoTextByteSize, then the text
        Skip(c, 8 * (static_cast<size_t>(Take(c, 10)) + 1));
    a.bStatic = true;
    a.nBits = static_cast<int>(Fact(c, 5, s.bFacts)) + 1;
    a.nSampleRateHz = kSampleRates[Fact(c, 4, s.bFacts)];
    a.nChannels = static_cast<int>(Take(c, 8)) + 1;
    if (!Flag(c)) {  // bOne2OneMapChannels2Speakers
        Skip(c, 3);  // nuRepresentationType
        return true;
    }
    if (a.nChannels > 2)
        a.bStereo = Flag(c);
    if (a.nChannels > 6)
        a.bSixChannels = Flag(c);
    unsigned nMaskBits = 0;
    if (Flag(c)) {  // bSpkrMaskEnabled
        nMaskBits = (Take(c, 2) + 1) * 4;
        a.nSpeakerMask = Fact(c, nMaskBits, s.bFacts);
    }
    const int nSets = static_cast<int>(Take(c, 3));
    if (nSets > 0 && nMaskBits == 0)
        return false;  // remapping sets need a speaker mask width
    ReadSpeakerRemaps(c, nSets, nMaskBits);
    return true;
}

bool ReadMixingFields(BitCursor& c, const StreamFields& s, const AssetFields& a)
{
    Skip(c, 1 + 6);                       // bExternalMixFlag, nuPostMixGainAdjCode
    Skip(c, Take(c, 2) == 3 ? 8u : 3u);   // nuControlMixerDRC: a custom code or a limit
    if (Flag(c)) {                        // bEnblPerChMainAudioScale
        for (int i = 0; i < s.nMixConfigs; ++i)
            Skip(c, 6 * static_cast<size_t>(s.anMixChannels[i]));
    } else {
        Skip(c, 6 * static_cast<size_t>(s.nMixConfigs));
    }
    const int nDownmixChannels = a.nChannels + (a.bSixChannels ? 6 : 0) + (a.bStereo ? 2 : 0);
    for (int i = 0; i < s.nMixConfigs; ++i) {
        if (s.anMixChannels[i] == 0)
            return false;
        const unsigned nWidth = static_cast<unsigned>(s.anMixChannels[i]);
        for (int j = 0; j < nDownmixChannels && !c.bOver; ++j)  // 6-bit coefficient per output
            Skip(c, 6 * static_cast<size_t>(std::popcount(Take(c, nWidth))));
    }
    return true;
}

bool ReadDynamicFields(BitCursor& c, const StreamFields& s, AssetFields& a)
{
    const bool bDrc = Flag(c);  // bDRCCoefPresent
    if (bDrc)
        Skip(c, 8);
    if (Flag(c)) {              // bDialNormPresent
        a.bDialNorm = true;
        a.nDialNormPos = c.nPos;
        Skip(c, 5);
    }
    if (bDrc && a.bStereo)      // DRC of the embedded stereo downmix
        Skip(c, 8);
    if (s.bMix && Flag(c))      // bMixMetadataPresent
        return ReadMixingFields(c, s, a);
    return true;
}

// nXllOffset is where the component starts in the asset's data; a frame that does not start
// there (the tail of the previous one comes first) is found by its sync offset.
void ReadXllFields(BitCursor& c, const StreamFields& s, AssetFields& a, size_t nXllOffset)
{
    a.nXllSize = static_cast<size_t>(Fact(c, s.nSizeBits, s.bFacts)) + 1;  // nuExSSXLLFsize
    a.nXllOffset = nXllOffset;
    if (!Flag(c))          // bExSSXLLSyncPresent
        return;
    Skip(c, 4);            // nuPeakBRCntrlBuffSzkB
    const unsigned nDelayBits = Take(c, 5) + 1;
    Skip(c, nDelayBits);   // nuInitLLDecDlyFrames
    const size_t nSyncOffset = Fact(c, s.nSizeBits, s.bFacts);  // nuExSSXLLSyncOffset
    if (nSyncOffset < a.nXllSize) {
        a.nXllOffset += nSyncOffset;
        a.nXllSize -= nSyncOffset;
    }
}

// Returns the component's size in bytes.
size_t ReadLbrFields(BitCursor& c, const StreamFields& s)
{
    const size_t nSize = Fact(c, 14, s.bFacts) + 1u;  // nuExSSLBRFsize
    if (Flag(c))           // bExSSLBRSyncPresent
        Skip(c, 2);
    return nSize;
}

// The components lie in the asset's data in the order of their size fields, so the lossless one
// starts after the sizes of those before it.
void ReadComponentSizes(BitCursor& c, const StreamFields& s, AssetFields& a)
{
    const uint32_t nMask = a.nMask;
    size_t nBefore = 0;
    if (nMask & kExtCore) {
        nBefore += Fact(c, 14, s.bFacts) + 1u;
        if (Flag(c))  // core sync present: its distance
            Skip(c, 2);
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
        Skip(c, 16);
    if (nMask & kExtReserved2)
        Skip(c, 16);
}

void ReadCodingMode(BitCursor& c, const StreamFields& s, AssetFields& a)
{
    switch (Take(c, 2)) {  // nuCodingMode
    case 0:                // DTS-HD components, listed by the mask
        a.nMask = Take(c, 12);
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
        Skip(c, 14 + 8);
        if (Flag(c))
            Skip(c, 3);
        break;
    }
    if (a.nMask & kExtXLL)
        Skip(c, 3);        // nuDTSHDStreamID
}

bool ReadAssetDescriptor(BitCursor& c, const StreamFields& s, AssetFields& a)
{
    const size_t nStart = c.nPos;
    const size_t nBits = 8 * (static_cast<size_t>(Take(c, 9)) + 1);  // nuAssetDescriptFsize
    Skip(c, 3);                                                        // nuAssetIndex
    if (s.bStatic && !ReadAssetStaticFields(c, s, a))
        return false;
    if (!ReadDynamicFields(c, s, a))
        return false;
    ReadCodingMode(c, s, a);
    if (c.bOver || c.nPos - nStart > nBits)
        return false;
    Skip(c, nStart + nBits - c.nPos);  // the fields after the coding mode, then zero padding
    return !c.bOver;
}

// The sizes and their width, read from the first kSizeFieldBytes bytes.
void ReadSizeFields(const uint8_t* p, SubstreamInfo& info)
{
    BitCursor c{p, 32 + 8 + 2, 8 * kSizeFieldBytes};  // after the sync, user bits and nExtSSIndex
    info.bWideHeader = Flag(c);
    info.nHeaderSize = static_cast<int>(Take(c, info.bWideHeader ? 12 : 8)) + 1;
    info.nSubstreamSize = static_cast<int>(Take(c, info.bWideHeader ? 20 : 16)) + 1;
}

bool HeaderCrcChecks(const uint8_t* p, size_t n, const SubstreamInfo& info)
{
    // The header must hold its own size fields and the CRC after them.
    const size_t nLeast = (info.bWideHeader ? 10u : 9u) + 2u;
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
    BitCursor c{p, 32 + 8, 8 * (static_cast<size_t>(info.nHeaderSize) - 2)};
    const unsigned nIndex = Take(c, 2);  // nExtSSIndex
    Skip(c, info.bWideHeader ? 1 + 12 + 20 : 1 + 8 + 16);
    s.nSizeBits = info.bWideHeader ? 20 : 16;
    s.bStatic = Flag(c);
    if (s.bStatic)
        ReadStaticFields(c, nIndex, s);
    long long nAssetBytes = 0;
    size_t anDataAt[kMaxCount] = {};  // where each asset's data starts, from the sync
    for (int i = 0; i < s.nAssets; ++i) {  // nuAssetFsize
        anDataAt[i] = static_cast<size_t>(info.nHeaderSize + nAssetBytes);
        nAssetBytes += static_cast<long long>(Take(c, s.nSizeBits)) + 1;
    }
    if (c.bOver || info.nHeaderSize + nAssetBytes > info.nSubstreamSize)
        return;
    for (int i = 0; i < s.nAssets; ++i) {
        h.assets[i].bOk = ReadAssetDescriptor(c, s, h.assets[i]);
        if (!h.assets[i].bOk)
            return;  // where the next descriptor starts is unknown
        h.assets[i].nXllOffset += anDataAt[i];
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
        if (a.bOk && a.bStatic && (pBest == nullptr || ((a.nMask & kExtXLL) && !(pBest->nMask & kExtXLL))))
            pBest = &a;
    }
    AssetFacts facts;
    if (pBest == nullptr)
        return facts;
    facts.nChannels = pBest->nChannels;
    facts.nSpeakerMask = pBest->nSpeakerMask;
    facts.nBits = pBest->nBits;
    facts.nSampleRateHz = pBest->nSampleRateHz;
    facts.bLossless = (pBest->nMask & kExtXLL) != 0;
    facts.bLowBitRate = (pBest->nMask & kExtLBR) != 0;
    facts.nXllOffset = facts.bLossless ? pBest->nXllOffset : 0;
    facts.nXllSize = facts.bLossless ? pBest->nXllSize : 0;
    return facts;
}

// ParseSubstream's work, also handing back the fields NeutraliseDialNorm needs.
bool ParseInto(const uint8_t* p, size_t n, SubstreamInfo& info, HeaderFields& h, bool bFacts = true)
{
    h.stream.bFacts = bFacts;
    info = SubstreamInfo{};
    if (p == nullptr || n < kSizeFieldBytes || !DtsSync::IsSubstreamAt(p))
        return false;
    ReadSizeFields(p, info);
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
    BitCursor c{p, 0, 8 * n};
    if (Take(c, 32) != DtsSync::kLossless)
        return 0;
    Skip(c, 4);  // version
    const size_t nHeaderSize = Take(c, 8) + 1u;
    nFrameSize = Take(c, Take(c, 5) + 1) + 1u;
    const int nChannelSets = static_cast<int>(Take(c, 4)) + 1;
    const int nSegments = 1 << Take(c, 4);
    Skip(c, 4);  // samples per segment
    const unsigned nSegmentSizeBits = Take(c, 5) + 1;
    if (c.bOver || nFrameSize > n)
        return 0;
    int anBands[16] = {};
    int nMostBands = 1;
    c.nPos = 8 * nHeaderSize;
    for (int i = 0; i < nChannelSets && !c.bOver; ++i) {
        const size_t nSetStart = c.nPos;
        const size_t nSetHeader = Take(c, 10) + 1u;
        const unsigned nChannels = Take(c, 4) + 1;
        Skip(c, nChannels + 5 + 5);  // residual flags, PCM and storage resolution
        anBands[i] = kSampleRates[Take(c, 4)] > 96000 ? 2 : 1;
        nMostBands = std::max(nMostBands, anBands[i]);
        const size_t nSetEnd = nSetStart + 8 * nSetHeader;
        c.bOver = c.bOver || c.nPos > nSetEnd;
        Skip(c, c.bOver ? 0 : nSetEnd - c.nPos);
    }
    size_t nSegmentBytes = 0;
    for (int nBand = 0; nBand < nMostBands; ++nBand) {
        for (int nSeg = 0; nSeg < nSegments && !c.bOver; ++nSeg) {
            for (int i = 0; i < nChannelSets; ++i)
                nSegmentBytes += anBands[i] > nBand ? Take(c, nSegmentSizeBits) + 1u : 0u;
        }
    }
    Skip(c, ((8 - c.nPos % 8) % 8) + 16);  // to a byte, then the table's CRC
    return c.bOver ? 0 : c.nPos + 8 * nSegmentBytes;
}

} // namespace

const char* ExtensionKindLabel(EExtensionKind eKind)
{
    switch (eKind) {
    case EExtensionKind::MA:
        return "DTS-HD MA";
    case EExtensionKind::HRA:
        return "DTS-HD HRA";
    case EExtensionKind::Express:
        return "DTS Express";
    case EExtensionKind::HD:
        return "DTS-HD";
    case EExtensionKind::None:
        break;
    }
    return "";
}

EExtensionKind StrongerKind(EExtensionKind a, EExtensionKind b)
{
    return static_cast<int>(a) >= static_cast<int>(b) ? a : b;
}

bool ReadSubstreamSizes(const uint8_t* p, size_t n, int& nHeaderSize, int& nSubstreamSize)
{
    if (p == nullptr || n < kSizeFieldBytes || !DtsSync::IsSubstreamAt(p))
        return false;
    SubstreamInfo info;
    ReadSizeFields(p, info);
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
        bool bChanged = false;
        for (size_t nBit = a.nDialNormPos; nBit < a.nDialNormPos + 5; ++nBit) {
            const uint8_t nMask = static_cast<uint8_t>(0x80u >> (nBit & 7));
            bChanged = bChanged || (p[nBit >> 3] & nMask) != 0;
            p[nBit >> 3] = static_cast<uint8_t>(p[nBit >> 3] & ~nMask);
        }
        nChanged += bChanged ? 1 : 0;
    }
    if (nChanged > 0) {
        const size_t nCrcAt = static_cast<size_t>(info.nHeaderSize) - 2;
        const uint16_t nCrc = Crc16(p + kCrcStart, nCrcAt - kCrcStart);
        p[nCrcAt] = static_cast<uint8_t>(nCrc >> 8);
        p[nCrcAt + 1] = static_cast<uint8_t>(nCrc & 0xFF);
    }
    return nChanged;
}

uint16_t Crc16(const uint8_t* p, size_t n)
{
    uint16_t nCrc = 0xFFFF;
    for (size_t i = 0; i < n; ++i)
        nCrc = static_cast<uint16_t>((nCrc << 8) ^ kCrcTable[((nCrc >> 8) ^ p[i]) & 0xFF]);
    return nCrc;
}
