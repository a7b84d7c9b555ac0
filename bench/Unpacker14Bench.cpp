// SPDX-License-Identifier: GPL-3.0-or-later
// Microbenchmark of CUnpacker14 over words already in memory, for several request sizes, and of
// each inner loop this processor runs (unpack, word swap) on a buffer in the cache, against
// memcpy of the same bytes as the baseline.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "stream/Unpacker14.h"
#include "stream/WordKernels.h"

namespace {

constexpr size_t kWords = 8 * 1024 * 1024;      // 16 MiB of packed words
constexpr size_t kBytes = kWords * 14 / 8;      // what they unpack to

// Hands out the same words again and again, kWords in all, then the end.
class CMemoryWordSource : public IWordSource {
public:
    explicit CMemoryWordSource(const std::vector<uint16_t>& words) : m_Words(words) {}
    void Rewind() { m_nNext = 0; }
    int ReadWords(uint8_t* pBytes, int nMaxWords) override
    {
        const size_t n = std::min(static_cast<size_t>(nMaxWords), m_Words.size() - m_nNext);
        std::memcpy(pBytes, m_Words.data() + m_nNext, n * 2);
        m_nNext += n;
        return static_cast<int>(n);
    }
    // The words are copied as the machine stores them; either order costs the same.
    bool IsBigEndian() const override { return std::endian::native == std::endian::big; }

private:
    const std::vector<uint16_t>& m_Words;
    size_t m_nNext = 0;
};

const std::vector<uint16_t>& Words()
{
    static const std::vector<uint16_t> words = [] {
        std::vector<uint16_t> w(kWords);
        uint32_t n = 1;
        for (uint16_t& word : w) {
            n = n * 1664525u + 1013904223u;
            word = static_cast<uint16_t>(n >> 16);
        }
        return w;
    }();
    return words;
}

void BM_Baseline_Memcpy(benchmark::State& state)
{
    const std::vector<uint16_t>& words = Words();
    std::vector<uint8_t> out(65536);
    for (auto _ : state) {
        const auto* pBytes = reinterpret_cast<const uint8_t*>(words.data());
        for (size_t n = 0; n < kBytes; n += out.size())
            std::memcpy(out.data(), pBytes + n % (kWords * 2 - out.size()), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_Baseline_Memcpy)->Unit(benchmark::kMillisecond);

void BM_Unpack14(benchmark::State& state)
{
    const int nCount = static_cast<int>(state.range(0));
    std::vector<uint8_t> out(static_cast<size_t>(nCount));
    CMemoryWordSource source(Words());
    CUnpacker14 unpacker;
    for (auto _ : state) {
        source.Rewind();
        unpacker.Reset();
        while (unpacker.Unpack(out.data(), nCount, source) > 0) {
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_Unpack14)->Arg(7)->Arg(2048)->Arg(65536)->Unit(benchmark::kMillisecond);

// What a refill hands the kernels: a buffer that stays in the cache.
constexpr size_t kCachedBytes = 64 * 1024;

void BM_Baseline_MemcpyCached(benchmark::State& state)
{
    const auto* pWords = reinterpret_cast<const uint8_t*>(Words().data());
    std::vector<uint8_t> out(kCachedBytes);
    for (auto _ : state) {
        std::memcpy(out.data(), pWords, kCachedBytes);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCachedBytes));
}
BENCHMARK(BM_Baseline_MemcpyCached);

// Bytes per second are of the stored words, as a refill delivers them.
void BM_Kernel_Unpack14(benchmark::State& state, const CWordKernels* pKernels, bool bBigEndian)
{
    const auto* pWords = reinterpret_cast<const uint8_t*>(Words().data());
    std::vector<uint8_t> out(kCachedBytes);
    const size_t nGroups = kCachedBytes / 8;
    for (auto _ : state) {
        pKernels->Unpack14(bBigEndian, pWords, nGroups, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCachedBytes));
}

void BM_Kernel_Swap(benchmark::State& state, const CWordKernels* pKernels)
{
    std::vector<uint8_t> bytes(kCachedBytes, 0x5A);
    for (auto _ : state) {
        pKernels->SwapWords(bytes.data(), kCachedBytes / 2);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCachedBytes));
}

// One benchmark of each kind per kernel set this processor runs, named after the set.
const bool kRegistered = [] {
    for (const CWordKernels* pKernels : CWordKernels::Available()) {
        const std::string strName = pKernels->GetName();
        benchmark::RegisterBenchmark(("BM_Kernel_Unpack14BE/" + strName).c_str(), BM_Kernel_Unpack14, pKernels, true);
        benchmark::RegisterBenchmark(("BM_Kernel_Unpack14LE/" + strName).c_str(), BM_Kernel_Unpack14, pKernels, false);
        benchmark::RegisterBenchmark(("BM_Kernel_Swap/" + strName).c_str(), BM_Kernel_Swap, pKernels);
    }
    return true;
}();

}  // namespace
