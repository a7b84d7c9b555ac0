// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of every inner-loop set this processor runs (the portable one and the vector ones) against
// the byte-level builders of the test helpers, alone and under CWordLayoutSource.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "stream/IByteSource.h"
#include "stream/Unpacker14.h"
#include "stream/WordKernels.h"
#include "stream/WordLayoutSource.h"
#include "support/StreamVariants.h"
#include "support/TestSeeds.h"

namespace {

// Written around every call so that a store before or past the bytes a kernel owns shows.
constexpr uint8_t kGuard = 0xA5;
constexpr size_t kGuardBytes = 32;

// Sets the two padding bits of every stored 14-bit word at random: a kernel must ignore them.
void ScramblePadding(Bytes& stored, bool bBigEndian, std::mt19937& random)
{
    for (size_t i = bBigEndian ? 0 : 1; i < stored.size(); i += 2)
        stored[i] = static_cast<uint8_t>((stored[i] & 0x3F) | (random() & 0xC0));
}

// Runs one kernel call on a copy of in placed nInOffset bytes into its buffer, the output
// nOutOffset bytes into a guarded one; returns the guarded output buffer.
template <typename Call>
Bytes Guarded(const Bytes& in, size_t nInOffset, size_t nOutBytes, size_t nOutOffset, Call call)
{
    Bytes input(nInOffset + in.size());
    std::copy(in.begin(), in.end(), input.begin() + static_cast<std::ptrdiff_t>(nInOffset));
    Bytes output(nOutOffset + nOutBytes + kGuardBytes, kGuard);
    call(input.data() + nInOffset, output.data() + nOutOffset);
    return output;
}

// Bytes as stored in CWordLayoutSource's layout eLayout for the stream bytes stream16.
Bytes Store(const Bytes& stream16, EWordLayout eLayout, std::mt19937& random)
{
    if (!IsPacked14(eLayout))
        return IsBigEndian(eLayout) ? stream16 : SwapWords(stream16);
    Bytes stored = Pack14(stream16, IsBigEndian(eLayout));
    ScramblePadding(stored, IsBigEndian(eLayout), random);
    return stored;
}

// Hands out stored bytes in random even portions of 2 to 40 bytes, or all that are asked for:
// a 14-bit buffer then fills over many reads, at words that are not a multiple of four.
class CPortionByteSource : public IByteSource {
public:
    CPortionByteSource(const Bytes& bytes, std::mt19937& random) : m_Bytes(bytes), m_Random(random) {}
    int Read(uint8_t* pBytes, int nCount) override
    {
        const size_t nPortion = m_Random() % 2 == 0 ? 2 * (1 + m_Random() % 20) : static_cast<size_t>(nCount);
        const size_t n = std::min({m_Bytes.size() - m_nNext, static_cast<size_t>(nCount), nPortion});
        std::copy_n(m_Bytes.begin() + static_cast<std::ptrdiff_t>(m_nNext), n, pBytes);
        m_nNext += n;
        return static_cast<int>(n);
    }

private:
    const Bytes& m_Bytes;
    std::mt19937& m_Random;
    size_t m_nNext = 0;
};

}  // namespace

