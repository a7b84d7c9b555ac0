// Byte-level builders of DTS stream variants, independent of the core's bit streams.
#include "support/StreamVariants.h"

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

void AppendTag(std::vector<uint8_t>& out, const std::string& tag)
{
    if (tag.size() != 4)
        throw std::invalid_argument("RIFF tag must have four characters: " + tag);
    out.insert(out.end(), tag.begin(), tag.end());
}

void AppendLE(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void AppendChunk(std::vector<uint8_t>& out, const std::string& id, const std::vector<uint8_t>& payload,
                 bool pad)
{
    AppendTag(out, id);
    AppendLE(out, static_cast<uint32_t>(payload.size()), 4);
    out.insert(out.end(), payload.begin(), payload.end());
    if (pad && payload.size() % 2 != 0)
        out.push_back(0);
}

std::vector<uint8_t> FmtPayload(size_t size)
{
    std::vector<uint8_t> pcm;
    AppendLE(pcm, 1, 2);          // PCM
    AppendLE(pcm, 2, 2);          // channels
    AppendLE(pcm, 44100, 4);      // samples per second
    AppendLE(pcm, 44100 * 4, 4);  // bytes per second
    AppendLE(pcm, 4, 2);          // block align
    AppendLE(pcm, 16, 2);         // bits per sample
    pcm.resize(size, 0);
    return pcm;
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

std::vector<uint8_t> Pack14(const std::vector<uint8_t>& stream16)
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
        const uint32_t word = (payload & 0x2000u) ? (payload | 0xC000u) : payload;
        out.push_back(static_cast<uint8_t>(word >> 8));
        out.push_back(static_cast<uint8_t>(word));
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

std::vector<uint8_t> WrapWave(const std::vector<uint8_t>& data, const WaveOptions& opts)
{
    std::vector<uint8_t> dataPayload = opts.prefix;
    dataPayload.insert(dataPayload.end(), data.begin(), data.end());

    std::vector<uint8_t> body;
    AppendTag(body, opts.formType);
    for (const WaveChunk& chunk : opts.chunksBeforeFmt)
        AppendChunk(body, chunk.id, chunk.payload, opts.padOddChunks);
    if (opts.dataBeforeFmt)
        AppendChunk(body, "data", dataPayload, opts.padOddChunks);
    if (opts.withFmt)
        AppendChunk(body, "fmt ", FmtPayload(opts.fmtSize), opts.padOddChunks);
    for (const WaveChunk& chunk : opts.chunksBeforeData)
        AppendChunk(body, chunk.id, chunk.payload, opts.padOddChunks);
    if (!opts.dataBeforeFmt)
        AppendChunk(body, "data", dataPayload, opts.padOddChunks);
    for (const WaveChunk& chunk : opts.chunksAfterData)
        AppendChunk(body, chunk.id, chunk.payload, opts.padOddChunks);

    std::vector<uint8_t> file;
    AppendTag(file, opts.riffId);
    AppendLE(file, static_cast<uint32_t>(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
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
