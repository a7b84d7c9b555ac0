// SPDX-License-Identifier: GPL-3.0-or-later
// Byte-level builders of DTS stream variants, independent of the core's bit streams.
#include "support/StreamVariants.h"

#include <algorithm>
#include <random>
#include <stdexcept>

namespace {

constexpr uint8_t kSync[4] = {0x7F, 0xFE, 0x80, 0x01};

bool HasSyncAt(const std::vector<uint8_t>& bytes, size_t pos)
{
    if (pos + 4 > bytes.size())
        return false;
    for (size_t i = 0; i < 4; ++i)
        if (bytes[pos + i] != kSync[i])
            return false;
    return true;
}

// Fields after HFLAG sit 16 bits later in a frame that carries an HCRC.
size_t TailFieldBit(const std::vector<uint8_t>& stream16, size_t frameStart, size_t offset)
{
    const size_t shift = GetHeaderField(stream16, frameStart * 8 + DtsBits::kCPF, 1) ? 16 : 0;
    return frameStart * 8 + offset + shift;
}

Bytes FourCc(const std::string& tag)
{
    if (tag.size() != 4)
        throw std::invalid_argument("RIFF tag must have four characters: " + tag);
    return Bytes(tag.begin(), tag.end());
}

} // namespace

uint32_t GetHeaderField(const std::vector<uint8_t>& bytes, size_t bitOffset, unsigned width)
{
    if (width < 1 || width > 32)
        throw std::invalid_argument("field width must be 1 to 32");
    if (bitOffset + width > bytes.size() * 8)
        throw std::out_of_range("field runs past the end of the bytes");
    uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
        const size_t bit = bitOffset + i;
        value = (value << 1) | ((bytes[bit / 8] >> (7 - bit % 8)) & 1u);
    }
    return value;
}

void SetHeaderField(std::vector<uint8_t>& bytes, size_t bitOffset, unsigned width, uint32_t value)
{
    if (width < 1 || width > 32)
        throw std::invalid_argument("field width must be 1 to 32");
    if (bitOffset + width > bytes.size() * 8)
        throw std::out_of_range("field runs past the end of the bytes");
    for (unsigned i = 0; i < width; ++i) {
        const size_t bit = bitOffset + i;
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (bit % 8));
        if ((value >> (width - 1 - i)) & 1u)
            bytes[bit / 8] |= mask;
        else
            bytes[bit / 8] &= static_cast<uint8_t>(~mask);
    }
}

uint32_t GetDialNorm(const std::vector<uint8_t>& stream16, size_t frameStart)
{
    return GetHeaderField(stream16, TailFieldBit(stream16, frameStart, DtsBits::kDIALNORM), 4);
}

void SetDialNorm(std::vector<uint8_t>& stream16, size_t frameStart, uint32_t dialNorm)
{
    SetHeaderField(stream16, TailFieldBit(stream16, frameStart, DtsBits::kDIALNORM), 4, dialNorm);
}

uint32_t GetVernum(const std::vector<uint8_t>& stream16, size_t frameStart)
{
    return GetHeaderField(stream16, TailFieldBit(stream16, frameStart, DtsBits::kVERNUM), 4);
}

void SetVernum(std::vector<uint8_t>& stream16, size_t frameStart, uint32_t vernum)
{
    SetHeaderField(stream16, TailFieldBit(stream16, frameStart, DtsBits::kVERNUM), 4, vernum);
}

uint32_t GetRate(const std::vector<uint8_t>& stream16, size_t frameStart)
{
    return GetHeaderField(stream16, frameStart * 8 + DtsBits::kRATE, 5);
}

void SetRate(std::vector<uint8_t>& stream16, size_t frameStart, uint32_t rate)
{
    SetHeaderField(stream16, frameStart * 8 + DtsBits::kRATE, 5, rate);
}

std::vector<size_t> SplitFrames(const std::vector<uint8_t>& stream16)
{
    std::vector<size_t> starts;
    size_t pos = 0;
    while (HasSyncAt(stream16, pos)) {
        starts.push_back(pos);
        if (pos * 8 + DtsBits::kFSIZE + 14 > stream16.size() * 8)
            break; // sync without a complete FSIZE: nothing follows
        pos += GetHeaderField(stream16, pos * 8 + DtsBits::kFSIZE, 14) + 1;
    }
    return starts;
}

