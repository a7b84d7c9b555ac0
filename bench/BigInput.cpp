// SPDX-License-Identifier: GPL-3.0-or-later
// Builds the big benchmark inputs from the test builders, which share no code with the core.
#include "BigInput.h"

#include "support/StreamVariants.h"
#include "support/SubstreamBuilder.h"

#include <array>
#include <fstream>
#include <stdexcept>

namespace {

// Seven copies of a stream are a whole number of 14-bit words (7 * 16 bits = 8 * 14), so a packed
// block repeats without padding entering the stream.
constexpr int kCopiesPerBlock = 7;
// The random stretch is one block repeated: larger than any cache, so it reads like fresh bytes.
constexpr size_t kRandomBlockBytes = 16 * 1024 * 1024;
constexpr uint32_t kRandomSeed = 20240607;
// Stream bytes of the frames after the random stretch, and in the data chunk after many chunks.
constexpr size_t kTailStreamBytes = 4 * 1024 * 1024;
constexpr size_t kChunkDataStreamBytes = 16 * 1024 * 1024;
// Small unknown chunks, 16 bytes each with their header, written in blocks of this many.
constexpr size_t kSmallChunksPerBlock = 4096;
// A row frame is this long (FSIZE 95): one row per 96 bytes, as many as a stream can have.
constexpr uint32_t kRowFrameBytes = 96;
constexpr size_t kRowPairsPerBlock = 512;
// A byte that is no part of any sync word in any layout, not even with padding bits masked.
constexpr uint8_t kNoSync = 0x55;

std::vector<uint8_t> Repeat(const std::vector<uint8_t>& bytes, size_t nCopies)
{
    std::vector<uint8_t> out;
    out.reserve(bytes.size() * nCopies);
    for (size_t i = 0; i < nCopies; ++i)
        out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

// Whole copies of block16 holding at least nBytes.
std::vector<uint8_t> StreamOf(const std::vector<uint8_t>& block16, size_t nBytes)
{
    return Repeat(block16, (nBytes + block16.size() - 1) / block16.size());
}

} // namespace

const std::vector<std::string>& CBigInput::Modes()
{
    static const std::vector<std::string> modes = {"dts", "le16", "cpt", "cptle", "wav16",
                                                   "wav14", "hd", "search", "chunks", "rows"};
    return modes;
}

CBigInput CBigInput::Make(const std::string& strMode, const std::vector<uint8_t>& sample, uint64_t nMinBytes)
{
    if (SplitFrames(sample).empty() || TakeFrames(sample, SIZE_MAX).size() != sample.size())
        throw std::invalid_argument("the sample is not a 16-bit DTS stream of whole frames");
    const std::vector<uint8_t> block16 = Repeat(sample, kCopiesPerBlock);
    CBigInput input;
    if (strMode == "hd")
        input = Hd(block16, nMinBytes);
    else if (strMode == "search")
        input = Search(block16, nMinBytes);
    else if (strMode == "chunks")
        input = ManyChunks(block16, nMinBytes);
    else if (strMode == "rows")
        input = ManyRows(sample, nMinBytes);
    else
        input = Layout(strMode, block16, nMinBytes);
    return input;
}

// The same stream in every word layout; nMinBytes counts its 16-bit bytes, so the 14-bit files
// are 8/7 as large.
CBigInput CBigInput::Layout(const std::string& strMode, const std::vector<uint8_t>& block16, uint64_t nMinBytes)
{
    CBigInput input;
    if (strMode == "dts")
        input.m_block = block16;
    else if (strMode == "le16" || strMode == "wav16")
        input.m_block = SwapWords(block16);
    else if (strMode == "cpt" || strMode == "cptle" || strMode == "wav14")
        input.m_block = Pack14(block16, strMode == "cpt");
    else
        throw std::invalid_argument("unknown mode " + strMode);
    if (input.m_block.size() != block16.size() && input.m_block.size() != block16.size() / 7 * 8)
        throw std::logic_error("a packed block is not whole words");
    input.m_nFramesPerBlock = SplitFrames(block16).size();
    input.m_nBlocks = (nMinBytes + block16.size() - 1) / block16.size();
    if (strMode == "wav16" || strMode == "wav14") {
        // The header of a WAVE holding one block, its sizes then set for all of them.
        input.m_header = WrapWave(input.m_block);
        input.m_header.resize(input.m_header.size() - input.m_block.size());
        const uint64_t nData = input.m_nBlocks * input.m_block.size();
        input.SizeRiff();
        PutLe32(input.m_header, input.m_header.size() - 4, static_cast<uint32_t>(nData));
    }
    return input;
}

// Core frames each followed by an extension substream of 2 to 6 KB of lossless payload, varying
// from frame to frame as in a lossless soundtrack. Each substream is a whole number of 32-bit
// words, so the core frames stay on the 4-byte boundaries they have in DTS-HD files.
CBigInput CBigInput::Hd(const std::vector<uint8_t>& block16, uint64_t nMinBytes)
{
    CBigInput input;
    input.m_block = AppendSubstreams(block16, [](size_t i) {
        SubstreamSpec spec;
        spec.nPayloadBytes = 2048 + static_cast<int>(i * 2731 % 4096);
        spec.nPayloadBytes -= static_cast<int>(BuildSubstream(spec).size() % 4);
        return std::optional<SubstreamSpec>(spec);
    });
    input.m_nFramesPerBlock = SplitFrames(block16).size();
    input.RepeatFor(nMinBytes);
    return input;
}

// nMinBytes of random bytes with no sync in them, then real frames that a search must find.
CBigInput CBigInput::Search(const std::vector<uint8_t>& block16, uint64_t nMinBytes)
{
    CBigInput input;
    input.m_block = RandomBytes(kRandomBlockBytes, kRandomSeed);
    ScrubSyncs(input.m_block);
    // Every four bytes across the seam of two blocks hold the first byte of a block.
    input.m_block.front() = kNoSync;
    input.m_block.back() = kNoSync;
    input.RepeatFor(nMinBytes);
    input.m_trailer = StreamOf(block16, kTailStreamBytes);
    input.m_nTrailerFrames = SplitFrames(input.m_trailer).size();
    return input;
}

// A WAVE whose fmt chunk is followed by nMinBytes of 8-byte unknown chunks, then a data chunk of
// 16 MiB of 16-bit little-endian stream: the chunk walk, not the stream, takes the time.
CBigInput CBigInput::ManyChunks(const std::vector<uint8_t>& block16, uint64_t nMinBytes)
{
    CBigInput input;
    input.m_header = Riff("WAVE", Chunk("fmt ", PcmFormat()));
    for (size_t i = 0; i < kSmallChunksPerBlock; ++i) {
        const auto n = static_cast<uint8_t>(i);
        const std::vector<uint8_t> chunk = Chunk("kbnc", {n, 1, 2, 3, 4, 5, 6, n});
        input.m_block.insert(input.m_block.end(), chunk.begin(), chunk.end());
    }
    input.RepeatFor(nMinBytes);
    const std::vector<uint8_t> stream = StreamOf(block16, kChunkDataStreamBytes);
    input.m_trailer = Chunk("data", SwapWords(stream));
    input.m_nTrailerFrames = SplitFrames(stream).size();
    input.SizeRiff();
    return input;
}

// The sample's first frame cut to 96 bytes, its DIALNORM 0 and 9 in turn, so every frame is a row.
CBigInput CBigInput::ManyRows(const std::vector<uint8_t>& sample, uint64_t nMinBytes)
{
    std::vector<uint8_t> frame(sample.begin(), sample.begin() + kRowFrameBytes);
    SetHeaderField(frame, DtsBits::kFSIZE, 14, kRowFrameBytes - 1);
    std::vector<uint8_t> pair = Repeat(frame, 2);
    SetDialNorm(pair, 0, 0);
    SetDialNorm(pair, kRowFrameBytes, 9);
    CBigInput input;
    input.m_block = Repeat(pair, kRowPairsPerBlock);
    input.m_nFramesPerBlock = 2 * kRowPairsPerBlock;
    input.RepeatFor(nMinBytes);
    return input;
}

void CBigInput::RepeatFor(uint64_t nMinBytes)
{
    m_nBlocks = (nMinBytes + m_block.size() - 1) / m_block.size();
}

void CBigInput::SizeRiff()
{
    if (FileBytes() - 8 > 0xFFFFFFFFull)
        throw std::length_error("a RIFF file holds at most 4 GiB");
    PutLe32(m_header, 4, static_cast<uint32_t>(FileBytes() - 8));
}

void CBigInput::ScrubSyncs(std::vector<uint8_t>& bytes)
{
    struct Pattern {
        std::array<uint8_t, 4> bytes;
        std::array<uint8_t, 4> mask;
    };
    // The core sync in the four word layouts (the 14-bit ones with their padding bits ignored)
    // and the substream sync in both byte orders.
    static constexpr Pattern patterns[] = {
        {{0x7F, 0xFE, 0x80, 0x01}, {0xFF, 0xFF, 0xFF, 0xFF}}, {{0xFE, 0x7F, 0x01, 0x80}, {0xFF, 0xFF, 0xFF, 0xFF}},
        {{0x1F, 0xFF, 0x28, 0x00}, {0x3F, 0xFF, 0x3F, 0xFF}}, {{0xFF, 0x1F, 0x00, 0x28}, {0xFF, 0x3F, 0xFF, 0x3F}},
        {{0x64, 0x58, 0x20, 0x25}, {0xFF, 0xFF, 0xFF, 0xFF}}, {{0x58, 0x64, 0x25, 0x20}, {0xFF, 0xFF, 0xFF, 0xFF}}};
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        for (const Pattern& p : patterns) {
            bool bMatch = true;
            for (size_t k = 0; k < 4 && bMatch; ++k)
                bMatch = (bytes[i + k] & p.mask[k]) == p.bytes[k];
            if (bMatch)
                bytes[i + 1] = kNoSync;
        }
    }
}

bool CBigInput::Write(const std::string& strPath) const
{
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    const auto put = [&out](const std::vector<uint8_t>& bytes) {
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    put(m_header);
    for (uint64_t i = 0; i < m_nBlocks && out; ++i)
        put(m_block);
    put(m_trailer);
    out.close();
    return static_cast<bool>(out);
}

std::vector<uint8_t> CBigInput::Bytes() const
{
    std::vector<uint8_t> bytes = m_header;
    for (uint64_t i = 0; i < m_nBlocks; ++i)
        bytes.insert(bytes.end(), m_block.begin(), m_block.end());
    bytes.insert(bytes.end(), m_trailer.begin(), m_trailer.end());
    return bytes;
}
