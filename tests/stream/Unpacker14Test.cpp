// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of CUnpacker14's block unpacking against a bit-at-a-time model, over word sources that
// deliver their words in uneven portions.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "stream/Unpacker14.h"
#include "stream/WordKernels.h"
#include "support/StreamVariants.h"
#include "support/TestSeeds.h"

namespace {

// Hands out its words in portions of the given sizes (cycled), stored in the given byte order,
// then 0 for ever; counts its calls.
class CPortionSource : public IWordSource {
public:
    CPortionSource(std::vector<uint16_t> words, std::vector<int> portions, bool bBigEndian = true)
        : m_Words(std::move(words)), m_Portions(std::move(portions)), m_bBigEndian(bBigEndian)
    {
    }
    int ReadWords(uint8_t* pBytes, int nMaxWords) override
    {
        ++nCalls;
        const int nLeft = static_cast<int>(m_Words.size() - m_nNext);
        const int nPortion = m_Portions.empty() ? nMaxWords : m_Portions[nCalls % m_Portions.size()];
        const int n = std::min({nLeft, nMaxWords, nPortion});
        for (int i = 0; i < n; ++i) {
            const uint16_t nWord = m_Words[m_nNext++];
            pBytes[2 * i] = static_cast<uint8_t>(m_bBigEndian ? nWord >> 8 : nWord);
            pBytes[2 * i + 1] = static_cast<uint8_t>(m_bBigEndian ? nWord : nWord >> 8);
        }
        return n;
    }
    bool IsBigEndian() const override { return m_bBigEndian; }
    int nCalls = 0;

private:
    std::vector<uint16_t> m_Words;
    std::vector<int> m_Portions;
    bool m_bBigEndian;
    size_t m_nNext = 0;
};

// Bits 13..0 of each word in turn, packed most significant first into whole bytes; a last
// partial byte is dropped. Written from the packing alone, one bit at a time.
std::vector<uint8_t> UnpackBitByBit(const std::vector<uint16_t>& words)
{
    std::vector<uint8_t> bytes;
    uint8_t nByte = 0;
    int nFilled = 0;
    for (uint16_t nWord : words) {
        for (int nBit = 13; nBit >= 0; --nBit) {
            nByte = static_cast<uint8_t>((nByte << 1) | ((nWord >> nBit) & 1));
            if (++nFilled == 8) {
                bytes.push_back(nByte);
                nByte = 0;
                nFilled = 0;
            }
        }
    }
    return bytes;
}

}  // namespace

// Random words (padding bits set at random) in random portions and both byte orders, unpacked by calls of random sizes
// from 1 byte to more than a word buffer, with each inner-loop set in turn. Catches a block path that differs from the bit-by-bit
// packing (shifts, the pending bits between blocks and calls, padding bits taken as payload), a
// call that returns short before the end, and a wrong end: a partial byte handed out, or a
// missing -1 after the last byte.
TEST(Unpacker14, BlocksMatchBitByBitUnpacking)
{
    for (uint32_t nSeed : TestSeeds({1, 2, 3})) {
        SCOPED_TRACE(SeedTrace(nSeed));
        std::mt19937 random(nSeed);
        const std::vector<const CWordKernels*> kernels = CWordKernels::Available();
        for (int nRound = 0; nRound < 30; ++nRound) {
            const CWordKernels& kernelSet = *kernels[static_cast<size_t>(nRound) % kernels.size()];
            SCOPED_TRACE(kernelSet.GetName());
            const size_t nWords = nRound < 10 ? random() % 12 : random() % (3 * CUnpacker14::kWordCapacity);
            std::vector<uint16_t> words(nWords);
            for (uint16_t& nWord : words)
                nWord = static_cast<uint16_t>(random());
            std::vector<int> portions;
            for (int i = 0, n = 1 + static_cast<int>(random() % 4); i < n; ++i)
                portions.push_back(nRound % 3 == 0 ? CUnpacker14::kWordCapacity : 1 + static_cast<int>(random() % 9));
            const std::vector<uint8_t> expected = UnpackBitByBit(words);

            // Both byte orders: plain files store big-endian words, WAVE files little-endian ones.
            CPortionSource source(words, portions, nRound % 2 == 0);
            CUnpacker14 unpacker;
            unpacker.SetKernels(kernelSet);
            unpacker.Reset();
            std::vector<uint8_t> got;
            std::vector<uint8_t> buffer(200000);
            for (;;) {
                const int nWanted = random() % 4 == 0 ? 1 + static_cast<int>(random() % 200000)
                                                      : 1 + static_cast<int>(random() % 23);
                const int nLeft = static_cast<int>(expected.size() - got.size());
                const int n = unpacker.Unpack(buffer.data(), nWanted, source);
                if (nLeft == 0) {
                    ASSERT_EQ(n, -1) << "round " << nRound;
                    break;
                }
                ASSERT_EQ(n, std::min(nWanted, nLeft)) << "round " << nRound;
                got.insert(got.end(), buffer.begin(), buffer.begin() + n);
            }
            ASSERT_EQ(got, expected) << "round " << nRound;
            EXPECT_EQ(unpacker.Unpack(buffer.data(), 5, source), -1);
        }
    }
}

// Words are taken only when a byte still wanted needs them: four words make exactly seven
// bytes with one read of the source, and the end is asked for only by the next call. Reset
// forgets a partly used word and buffered words. Catches an unpacker that reads ahead of what
// it hands out or carries one file's bits into the next.
TEST(Unpacker14, TakesWordsOnlyWhenNeededAndResetForgets)
{
    // 1FFF E800 07F0 3FFF -> 7F FE 80 01 FC 3F FF
    CPortionSource source({0x1FFF, 0xE800, 0x07F0, 0x3FFF}, {});
    CUnpacker14 unpacker;
    uint8_t buffer[8] = {};
    ASSERT_EQ(unpacker.Unpack(buffer, 7, source), 7);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 7), kSyncAndHeader);
    EXPECT_EQ(source.nCalls, 1);
    EXPECT_EQ(unpacker.Unpack(buffer, 1, source), -1);
    EXPECT_EQ(source.nCalls, 2);

    CPortionSource first({0xFFFF, 0xFFFF, 0xFFFF}, {});
    ASSERT_EQ(unpacker.Unpack(buffer, 1, first), 1);
    unpacker.Reset();
    CPortionSource second({0x0000, 0x0000}, {});
    ASSERT_EQ(unpacker.Unpack(buffer, 8, second), 3);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 3), (std::vector<uint8_t>{0, 0, 0}));
}
