// Temp files and hand-built RIFF bytes for the stream tests.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A fresh directory under the system temp directory, removed with everything in it.
class CStreamTempDir {
public:
    CStreamTempDir()
    {
        static std::atomic<unsigned> s_nCounter{0};
        std::random_device random;
        m_Dir = std::filesystem::temp_directory_path()
                / ("kestrune-stream-" + std::to_string(random()) + "-" + std::to_string(s_nCounter++));
        std::filesystem::create_directories(m_Dir);
    }
    ~CStreamTempDir()
    {
        std::error_code error;
        std::filesystem::permissions(m_Dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
        std::filesystem::remove_all(m_Dir, error);
    }
    CStreamTempDir(const CStreamTempDir&) = delete;
    CStreamTempDir& operator=(const CStreamTempDir&) = delete;

    std::string Path(const std::string& name) const { return (m_Dir / name).string(); }

    std::string Write(const std::string& name, const Bytes& bytes) const
    {
        const std::string path = Path(name);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    static Bytes Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path m_Dir;
};

inline Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline Bytes Le32(uint32_t n)
{
    return {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
            static_cast<uint8_t>(n >> 24)};
}

// id, declared size, contents as given (no pad added: the caller controls the layout).
inline Bytes RawChunk(const char* id, uint32_t nDeclaredSize, const Bytes& contents)
{
    return Concat({Bytes(id, id + 4), Le32(nDeclaredSize), contents});
}

// A well-formed chunk: its true size, and the pad byte after odd contents.
inline Bytes Chunk(const char* id, const Bytes& contents)
{
    Bytes chunk = RawChunk(id, static_cast<uint32_t>(contents.size()), contents);
    if (contents.size() % 2 != 0)
        chunk.push_back(0);
    return chunk;
}

// "RIFF", the true size, the form type and the chunks.
inline Bytes Riff(const char* formType, const Bytes& chunks)
{
    return RawChunk("RIFF", static_cast<uint32_t>(chunks.size() + 4),
                    Concat({Bytes(formType, formType + 4), chunks}));
}

// The 16 bytes of a PCM format record: stereo, 44100 Hz, 16 bits.
inline Bytes PcmFormat()
{
    return {0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00,
            0x10, 0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00};
}

// A WAVE file with a PCM "fmt " chunk and the given data chunk contents.
inline Bytes Wave(const Bytes& data)
{
    return Riff("WAVE", Concat({Chunk("fmt ", PcmFormat()), Chunk("data", data)}));
}

// Packs stream bytes 14 bits to a word, first bit most significant, as a DTS 14-bit encoder
// does; a last partial word is filled with zeros. Bits 15..14 of each word are a copy of bit 13
// (sign extension, as encoders write them, so the sync is 1FFF E800) when nTopBits is -1, and
// nTopBits otherwise: a reader must ignore them. Words are stored big- or little-endian.
inline Bytes Pack14(const Bytes& stream, bool bBigEndian, int nTopBits = -1)
{
    Bytes packed;
    const size_t nBits = stream.size() * 8;
    for (size_t nFirst = 0; nFirst < nBits; nFirst += 14) {
        uint16_t nWord = 0;
        for (size_t i = 0; i < 14; ++i) {
            const size_t nBit = nFirst + i;
            const int nValue = nBit < nBits ? (stream[nBit / 8] >> (7 - nBit % 8)) & 1 : 0;
            nWord = static_cast<uint16_t>((nWord << 1) | nValue);
        }
        const unsigned nTop = nTopBits >= 0 ? static_cast<unsigned>(nTopBits) & 3u : ((nWord >> 13) & 1u) * 3u;
        nWord = static_cast<uint16_t>(nWord | (nTop << 14));
        const uint8_t nHigh = static_cast<uint8_t>(nWord >> 8);
        const uint8_t nLow = static_cast<uint8_t>(nWord);
        packed.push_back(bBigEndian ? nHigh : nLow);
        packed.push_back(bBigEndian ? nLow : nHigh);
    }
    return packed;
}

// Reproducible pseudo-random bytes.
inline Bytes RandomBytes(size_t nCount, uint32_t nSeed)
{
    std::mt19937 random(nSeed);
    Bytes bytes(nCount);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(random());
    return bytes;
}
