// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of CBitReader: fields near the end of the bytes, and the rule that a read past them spends it.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "stream/BitReader.h"

// Catches a field near the end read from bytes past it (ASan sees the exact allocation), bits
// taken in the wrong order there, and a reader that is not spent where a damaged header sends it:
// past the limit, a position set past it (a size field read from damaged bytes), or backwards.
TEST(BitReader, ReadsUpToItsLimitAndIsSpentPastIt)
{
    // 1010 0101 | 1100 0011 | 0111 1110 | 0000 0001 | 1000 0000
    const uint8_t abData[] = {0xA5, 0xC3, 0x7E, 0x01, 0x80};
    const auto pBytes = std::make_unique<uint8_t[]>(sizeof abData);
    std::copy(std::begin(abData), std::end(abData), pBytes.get());
    CBitReader r(pBytes.get(), 5, 3);
    EXPECT_EQ(r.Take(0), 0u);
    EXPECT_EQ(r.Take(7), 0x17u);     // 001 0111
    EXPECT_FALSE(r.Flag());
    EXPECT_EQ(r.Take(13), 0x37Eu);   // 0 0011 0111 1110
    EXPECT_EQ(r.Take(16), 0x0180u);  // up to the limit exactly
    EXPECT_FALSE(r.IsSpent());
    r.SetPos(2);
    EXPECT_EQ(r.Take(36), 0x70DF8060u) << "wider than 32 bits: the last 32";
    EXPECT_EQ(r.Take(3), 0u);
    EXPECT_TRUE(r.IsSpent());

    CBitReader past(pBytes.get(), 5, 36);
    EXPECT_EQ(past.Take(5), 0u);
    EXPECT_TRUE(past.IsSpent());
    EXPECT_EQ(past.Take(1), 0u) << "a spent reader stays spent where a field would fit";
    CBitReader set(pBytes.get(), 5);
    set.SetPos(41);
    EXPECT_TRUE(set.IsSpent());
    CBitReader skip(pBytes.get(), 5);
    skip.SkipTo(16);
    EXPECT_EQ(skip.Take(8), 0x7Eu);
    skip.SkipTo(20);
    EXPECT_TRUE(skip.IsSpent()) << "a skip backwards";
    CBitReader over(pBytes.get(), 5, 8);
    over.Skip(33);
    EXPECT_TRUE(over.IsSpent());
}
