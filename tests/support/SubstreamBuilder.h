// SPDX-License-Identifier: GPL-3.0-or-later
// Builds DTS-HD extension substreams (sync 64582025) bit by bit from the header layout alone, with
// their own bit writer and CRC, so tests can hold the core's substream reader against them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// What one asset carries. The first six are written as coding mode 0 with that one component in
// the extension mask (CoreOnly: a core inside the substream); the last three use the coding modes
// that imply their component: lossless only (1), low bit rate only (2), auxiliary coding (3).
enum class ESubstreamContent { CoreOnly, XBR, X96, XXCH, LBR, XLL, XLLMode, LBRMode, Aux };

struct SubstreamAsset {
    ESubstreamContent eContent = ESubstreamContent::XLL;
    uint32_t nExtraMask = 0;        // further extension mask bits (coding mode 0 only)
    std::optional<int> dialNorm;    // the 5-bit nuDialNormCode, or no code at all
};

// What every asset's static fields say of its audio.
struct AssetAudio {
    int nChannels = 2;
    uint32_t nSpeakerMask = 0x0002;  // 16-bit nuSpkrActivityMask; 0: no mask
    int nBits = 24;
    int nRateCode = 12;              // nuMaxSampleRate: 48 kHz
};

struct SubstreamSpec {
    bool bWide = false;              // 12/20-bit size fields instead of 8/16
    std::vector<SubstreamAsset> assets = {SubstreamAsset{}};  // 1 to 8
    int nPayloadBytes = 0;           // zero bytes after the header, shared out among the assets
    bool bMixMetadata = false;       // mixing metadata: one stereo mix-out, coefficients per asset
    bool bInfoText = false;          // an info text in every asset descriptor
    uint8_t nUserBits = 0;           // UserDefinedBits, outside the CRC
    AssetAudio audio;
    // By asset: the bytes of its one component (an XLL or LBR asset's frame); missing or empty:
    // one zero byte per component.
    std::vector<std::vector<uint8_t>> payloads;
    int nRefClockCode = 0;           // nuRefClockCode: 32, 44.1 or 48 kHz
    int nDurationCode = 3;           // nuExSSFrameDurationCode: 512 * (code + 1) samples
};

// Offsets into a built substream that tests look at.
struct SubstreamLayout {
    size_t nHeaderSize = 0;               // bytes, CRC included
    std::vector<size_t> dialNormBits;     // bit offset of each asset's dialog normalisation code
};

// The substream: header with a correct CRC, then the payload. Each asset gets at least as many
// payload bytes as it declares components (a size field stores size - 1, so none can be empty);
// the substream may therefore be longer than header + nPayloadBytes.
std::vector<uint8_t> BuildSubstream(const SubstreamSpec& spec, SubstreamLayout* layout = nullptr);

// A lossless (XLL) frame of one channel set of nChannels at 48 kHz and one segment of band data
// of nBandBytes (zeros), followed where bDtsX is set by marker at the next 32-bit boundary
// (and nTailBytes more zeros either way).
struct LosslessSpec {
    int nChannels = 8;
    int nBandBytes = 37;
    bool bDtsX = false;
    uint32_t nMarker = 0x02000850;
    int nTailBytes = 8;
};
std::vector<uint8_t> BuildLosslessFrame(const LosslessSpec& spec);

// CRC-16, polynomial 0x1021, initial value 0xFFFF, computed bit by bit.
uint16_t SubstreamCrc(const uint8_t* p, size_t n);

// The core frames of a 16-bit stream, each followed by the substream pick(i) gives for frame i
// (none for nullopt), after zeros up to the frame's next 4-byte boundary, as DTS-HD streams lay
// them out.
std::vector<uint8_t> AppendSubstreams(const std::vector<uint8_t>& core,
                                      const std::function<std::optional<SubstreamSpec>(size_t)>& pick);

// Offsets of the extension substreams of a 16-bit DTS-HD stream laid out as AppendSubstreams lays it
// out: core frames walked by FSIZE + 1, a substream looked for at the next 4-byte boundary and
// stepped over by its own size field. Stops at the first position without a core sync.
std::vector<size_t> SubstreamStarts(const std::vector<uint8_t>& stream);
