// SPDX-License-Identifier: GPL-3.0-or-later
// Sample paths and whole-file reads and writes for tests.
#include "support/TestFiles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <iterator>
#include <stdexcept>

std::string TestDataPath(const std::string& name)
{
    return std::string(KESTRUNE_TEST_DATA_DIR) + "/" + name;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw std::runtime_error("cannot read " + path);
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot create " + path);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string SharedSamplePath(const std::string& name)
{
    const std::string path = std::string(KESTRUNE_SHARED_SAMPLES) + "/" + name;
    return std::filesystem::exists(path) ? path : std::string();
}

std::string ShellOutput(const std::string& command)
{
    std::string out;
#ifndef _WIN32
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    if (pclose(pipe) != 0)
        out.clear();
#endif
    return out;
}

std::map<std::string, std::string> ProbeFields(const std::string& path)
{
    std::map<std::string, std::string> fields;
    std::istringstream lines(ShellOutput("ffprobe -v error -count_packets -select_streams a:0 -show_streams -show_format"
                                         " -of flat=s=_ '" + path + "' 2>/dev/null"));
    const std::string kStream = "streams_stream_0_";
    for (std::string line; std::getline(lines, line);) {
        const size_t nEq = line.find('=');
        std::string key = line.substr(0, nEq);
        if (key.rfind(kStream, 0) == 0)
            key = key.substr(kStream.size());
        std::string value = line.substr(nEq + 1);
        if (value.size() >= 2 && value.front() == '"')
            value = value.substr(1, value.size() - 2);
        fields[key] = value;
    }
    return fields;
}