std::vector<uint8_t> TakeFrames(const std::vector<uint8_t>& stream16, size_t count)
{
    const std::vector<size_t> starts = SplitFrames(stream16);
    if (count >= starts.size())
        return stream16;
    return std::vector<uint8_t>(stream16.begin(), stream16.begin() + static_cast<std::ptrdiff_t>(starts[count]));
}

std::vector<uint8_t> Pack14(const std::vector<uint8_t>& stream16, bool bBigEndian, int nTopBits)
{
    std::vector<uint8_t> out;
    const size_t totalBits = stream16.size() * 8;
    for (size_t bit = 0; bit < totalBits; bit += 14) {
        uint32_t payload = 0;
        for (size_t i = 0; i < 14; ++i) {
            const size_t b = bit + i;
            const uint32_t v = b < totalBits ? (stream16[b / 8] >> (7 - b % 8)) & 1u : 0u;
            payload = (payload << 1) | v;
        }
        const uint32_t top = nTopBits >= 0 ? static_cast<uint32_t>(nTopBits) & 3u : ((payload >> 13) & 1u) * 3u;
        const uint32_t word = payload | (top << 14);
        const uint8_t high = static_cast<uint8_t>(word >> 8);
        const uint8_t low = static_cast<uint8_t>(word);
        out.push_back(bBigEndian ? high : low);
        out.push_back(bBigEndian ? low : high);
    }
    return out;
}

