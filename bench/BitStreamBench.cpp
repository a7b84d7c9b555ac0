// SPDX-License-Identifier: GPL-3.0-or-later
// Microbenchmarks of CBitStream: fields of several widths, single bits, byte blocks and a
// frame-like mix, for each kind of input, against fread of the same file as the baseline.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bench/BenchFiles.h"
#include "stream/BitStream.h"
#include "support/FileBitStream.h"

namespace {

// The floor: the same file read with fread in the reader's block size, and nothing done with it.
void BM_Baseline_Fread(benchmark::State& state)
{
    const CBenchFiles& files = CBenchFiles::Get();
    std::vector<uint8_t> buffer(CBitStream::kDefaultBufferSize);
    for (auto _ : state) {
        std::FILE* pFile = std::fopen(files.strPlain.c_str(), "rb");
        size_t nTotal = 0;
        while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pFile))
            nTotal += n;
        std::fclose(pFile);
        benchmark::DoNotOptimize(nTotal);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CBenchFiles::kStreamBytes));
}
BENCHMARK(BM_Baseline_Fread)->Unit(benchmark::kMillisecond);

// Sums read(stream) over the whole plain file, until the end throws; the template keeps the read
// inline, as in the loop's own code.
template <typename Read>
void ReadPlainToEnd(benchmark::State& state, Read read)
{
    CFileBitStream stream;
    for (auto _ : state) {
        stream.Open(CBenchFiles::Get().strPlain);
        uint32_t nSum = 0;
        try {
            for (;;)
                nSum += read(stream);
        } catch (const EOFBSException&) {
        }
        benchmark::DoNotOptimize(nSum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CBenchFiles::kStreamBytes));
}

// GetBits of one width over the whole plain file.
void BM_GetBits(benchmark::State& state)
{
    const int nWidth = static_cast<int>(state.range(0));
    ReadPlainToEnd(state, [nWidth](CBitStream& stream) { return stream.GetBits(nWidth); });
}
BENCHMARK(BM_GetBits)->Arg(1)->Arg(4)->Arg(8)->Arg(14)->Arg(32)->Unit(benchmark::kMillisecond);

// The bit-at-a-time path, for comparison with GetBits(1).
void BM_GetBit(benchmark::State& state)
{
    ReadPlainToEnd(state, [](CBitStream& stream) { return static_cast<uint32_t>(stream.GetBit()); });
}
BENCHMARK(BM_GetBit)->Unit(benchmark::kMillisecond);

// ReadBytes in blocks of a frame body's size, byte-aligned.
void BM_ReadBytes(benchmark::State& state)
{
    const int nBlock = static_cast<int>(state.range(0));
    std::vector<uint8_t> block(static_cast<size_t>(nBlock));
    CFileBitStream stream;
    for (auto _ : state) {
        stream.Open(CBenchFiles::Get().strPlain);
        while (stream.ReadBytes(block.data(), nBlock) == nBlock) {
        }
        benchmark::DoNotOptimize(block.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CBenchFiles::kStreamBytes));
}
BENCHMARK(BM_ReadBytes)->Arg(512)->Arg(2048)->Arg(16384)->Unit(benchmark::kMillisecond);

// What the frame loop does per frame: a 13-byte header in 26 fields, then a 2035-byte body;
// arg 0 reads a plain file, 1 a 14-bit packed one, 2 a WAVE file with 16-bit words.
void BM_FrameLike(benchmark::State& state)
{
    const CBenchFiles& files = CBenchFiles::Get();
    const std::string& path = state.range(0) == 0 ? files.strPlain : state.range(0) == 1 ? files.strPacked : files.strWave16;
    static const int kWidths[] = {32, 1, 5, 1, 7, 14, 6, 4, 5, 1, 1, 1, 1, 1, 3, 1, 1, 2, 1, 1, 4, 2, 3, 1, 1, 4};
    std::vector<uint8_t> body(2035);
    CFileBitStream stream;
    for (auto _ : state) {
        stream.Open(path);
        uint32_t nSum = 0;
        try {
            for (;;) {
                for (int nWidth : kWidths)
                    nSum += stream.GetBits(nWidth);
                if (stream.ReadBytes(body.data(), 2035) < 2035)
                    break;
            }
        } catch (const EOFBSException&) {
        }
        benchmark::DoNotOptimize(nSum);
    }
    state.SetLabel(state.range(0) == 0 ? "plain" : state.range(0) == 1 ? "14-bit" : "wave16");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CBenchFiles::kStreamBytes));
}
BENCHMARK(BM_FrameLike)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
