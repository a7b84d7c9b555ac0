// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the RIFF chunk reader and the WAVE source on arbitrary bytes. Every read
// must stay inside its buffer and every walk must end.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dts/input/WaveSource.h"
#include "stream/RiffReader.h"
#include "tests/support/FileWaveSource.h"

namespace {

std::string ScratchPath()
{
    static const std::string path = [] {
        std::random_device rd;
        return (std::filesystem::temp_directory_path() / ("kestrune_fuzz_riff_" + std::to_string(rd()))).string();
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = ScratchPath();
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    CRiffReader reader;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> pFile(std::fopen(path.c_str(), "rb"), std::fclose);
    if (pFile != nullptr) {
        reader.Attach(pFile.get());
        CRiffReader::Chunk riff, fmt, dataChunk;
        if (reader.DescendRiff("WAVE", riff)) {
            if (reader.DescendChunk(riff, "fmt ", fmt)) {
                uint8_t record[18];
                reader.Read(record, fmt.nSize < 18 ? fmt.nSize : 18);
                reader.Ascend(fmt);
            }
            if (reader.DescendChunk(riff, "data", dataChunk)) {
                uint8_t buffer[64];
                reader.Read(buffer, sizeof buffer);
                reader.Seek(-4, SEEK_CUR);
                reader.Read(buffer, sizeof buffer);
                reader.Ascend(dataChunk);
            }
        }
        reader.Close();
    }

    CFileWaveSource source;
    if (source.Open(path)) {
        std::vector<uint8_t> buffer(2048);
        // Each read consumes input, so the walk ends; the bound only guards against a fault.
        for (size_t i = 0; i < size + 8; ++i) {
            if (source.Read(buffer.data(), static_cast<int>(buffer.size())) <= 0)
                break;
        }
        source.Close();
    }
    return 0;
}
