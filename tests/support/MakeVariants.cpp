// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the committed sample variants (14-bit packed, little-endian, WAVE-wrapped, header CRC, open rate,
// DTS-HD) from a plain 16-bit stream.
#include "support/StreamVariants.h"
#include "support/SubstreamBuilder.h"
#include "support/TestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: kestrune_make_variants MODE INPUT.dts OUTPUT [--frames N] [--prefix N]\n"
                 "  MODE cpt    14-bit packed words, big-endian\n"
                 "       wav16  RIFF WAVE, 16-bit little-endian words\n"
                 "       wav14  RIFF WAVE, 14-bit packed little-endian words\n"
                 "       hcrc   16-bit stream with CPF set and an HCRC in every frame\n"
                 "       hd     every frame followed by a lossless (XLL) extension substream\n"
                 "       le16   16-bit little-endian words, no container\n"
                 "       le14   14-bit packed little-endian words, no container\n"
                 "       openrate  every frame with RATE 29 and FSIZE one higher (frames FSIZE bytes long)\n"
                 "  --frames N  keep only the first N frames of the input\n"
                 "  --prefix N  N zero bytes at the start of the WAVE data chunk, before the sync\n");
    return 2;
}

// The variant `mode` names, built from a 16-bit big-endian stream; false for an unknown mode.
bool MakeVariant(const std::string& mode, const std::vector<uint8_t>& stream, const WaveOptions& wave,
                 std::vector<uint8_t>& out)
{
    if (mode == "cpt")
        out = Pack14(stream);
    else if (mode == "wav16")
        out = WrapWave(SwapWords(stream), wave);
    else if (mode == "wav14")
        out = WrapWave(SwapWords(Pack14(stream)), wave);
    else if (mode == "le16")
        out = SwapWords(stream);
    else if (mode == "le14")
        out = SwapWords(Pack14(stream));
    else if (mode == "hcrc")
        out = InsertHeaderCrc(stream);
    else if (mode == "openrate")
        out = MakeOpenRate(stream);
    else if (mode == "hd")
        out = AppendSubstreams(stream, [](size_t) {
            SubstreamSpec spec;
            spec.assets[0].dialNorm = 9;
            spec.nPayloadBytes = 64;
            return std::optional<SubstreamSpec>(spec);
        });
    else
        return false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    const std::string mode = argv[1];
    size_t frames = 0;
    size_t prefix = 0;
    for (int i = 4; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        if (arg == "--frames")
            frames = std::strtoul(argv[++i], nullptr, 10);
        else if (arg == "--prefix")
            prefix = std::strtoul(argv[++i], nullptr, 10);
        else
            return Usage();
    }
    try {
        std::vector<uint8_t> stream = ReadFileBytes(argv[2]);
        if (SplitFrames(stream).empty()) {
            std::fprintf(stderr, "%s: does not start with a 16-bit big-endian DTS sync\n", argv[2]);
            return 1;
        }
        if (frames > 0)
            stream = TakeFrames(stream, frames);
        WaveOptions wave;
        wave.prefix.assign(prefix, 0);
        std::vector<uint8_t> out;
        if (!MakeVariant(mode, stream, wave, out))
            return Usage();
        WriteFileBytes(argv[3], out);
        std::printf("%s: %zu frames, %zu bytes\n", argv[3], SplitFrames(stream).size(), out.size());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrune_make_variants: %s\n", e.what());
        return 1;
    }
}
