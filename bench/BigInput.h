// SPDX-License-Identifier: GPL-3.0-or-later
// One big benchmark input, described as a header, a block repeated many times and a trailer, so that
// gigabytes can be written while only a few megabytes are held in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CBigInput {
public:
    // The input of one mode (see kestrune_bench_stream's usage) from a 16-bit stream of whole
    // frames, at least nMinBytes long. Throws std::invalid_argument for an unknown mode or a
    // sample that is no such stream, std::length_error for a WAVE past 4 GiB.
    static CBigInput Make(const std::string& strMode, const std::vector<uint8_t>& sample, uint64_t nMinBytes);
    // The names Make accepts, for the usage text and the tests.
    static const std::vector<std::string>& Modes();

    // Writes the whole file; false when it cannot be written.
    bool Write(const std::string& strPath) const;
    // The whole file in memory (for small inputs in tests).
    std::vector<uint8_t> Bytes() const;

    uint64_t FileBytes() const { return m_header.size() + m_nBlocks * m_block.size() + m_trailer.size(); }
    // Core frames in the file, as a reader that finds every one of them counts them.
    uint64_t Frames() const { return m_nBlocks * m_nFramesPerBlock + m_nTrailerFrames; }

    // Replaces every four bytes that a reader could take for a core or substream sync, in any word
    // layout, by bytes that match none; the bytes are otherwise left as they are.
    static void ScrubSyncs(std::vector<uint8_t>& bytes);

private:
    static CBigInput Layout(const std::string& strMode, const std::vector<uint8_t>& block16, uint64_t nMinBytes);
    static CBigInput Hd(const std::vector<uint8_t>& block16, uint64_t nMinBytes);
    static CBigInput Search(const std::vector<uint8_t>& block16, uint64_t nMinBytes);
    static CBigInput ManyChunks(const std::vector<uint8_t>& block16, uint64_t nMinBytes);
    static CBigInput ManyRows(const std::vector<uint8_t>& sample, uint64_t nMinBytes);
    // Sets the RIFF size in the header to the whole file's; throws std::length_error past 4 GiB.
    void SizeRiff();
    // Sets m_nBlocks so that the block's repetitions hold at least nMinBytes.
    void RepeatFor(uint64_t nMinBytes);

    std::vector<uint8_t> m_header;
    std::vector<uint8_t> m_block;
    uint64_t m_nBlocks = 0;
    std::vector<uint8_t> m_trailer;
    uint64_t m_nFramesPerBlock = 0;
    uint64_t m_nTrailerFrames = 0;
};
