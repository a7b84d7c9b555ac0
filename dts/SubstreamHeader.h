// SPDX-License-Identifier: GPL-3.0-or-later
// The header of a DTS-HD extension substream (sync 64582025): its sizes, its CRC, the kind of
// audio its asset descriptors announce, and their dialog normalisation codes. Pure functions over
// bytes in memory; none reads past the length it is given.
#pragma once

#include <cstddef>
#include <cstdint>

// What a frame's substreams carry, weakest first: a later value beats an earlier one.
enum class EExtensionKind { None, HD, Express, HRA, MA };

// "DTS-HD MA", "DTS-HD HRA", "DTS Express", "DTS-HD"; "" for None.
const char* ExtensionKindLabel(EExtensionKind eKind);
// The stronger of the two (MA beats HRA beats Express beats HD beats None).
EExtensionKind StrongerKind(EExtensionKind a, EExtensionKind b);

// Bytes from the sync that hold both size fields however wide they are: sync 32, user bits 8,
// nExtSSIndex 2, bHeaderSizeType 1, nuExtSSHeaderSize 8 or 12, nuExtSSFsize 16 or 20.
constexpr size_t kSizeFieldBytes = 10;

// From the first bytes of a substream (at least kSizeFieldBytes of them): the header size and the
// whole substream's size in bytes, both counted from the sync. False when the sync is not there or
// fewer bytes are given; the outputs are then left alone.
bool ReadSubstreamSizes(const uint8_t* p, size_t n, int& nHeaderSize, int& nSubstreamSize);

// What an asset descriptor says of the audio it carries, for a summary of the stream.
struct AssetFacts {
    int nChannels = 0;           // nuTotalNumChs; 0 where the descriptor carried no static fields
    uint32_t nSpeakerMask = 0;   // nuSpkrActivityMask, or 0 where the asset has none
    int nBits = 0;               // nuBitResolution
    int nSampleRateHz = 0;       // nuMaxSampleRate
    bool bLossless = false;      // carries a lossless (XLL) component
    bool bLowBitRate = false;    // carries a low bit rate (LBR, DTS Express) component
    // Where the lossless frame starts, in bytes from the substream's sync, and the bytes of the
    // component from there; 0 where there is none.
    size_t nXllOffset = 0;
    size_t nXllSize = 0;
};

struct SubstreamInfo {
    int nHeaderSize = 0;       // nuExtSSHeaderSize + 1, bytes from the sync
    int nSubstreamSize = 0;    // nuExtSSFsize + 1, bytes from the sync
    bool bWideHeader = false;  // bHeaderSizeType: 12/20-bit size fields instead of 8/16
    // The header is all there, lies inside its substream, and its CRC checks.
    bool bCrcOk = false;
    // From the asset descriptors when the CRC checks; HD for a header that is cut, damaged or
    // holds a descriptor that cannot be read.
    EExtensionKind eKind = EExtensionKind::None;
    int nDialNormAssets = 0;   // assets that carry a dialog normalisation code
    // The asset that says most of the audio: the lossless one where there is one, else the first.
    AssetFacts best;
    // The length of the audio one substream carries (nuExSSFrameDurationCode), in samples of
    // nRefClockHz; both 0 where the header has no static fields.
    int nFrameSamples = 0;
    int nRefClockHz = 0;
};

// The substream (nSubstreamSize bytes, or at least its header) at p. False, with info reset, when
// the sizes cannot be read (see ReadSubstreamSizes); otherwise true with info filled in. Without
// bFacts, best, nFrameSamples and nRefClockHz are left empty, which costs less.
bool ParseSubstream(const uint8_t* p, size_t n, SubstreamInfo& info, bool bFacts = true);

// Whether the lossless frame of info.best, in the whole substream at p (n bytes), carries DTS:X
// object data: a marker where its band data ends, at the next 32-bit boundary.
bool CarriesDtsX(const uint8_t* p, size_t n, const SubstreamInfo& info);

// Sets the dialog normalisation code of every asset that carries one to 0 and recomputes the
// header CRC. Returns the number of codes changed; 0 leaves the bytes untouched, as it does for a
// header whose CRC fails.
int NeutraliseDialNorm(uint8_t* p, size_t n);

// CRC-16 with polynomial 0x1021 and initial value 0xFFFF, no reflection and no final XOR. Over a
// substream header from byte 5 to its end, stored CRC included, it gives 0 for a sound header.
uint16_t Crc16(const uint8_t* p, size_t n);
