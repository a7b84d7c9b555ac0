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

struct SubstreamSpec {
    bool bWide = false;              // 12/20-bit size fields instead of 8/16
    std::vector<SubstreamAsset> assets = {SubstreamAsset{}};  // 1 to 8
    int nPayloadBytes = 0;           // zero bytes after the header, shared out among the assets
    bool bMixMetadata = false;       // mixing metadata: one stereo mix-out, coefficients per asset
    bool bInfoText = false;          // an info text in every asset descriptor
    uint8_t nUserBits = 0;           // UserDefinedBits, outside the CRC
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
