// SPDX-License-Identifier: GPL-3.0-or-later
// Byte-level builders of DTS stream variants (14-bit packing, WAVE wrapping, header CRC, field patches).
// They are written from the bit layout alone and share no code with the core, so tests can use them
// as an independent oracle for what the core reads and writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The DTS sync and the start of a header with FTYPE 1 and SHORT 31, as stream bytes: the least a
// file needs to be recognised as a 14-bit packed stream.
inline const Bytes kSyncAndHeader = {0x7F, 0xFE, 0x80, 0x01, 0xFC, 0x3F, 0xFF};

// Bit offsets of core header fields from the first bit of the frame (the sync's most significant bit).
namespace DtsBits {
constexpr size_t kCPF = 38;          // 1 bit
constexpr size_t kFSIZE = 46;        // 14 bits
constexpr size_t kAMODE = 60;        // 6 bits
constexpr size_t kSFREQ = 66;        // 4 bits
constexpr size_t kRATE = 70;         // 5 bits
constexpr size_t kEXT_AUDIO_ID = 80; // 3 bits
constexpr size_t kLFF = 85;          // 2 bits
constexpr size_t kHCRC = 88;         // 16 bits, only when CPF is 1
// The fields after HFLAG move 16 bits later when an HCRC is present.
constexpr size_t kFILTS = 88;        // 1 bit
constexpr size_t kVERNUM = 89;       // 4 bits
constexpr size_t kPCMR = 95;         // 3 bits
constexpr size_t kDIALNORM = 100;    // 4 bits
constexpr size_t kHeaderBytes = 13;  // 15 with an HCRC
} // namespace DtsBits

// Reads `width` (1..32) bits starting `bitOffset` bits into `bytes`, most significant first.
// Throws std::out_of_range when the field runs past the end.
uint32_t GetHeaderField(const std::vector<uint8_t>& bytes, size_t bitOffset, unsigned width);
// Overwrites `width` bits with the low bits of `value`; neighbouring bits are kept.
void SetHeaderField(std::vector<uint8_t>& bytes, size_t bitOffset, unsigned width, uint32_t value);

// Field access for the frame starting at byte `frameStart` of `stream16`; the fields after HFLAG
// are found 16 bits later when that frame's CPF is 1.
uint32_t GetDialNorm(const std::vector<uint8_t>& stream16, size_t frameStart);
void SetDialNorm(std::vector<uint8_t>& stream16, size_t frameStart, uint32_t dialNorm);
uint32_t GetVernum(const std::vector<uint8_t>& stream16, size_t frameStart);
void SetVernum(std::vector<uint8_t>& stream16, size_t frameStart, uint32_t vernum);
uint32_t GetRate(const std::vector<uint8_t>& stream16, size_t frameStart);
void SetRate(std::vector<uint8_t>& stream16, size_t frameStart, uint32_t rate);

// Start offsets of the frames of a 16-bit big-endian core stream, found by walking FSIZE (a frame
// takes FSIZE + 1 bytes). Stops at the first position that does not hold the sync 7F FE 80 01 in
// full; a last frame cut short is listed if its sync is there.
std::vector<size_t> SplitFrames(const std::vector<uint8_t>& stream16);
// The first `count` whole frames of the stream (all of them when there are fewer).
std::vector<uint8_t> TakeFrames(const std::vector<uint8_t>& stream16, size_t count);

// 16-bit big-endian stream -> 14 payload bits per 16-bit word, first bit most significant, as a DTS
// 14-bit encoder packs it. Bits 15..14 of each word copy bit 13 (as encoders write them, so the sync
// becomes 1F FF E8 00) when nTopBits is -1, and are nTopBits otherwise: a reader must ignore them.
// Words are stored big- or little-endian. The last word is padded with zero bits, so unpacking it
// again may give one extra zero byte at the end.
std::vector<uint8_t> Pack14(const std::vector<uint8_t>& stream16, bool bBigEndian = true, int nTopBits = -1);
// Exchanges the two bytes of every 16-bit word (big-endian <-> little-endian); an odd last byte stays.
std::vector<uint8_t> SwapWords(const std::vector<uint8_t>& bytes);

struct WaveChunk {
    std::string id; // four characters
    std::vector<uint8_t> payload;
};

struct WaveOptions {
    std::string riffId = "RIFF";
    std::string formType = "WAVE";
    std::vector<uint8_t> prefix;             // bytes at the start of the data chunk, before the stream
    bool withFmt = true;
    size_t fmtSize = 16;                     // PCM, 2 channels, 44100 Hz, 16 bits; extra bytes are 0
    std::vector<WaveChunk> chunksBeforeFmt;  // e.g. a "LIST" chunk
    std::vector<WaveChunk> chunksBeforeData; // between fmt and data
    std::vector<WaveChunk> chunksAfterData;
    bool dataBeforeFmt = false;              // data chunk placed before the fmt chunk
    bool padOddChunks = true;                // the RIFF pad byte after an odd-sized chunk
};

// The parts in order, as one byte vector.
Bytes Concat(std::initializer_list<Bytes> parts);
// n as four little-endian bytes.
Bytes Le32(uint32_t n);
// Overwrites the four bytes at nOffset with n, little-endian (a size field of a RIFF header).
void PutLe32(Bytes& bytes, size_t nOffset, uint32_t n);
// A RIFF chunk: id (four characters), the declared size and the contents as given, with no pad byte,
// so that hostile layouts can be written exactly.
Bytes RawChunk(const std::string& id, uint32_t nDeclaredSize, const Bytes& contents);
// A well-formed chunk: its true size, and the pad byte after odd contents when bPad.
Bytes Chunk(const std::string& id, const Bytes& contents, bool bPad = true);
// "RIFF", the true size, the form type and the chunks.
Bytes Riff(const std::string& formType, const Bytes& chunks);
// A PCM format record of nSize bytes (16 or more): stereo, 44100 Hz, 16 bits; extra bytes are 0.
Bytes PcmFormat(size_t nSize = 16);

// A RIFF WAVE file whose data chunk holds opts.prefix followed by `data` (already in the byte
// order wanted: use SwapWords for little-endian words). RIFF and chunk sizes are exact.
std::vector<uint8_t> WrapWave(const std::vector<uint8_t>& data, const WaveOptions& opts = {});

// Sets CPF to 1 in every frame, inserts a 16-bit HCRC at byte 11 of the frame and raises FSIZE by 2.
// The HCRC is `crc` when given, otherwise 0x5A00 plus the frame index, so it differs between frames.
// Throws std::invalid_argument for a frame that already carries an HCRC or whose FSIZE would overflow.
std::vector<uint8_t> InsertHeaderCrc(const std::vector<uint8_t>& stream16,
                                     std::optional<uint16_t> crc = std::nullopt);
// Drops the HCRC of every frame that has one and clears its CPF. With lowerFsize false FSIZE stays
// as it was, which is how a rebuild with the CRC removed writes the frame.
std::vector<uint8_t> RemoveHeaderCrc(const std::vector<uint8_t>& stream16, bool lowerFsize);

// Gives every frame RATE 29 ("open") and raises its FSIZE by one, so that each frame is FSIZE bytes
// long, as some open-rate encoders write them (the standard counts FSIZE + 1). Throws
// std::invalid_argument when FSIZE would overflow.
std::vector<uint8_t> MakeOpenRate(const std::vector<uint8_t>& stream16);

// nCount reproducible pseudo-random bytes.
Bytes RandomBytes(size_t nCount, uint32_t nSeed);
