// Reads DTS-HD extension substream headers field by field, never past the header's own length.
#include "dts/SubstreamHeader.h"

#include "stream/SyncWords.h"

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
    if (c.bOver || nWidth > c.nLimit - c.nPos) {
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
    if (c.bOver || nBits > c.nLimit - c.nPos)
        c.bOver = true;
    else
        c.nPos += nBits;
}

bool Flag(BitCursor& c)
{
    return Take(c, 1) != 0;
}

// Channels a speaker layout mask stands for: the bits that name a pair of speakers count twice.
int ChannelsOfMask(uint32_t nMask)
{
    return std::popcount(nMask) + std::popcount(nMask & 0xAE66u);
}

// What the fields before the asset descriptors say about reading them.
struct StreamFields {
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
    Skip(c, 2 + 3);  // nuRefClockCode, nuExSSFrameDurationCode
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
        s.anMixChannels[i] = ChannelsOfMask(Take(c, nMaskBits));
}

void ReadSpeakerRemaps(BitCursor& c, int nSets, unsigned nMaskBits)
{
    int anSpeakers[kMaxCount] = {};
    for (int i = 0; i < nSets; ++i)
        anSpeakers[i] = ChannelsOfMask(Take(c, nMaskBits));
    for (int i = 0; i < nSets; ++i) {
        const unsigned nDecodedChannels = Take(c, 5) + 1;
        for (int j = 0; j < anSpeakers[i] && !c.bOver; ++j)  // remap codes, 5 bits per channel
            Skip(c, 5 * static_cast<size_t>(std::popcount(Take(c, nDecodedChannels))));
    }
}

bool ReadAssetStaticFields(BitCursor& c, AssetFields& a)
{
    if (Flag(c))  // bAssetTypeDescrPresent
        Skip(c, 4);
    if (Flag(c))  // bLanguageDescrPresent
        Skip(c, 24);
    if (Flag(c))  // bInfoTextPresent: nuInfoTextByteSize, then the text
        Skip(c, 8 * (static_cast<size_t>(Take(c, 10)) + 1));
    Skip(c, 5 + 4);  // nuBitResolution, nuMaxSampleRate
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
        Skip(c, nMaskBits);
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

void ReadXllFields(BitCursor& c, const StreamFields& s)
{
    Skip(c, s.nSizeBits);  // nuExSSXLLFsize
    if (!Flag(c))          // bExSSXLLSyncPresent
        return;
    Skip(c, 4);            // nuPeakBRCntrlBuffSzkB
    const unsigned nDelayBits = Take(c, 5) + 1;
    Skip(c, nDelayBits);   // nuInitLLDecDlyFrames
    Skip(c, s.nSizeBits);  // nuExSSXLLSyncOffset
}

void ReadLbrFields(BitCursor& c)
{
    Skip(c, 14);           // nuExSSLBRFsize
    if (Flag(c))           // bExSSLBRSyncPresent
        Skip(c, 2);
}

void ReadComponentSizes(BitCursor& c, const StreamFields& s, uint32_t nMask)
{
    if (nMask & kExtCore) {
        Skip(c, 14);
        if (Flag(c))  // core sync present: its distance
            Skip(c, 2);
    }
    if (nMask & kExtXBR)
        Skip(c, 14);
    if (nMask & kExtXXCH)
        Skip(c, 14);
    if (nMask & kExtX96)
        Skip(c, 12);
    if (nMask & kExtLBR)
        ReadLbrFields(c);
    if (nMask & kExtXLL)
        ReadXllFields(c, s);
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
        ReadComponentSizes(c, s, a.nMask);
        break;
    case 1:                // lossless only
        a.nMask = kExtXLL;
        ReadXllFields(c, s);
        break;
    case 2:                // low bit rate only
        a.nMask = kExtLBR;
        ReadLbrFields(c);
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
    if (s.bStatic && !ReadAssetStaticFields(c, a))
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
    for (int i = 0; i < s.nAssets; ++i)  // nuAssetFsize
        nAssetBytes += static_cast<long long>(Take(c, s.nSizeBits)) + 1;
    if (c.bOver || info.nHeaderSize + nAssetBytes > info.nSubstreamSize)
        return;
    for (int i = 0; i < s.nAssets; ++i) {
        h.assets[i].bOk = ReadAssetDescriptor(c, s, h.assets[i]);
        if (!h.assets[i].bOk)
            return;  // where the next descriptor starts is unknown
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

// ParseSubstream's work, also handing back the fields NeutraliseDialNorm needs.
bool ParseInto(const uint8_t* p, size_t n, SubstreamInfo& info, HeaderFields& h)
{
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
    return true;
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

bool ParseSubstream(const uint8_t* p, size_t n, SubstreamInfo& info)
{
    HeaderFields h;
    return ParseInto(p, n, info, h);
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