// Every set, both byte orders, every start of input and output within 16 bytes and every group
// count to 40 (across the two- and four-group vector steps and their scalar tails), then long
// runs: the unpack must give back what Pack14 packed, whatever the padding bits, and write
// exactly 7 bytes per group. The swap likewise for every word count to 70, in place, against
// SwapWords. As every set is held to the same builders, the vector sets match the portable one.
// Catches a wrong shuffle, shift or mask (padding taken as payload), a store that runs past its
// bytes or starts before them, a tail left unprocessed, and a vector set chosen where it differs.
TEST(WordKernels, EverySetMatchesTheBuildersAtEveryAlignmentAndLength)
{
    for (uint32_t nSeed : TestSeeds({1, 2})) {
        SCOPED_TRACE(SeedTrace(nSeed));
        std::mt19937 random(nSeed);
        std::vector<size_t> groupCounts(41);
        for (size_t i = 0; i < groupCounts.size(); ++i)
            groupCounts[i] = i;
        for (int i = 0; i < 4; ++i)
            groupCounts.push_back(100 + random() % 3000);
        for (const CWordKernels* pKernels : CWordKernels::Available()) {
            SCOPED_TRACE(pKernels->GetName());
            for (bool bBigEndian : {true, false}) {
                for (size_t nGroups : groupCounts) {
                    const Bytes stream = RandomBytes(7 * nGroups, static_cast<uint32_t>(random()));
                    Bytes stored = Pack14(stream, bBigEndian);
                    ScramblePadding(stored, bBigEndian, random);
                    const size_t nStep = nGroups > 40 ? 5 : 1;
                    for (size_t nIn = 0; nIn < 16; nIn += nStep) {
                        for (size_t nOut = 0; nOut < 16; nOut += nStep) {
                            const Bytes output = Guarded(stored, nIn, stream.size(), nOut, [&](const uint8_t* pIn, uint8_t* pOut) {
                                pKernels->Unpack14(bBigEndian, pIn, nGroups, pOut);
                            });
                            Bytes expected(nOut, kGuard);
                            expected.insert(expected.end(), stream.begin(), stream.end());
                            expected.resize(output.size(), kGuard);
                            ASSERT_EQ(output, expected) << (bBigEndian ? "BE" : "LE") << ", " << nGroups
                                                        << " groups, input at " << nIn << ", output at " << nOut;
                        }
                    }
                }
            }
            for (size_t nWords = 0; nWords <= 70; ++nWords) {
                const Bytes words = RandomBytes(2 * nWords, static_cast<uint32_t>(random()));
                for (size_t nAt = 0; nAt < 32; ++nAt) {
                    Bytes buffer(nAt, kGuard);
                    buffer.insert(buffer.end(), words.begin(), words.end());
                    buffer.resize(buffer.size() + kGuardBytes, kGuard);
                    Bytes expected(nAt, kGuard);
                    const Bytes swapped = SwapWords(words);
                    expected.insert(expected.end(), swapped.begin(), swapped.end());
                    expected.resize(buffer.size(), kGuard);
                    pKernels->SwapWords(buffer.data() + nAt, nWords);
                    ASSERT_EQ(buffer, expected) << nWords << " words at " << nAt;
                }
            }
        }
    }
}

// Every layout read through CWordLayoutSource with every set: random streams of random length
// (past two refills of the 14-bit word buffer), stored bytes delivered in random even portions,
// read in random even counts from 2 bytes to more than a refill. The stream bytes must come back
// in full and in order, then the end. Catches a vector path that loses its place where a refill
// or a read ends mid-group, a swap applied to the wrong words, and a set that is not passed down
// to the unpacker.
TEST(WordKernels, EveryLayoutReadsBackItsStreamWithEverySetAcrossRefills)
{
    for (uint32_t nSeed : TestSeeds({1, 2, 3})) {
        SCOPED_TRACE(SeedTrace(nSeed));
        std::mt19937 random(nSeed);
        const size_t nLength = 2 * 2 * CUnpacker14::kWordCapacity + random() % 4000;
        const Bytes stream = RandomBytes(nLength, static_cast<uint32_t>(random()));
        for (const CWordKernels* pKernels : CWordKernels::Available()) {
            for (const auto& [eLayout, pszName] : {std::pair{EWordLayout::Words16BE, "16-bit BE"}, {EWordLayout::Words16LE, "16-bit LE"},
                                                   {EWordLayout::Words14BE, "14-bit BE"}, {EWordLayout::Words14LE, "14-bit LE"}}) {
                SCOPED_TRACE(std::string(pKernels->GetName()) + ", " + pszName);
                const Bytes stored = Store(stream, eLayout, random);
                // A 14-bit packing pads its last word with zero bits: a whole byte of them may come back.
                Bytes expected = stream;
                expected.resize(IsPacked14(eLayout) ? stored.size() / 2 * 14 / 8 : stream.size(), 0);
                CPortionByteSource raw(stored, random);
                CWordLayoutSource source;
                source.SetKernels(*pKernels);
                source.Reset(eLayout, &raw);
                Bytes got;
                Bytes buffer(300000);
                for (int n = 1; n > 0;) {
                    const int nWanted = 2 * (random() % 4 == 0 ? 1 + static_cast<int>(random() % 150000)
                                                               : 1 + static_cast<int>(random() % 40));
                    n = source.Read(buffer.data(), nWanted);
                    ASSERT_LE(n, nWanted);
                    got.insert(got.end(), buffer.begin(), buffer.begin() + std::max(n, 0));
                }
                ASSERT_EQ(got.size(), expected.size());
                ASSERT_TRUE(got == expected) << "first difference at byte "
                                             << std::mismatch(got.begin(), got.end(), expected.begin()).first - got.begin();
            }
        }
    }
}