std::vector<uint8_t> SwapWords(const std::vector<uint8_t>& bytes)
{
    std::vector<uint8_t> out = bytes;
    for (size_t i = 0; i + 1 < out.size(); i += 2)
        std::swap(out[i], out[i + 1]);
    return out;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Le32(uint32_t n)
{
    return {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
            static_cast<uint8_t>(n >> 24)};
}

void PutLe32(Bytes& bytes, size_t nOffset, uint32_t n)
{
    const Bytes le = Le32(n);
    std::copy(le.begin(), le.end(), bytes.begin() + static_cast<std::ptrdiff_t>(nOffset));
}

Bytes RawChunk(const std::string& id, uint32_t nDeclaredSize, const Bytes& contents)
{
    return Concat({FourCc(id), Le32(nDeclaredSize), contents});
}

Bytes Chunk(const std::string& id, const Bytes& contents, bool bPad)
{
    Bytes chunk = RawChunk(id, static_cast<uint32_t>(contents.size()), contents);
    if (bPad && contents.size() % 2 != 0)
        chunk.push_back(0);
    return chunk;
}

Bytes Riff(const std::string& formType, const Bytes& chunks)
{
    return Chunk("RIFF", Concat({FourCc(formType), chunks}), false);
}

Bytes PcmFormat(size_t nSize)
{
    // PCM, 2 channels, 44100 samples and 44100 * 4 bytes per second, block align 4, 16 bits.
    static constexpr uint8_t kPcm[] = {0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00,
                                       0x10, 0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00};
    // Sized once and filled in place: growing a vector of the 16 bytes made GCC 12 warn of a
    // copy out of bounds (-Warray-bounds) that cannot happen.
    Bytes pcm(nSize, 0);
    std::copy_n(kPcm, std::min(nSize, sizeof kPcm), pcm.begin());
    return pcm;
}

std::vector<uint8_t> WrapWave(const std::vector<uint8_t>& data, const WaveOptions& opts)
{
    const bool bPad = opts.padOddChunks;
    const Bytes dataChunk = Chunk("data", Concat({opts.prefix, data}), bPad);
    Bytes body;
    const auto append = [&body](const Bytes& bytes) { body.insert(body.end(), bytes.begin(), bytes.end()); };
    for (const WaveChunk& chunk : opts.chunksBeforeFmt)
        append(Chunk(chunk.id, chunk.payload, bPad));
    if (opts.dataBeforeFmt)
        append(dataChunk);
    if (opts.withFmt)
        append(Chunk("fmt ", PcmFormat(opts.fmtSize), bPad));
    for (const WaveChunk& chunk : opts.chunksBeforeData)
        append(Chunk(chunk.id, chunk.payload, bPad));
    if (!opts.dataBeforeFmt)
        append(dataChunk);
    for (const WaveChunk& chunk : opts.chunksAfterData)
        append(Chunk(chunk.id, chunk.payload, bPad));
    const Bytes form = Concat({FourCc(opts.formType), body});
    return RawChunk(opts.riffId, static_cast<uint32_t>(form.size()), form);
}

std::vector<uint8_t> InsertHeaderCrc(const std::vector<uint8_t>& stream16, std::optional<uint16_t> crc)
{
    const std::vector<size_t> starts = SplitFrames(stream16);
    if (starts.empty())
        throw std::invalid_argument("stream does not start with a sync");
    std::vector<uint8_t> out;
    out.reserve(stream16.size() + 2 * starts.size());
    for (size_t index = 0; index < starts.size(); ++index) {
        const size_t begin = starts[index];
        const size_t end = index + 1 < starts.size() ? starts[index + 1] : stream16.size();
        if (end - begin < DtsBits::kHeaderBytes)
            throw std::invalid_argument("frame too short for a header");
        std::vector<uint8_t> frame(stream16.begin() + static_cast<std::ptrdiff_t>(begin),
                                   stream16.begin() + static_cast<std::ptrdiff_t>(end));
        if (GetHeaderField(frame, DtsBits::kCPF, 1) != 0)
            throw std::invalid_argument("frame already carries a header CRC");
        const uint32_t fsize = GetHeaderField(frame, DtsBits::kFSIZE, 14) + 2;
        if (fsize > 0x3FFF)
            throw std::invalid_argument("FSIZE would overflow its 14 bits");
        SetHeaderField(frame, DtsBits::kCPF, 1, 1);
        SetHeaderField(frame, DtsBits::kFSIZE, 14, fsize);
        const uint16_t value = crc ? *crc : static_cast<uint16_t>(0x5A00 + index);
        const uint8_t crcBytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
        frame.insert(frame.begin() + DtsBits::kHCRC / 8, crcBytes, crcBytes + 2);
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out; // bytes after the last frame stay in it, after its header, as they were
}

std::vector<uint8_t> RemoveHeaderCrc(const std::vector<uint8_t>& stream16, bool lowerFsize)
{
    const std::vector<size_t> starts = SplitFrames(stream16);
    std::vector<uint8_t> out;
    out.reserve(stream16.size());
    for (size_t index = 0; index < starts.size(); ++index) {
        const size_t begin = starts[index];
        const size_t end = index + 1 < starts.size() ? starts[index + 1] : stream16.size();
        std::vector<uint8_t> frame(stream16.begin() + static_cast<std::ptrdiff_t>(begin),
                                   stream16.begin() + static_cast<std::ptrdiff_t>(end));
        if (frame.size() >= DtsBits::kHeaderBytes + 2 && GetHeaderField(frame, DtsBits::kCPF, 1) != 0) {
            SetHeaderField(frame, DtsBits::kCPF, 1, 0);
            if (lowerFsize)
                SetHeaderField(frame, DtsBits::kFSIZE, 14, GetHeaderField(frame, DtsBits::kFSIZE, 14) - 2);
            frame.erase(frame.begin() + DtsBits::kHCRC / 8, frame.begin() + DtsBits::kHCRC / 8 + 2);
        }
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

Bytes RandomBytes(size_t nCount, uint32_t nSeed)
{
    std::mt19937 random(nSeed);
    Bytes bytes(nCount);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(random());
    return bytes;
}

std::vector<uint8_t> MakeOpenRate(const std::vector<uint8_t>& stream16)
{
    std::vector<uint8_t> out = stream16;
    for (const size_t start : SplitFrames(stream16)) {
        const uint32_t fsize = GetHeaderField(out, start * 8 + DtsBits::kFSIZE, 14) + 1;
        if (fsize > 0x3FFF)
            throw std::invalid_argument("FSIZE would overflow its 14 bits");
        SetHeaderField(out, start * 8 + DtsBits::kFSIZE, 14, fsize);
        SetRate(out, start, 29);
    }
    return out;
}
