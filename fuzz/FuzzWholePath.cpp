// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the whole path a user's file takes. The input is written to a file, opened
// (as a 16-bit, 14-bit packed or WAVE input, as its bytes decide), walked by the frame loop with
// rebuild and both removal options, and closed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "dts/FileJob.h"
#include "dts/IFrameLoopHost.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"

namespace {

// Never stops; every row is rendered.
class CFuzzHost : public IFrameLoopHost {
public:
    bool IsStopSet() const override { return false; }
    void SetDetectedFormat(const std::string&) override {}
    void AddFrameRow(const FrameRow& row) override
    {
        // Render every cell, as the windows do.
        for (int c = 0; c < FrameRow::kColumns; ++c)
            (void)row.CellText(c);
    }
};

std::string ScratchPath(const char* suffix)
{
    static const std::string base = [] {
        std::random_device rd;
        return (std::filesystem::temp_directory_path() / ("kestrune_fuzz_" + std::to_string(rd()))).string();
    }();
    return base + suffix;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string in = ScratchPath(".in");
    const std::string out = ScratchPath(".out");
    {
        std::ofstream file(in, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // Outputs are all or nothing: a run that fails keeps none, so one left by the last input
    // must not be taken for this one's.
    const std::string again = ScratchPath(".again");
    std::filesystem::remove(out);
    std::filesystem::remove(again);
    CFuzzHost host;
    // One pair of streams for every input, as the dialog keeps its pair for every file: state
    // left over from one file must not leak into the next.
    static CBitStream inStream;
    static COutBitStream outStream;
    CFileJob::Run(host, inStream, outStream, in, out, static_cast<int64_t>(size), CFileJob::Options{true, false, true, true});
    CFileJob::Run(host, inStream, outStream, in, out, static_cast<int64_t>(size), CFileJob::Options{true, false});

    // A rebuild is a plain stream of whole frames: rebuilding it again must change nothing.
    CFileJob::Run(host, inStream, outStream, out, again, static_cast<int64_t>(size), CFileJob::Options{true, false});
    if (ReadAll(out) != ReadAll(again))
        std::abort();
    return 0;
}
