// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a big benchmark input in one of the layouts and cases run_bench.sh measures, by repeating
// a small DTS sample, and prints how many core frames it holds.
#include "BigInput.h"
#include "support/TestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: kestrune_bench_stream MODE SAMPLE.dts OUTPUT MIN_BYTES\n"
                 "  MODE dts     the plain 16-bit big-endian stream\n"
                 "       le16    16-bit little-endian words\n"
                 "       cpt     14-bit packed big-endian words (8/7 of the stream's size)\n"
                 "       cptle   14-bit packed little-endian words\n"
                 "       wav16   RIFF WAVE, 16-bit little-endian words\n"
                 "       wav14   RIFF WAVE, 14-bit packed little-endian words\n"
                 "       hd      DTS-HD: each core frame followed by a 2-6 KB extension substream\n"
                 "       search  MIN_BYTES of random bytes without a sync, then 4 MiB of frames\n"
                 "       chunks  WAVE with MIN_BYTES of 8-byte unknown chunks before a 16 MiB data chunk\n"
                 "       rows    the sample's first frame cut to 96 bytes, DIALNORM changing every frame\n"
                 "The first six carry the sample repeated until the 16-bit stream holds at least\n"
                 "MIN_BYTES; hd and rows are at least MIN_BYTES long. The last line printed is the\n"
                 "number of core frames written.\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        return Usage();
    try {
        const CBigInput input = CBigInput::Make(argv[1], ReadFileBytes(argv[2]), std::strtoull(argv[4], nullptr, 10));
        if (!input.Write(argv[3])) {
            std::fprintf(stderr, "%s: write failed\n", argv[3]);
            return 1;
        }
        std::printf("%s: %llu bytes\n%llu\n", argv[3], static_cast<unsigned long long>(input.FileBytes()),
                    static_cast<unsigned long long>(input.Frames()));
        return 0;
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "kestrune_bench_stream: %s\n", e.what());
        return Usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrune_bench_stream: %s\n", e.what());
        return 1;
    }
}
