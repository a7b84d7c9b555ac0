// Writes a big benchmark input by repeating a small DTS sample, as a plain 16-bit stream, a
// 14-bit packed stream or a WAVE file, without holding more than a few copies in memory.
#include "support/StreamVariants.h"
#include "support/TestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: kestrune_bench_stream MODE SAMPLE.dts OUTPUT MIN_STREAM_BYTES\n"
                 "  MODE dts    the plain 16-bit stream\n"
                 "       cpt    14-bit packed big-endian words (8/7 of the stream's size)\n"
                 "       wav16  RIFF WAVE, 16-bit little-endian words\n"
                 "       wav14  RIFF WAVE, 14-bit packed little-endian words\n"
                 "The sample is repeated until the 16-bit stream holds at least MIN_STREAM_BYTES;\n"
                 "every mode carries the same stream.\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        return Usage();
    const std::string mode = argv[1];
    const unsigned long long nMinBytes = std::strtoull(argv[4], nullptr, 10);
    try {
        const std::vector<uint8_t> sample = ReadFileBytes(argv[2]);
        if (SplitFrames(sample).empty() || TakeFrames(sample, SIZE_MAX).size() != sample.size()) {
            std::fprintf(stderr, "%s: not a 16-bit DTS stream of whole frames\n", argv[2]);
            return 1;
        }
        // Seven copies are a whole number of 14-bit words, so packed blocks can be repeated too.
        std::vector<uint8_t> block16;
        for (int i = 0; i < 7; ++i)
            block16.insert(block16.end(), sample.begin(), sample.end());
        const uint64_t nBlocks = (nMinBytes + block16.size() - 1) / block16.size();

        std::vector<uint8_t> block;
        std::vector<uint8_t> header;
        if (mode == "dts") {
            block = block16;
        } else if (mode == "cpt") {
            block = Pack14(block16);
        } else if (mode == "wav16" || mode == "wav14") {
            block = SwapWords(mode == "wav16" ? block16 : Pack14(block16));
            // The header of a WAVE holding one block, with its sizes set for all of them.
            header = WrapWave(block);
            header.resize(header.size() - block.size());
            const uint64_t nData = nBlocks * block.size();
            if (nData + header.size() > 0xFFFFFFFFull) {
                std::fprintf(stderr, "a WAVE data chunk holds at most 4 GiB\n");
                return 1;
            }
            PutLe32(header, 4, static_cast<uint32_t>(nData + header.size() - 8));
            PutLe32(header, header.size() - 4, static_cast<uint32_t>(nData));
        } else {
            return Usage();
        }
        // Pack14 pads a partial last word with zeros; repeated, the padding would enter the stream.
        const bool bPacked = mode == "cpt" || mode == "wav14";
        if (bPacked && block.size() != block16.size() * 8 / 14 * 2) {
            std::fprintf(stderr, "internal error: a packed block is not whole words\n");
            return 1;
        }

        std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
        for (uint64_t i = 0; i < nBlocks && out; ++i)
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "%s: write failed\n", argv[3]);
            return 1;
        }
        std::printf("%s: %llu stream bytes, %llu file bytes\n", argv[3],
                    static_cast<unsigned long long>(nBlocks * block16.size()),
                    static_cast<unsigned long long>(header.size() + nBlocks * block.size()));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrune_bench_stream: %s\n", e.what());
        return 1;
    }
}
