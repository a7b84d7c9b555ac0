// SPDX-License-Identifier: GPL-3.0-or-later
// Microbenchmarks of COutBitStream: fields of several widths and byte blocks written to the null
// device, against fwrite of the same bytes in the writer's block size as the baseline.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bench/BenchFiles.h"
#include "stream/OutBitStream.h"
#include "support/OutputFiles.h"

namespace {

#ifdef _WIN32
const char* const kNullDevice = "NUL";
#else
const char* const kNullDevice = "/dev/null";
#endif

constexpr size_t kBytes = 16 * 1024 * 1024;

void BM_Baseline_Fwrite(benchmark::State& state)
{
    std::vector<uint8_t> block(COutBitStream::kCapacity, 0x5A);
    for (auto _ : state) {
        std::FILE* pFile = std::fopen(kNullDevice, "wb");
        for (size_t n = 0; n < kBytes; n += block.size())
            std::fwrite(block.data(), 1, block.size(), pFile);
        std::fclose(pFile);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_Baseline_Fwrite)->Unit(benchmark::kMillisecond);

void BM_PutBits(benchmark::State& state)
{
    const int nWidth = static_cast<int>(state.range(0));
    const size_t nFields = kBytes * 8 / static_cast<size_t>(nWidth);
    COutBitStream out;
    for (auto _ : state) {
        OpenOutputFile(out, kNullDevice);
        for (size_t i = 0; i < nFields; ++i)
            out.PutBits(static_cast<uint32_t>(i * 0x9E3779B9u), nWidth);
        out.Close();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_PutBits)->Arg(1)->Arg(8)->Arg(14)->Arg(32)->Unit(benchmark::kMillisecond);

void BM_PutBit(benchmark::State& state)
{
    COutBitStream out;
    for (auto _ : state) {
        OpenOutputFile(out, kNullDevice);
        for (size_t i = 0; i < kBytes * 8; ++i)
            out.PutBit(static_cast<int>(i & 1));
        out.Close();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_PutBit)->Unit(benchmark::kMillisecond);

// Frame bodies: arg 0 byte-aligned (block copies), 1 after a stray bit (byte by byte).
void BM_PutBytes(benchmark::State& state)
{
    std::vector<uint8_t> body(2035, 0xA5);
    COutBitStream out;
    for (auto _ : state) {
        OpenOutputFile(out, kNullDevice);
        if (state.range(0) == 1)
            out.PutBit(1);
        for (size_t n = 0; n < kBytes; n += body.size())
            out.PutBytes(body.data(), static_cast<int>(body.size()));
        out.Close();
    }
    state.SetLabel(state.range(0) == 0 ? "aligned" : "unaligned");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_PutBytes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
