// Scratch input files for the microbenchmarks: random stream bytes as a plain, a 14-bit packed
// and a WAVE file, made once per process and removed at exit.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

class CBenchFiles {
public:
    // Stream bytes in each file; large enough that the page cache, not the disk, is measured.
    static constexpr size_t kStreamBytes = 16 * 1024 * 1024 - 16 * 1024 * 1024 % 14;

    static const CBenchFiles& Get()
    {
        static const CBenchFiles files;
        return files;
    }

    std::string strPlain;
    std::string strPacked;
    std::string strWave16;
    std::vector<uint8_t> stream;

private:
    CBenchFiles()
    {
        m_Dir = std::filesystem::temp_directory_path() / ("kestrune-bench-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(m_Dir);
        std::mt19937 random(1);
        stream.resize(kStreamBytes);
        for (uint8_t& byte : stream)
            byte = static_cast<uint8_t>(random());
        // The sync and the start of a header, so the 14-bit file is recognised as one.
        const uint8_t head[7] = {0x7F, 0xFE, 0x80, 0x01, 0xFC, 0x3F, 0xFF};
        std::copy(head, head + 7, stream.begin());

        std::vector<uint8_t> packed;
        packed.reserve(stream.size() * 8 / 7);
        uint64_t nBits = 0;
        int nHave = 0;
        for (uint8_t byte : stream) {
            nBits = (nBits << 8) | byte;
            nHave += 8;
            while (nHave >= 14) {
                nHave -= 14;
                uint16_t nWord = static_cast<uint16_t>((nBits >> nHave) & 0x3FFF);
                nWord = static_cast<uint16_t>(nWord | ((nWord & 0x2000) ? 0xC000 : 0));
                packed.push_back(static_cast<uint8_t>(nWord >> 8));
                packed.push_back(static_cast<uint8_t>(nWord));
            }
        }
        std::vector<uint8_t> wave = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E',
                                     'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0,
                                     0x10, 0xB1, 2, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a'};
        const uint32_t nData = static_cast<uint32_t>(stream.size());
        for (int i = 0; i < 4; ++i) {
            wave[4 + static_cast<size_t>(i)] = static_cast<uint8_t>((nData + 36) >> (8 * i));
            wave.push_back(static_cast<uint8_t>(nData >> (8 * i)));
        }
        for (size_t i = 0; i + 1 < stream.size(); i += 2) {
            wave.push_back(stream[i + 1]);
            wave.push_back(stream[i]);
        }
        strPlain = Write("plain.dts", stream);
        strPacked = Write("packed.cpt", packed);
        strWave16 = Write("wave16.wav", wave);
    }
    ~CBenchFiles()
    {
        std::error_code error;
        std::filesystem::remove_all(m_Dir, error);
    }

    std::string Write(const char* name, const std::vector<uint8_t>& bytes) const
    {
        const std::string path = (m_Dir / name).string();
        std::FILE* pFile = std::fopen(path.c_str(), "wb");
        if (pFile != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), pFile);
            std::fclose(pFile);
        }
        return path;
    }

    std::filesystem::path m_Dir;
};
