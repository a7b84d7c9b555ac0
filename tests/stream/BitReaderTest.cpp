// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of CBitReader: fields near the end of its bytes, and the rule that a read past them spends it.
#include <gtest/gtest.h>

#include <memory>

#include "stream/BitReader.h"

// Catches a field near the end read from bytes past it (ASan sees the exact allocation) or in
// the wrong bit order, and a reader left unspent where a damaged header sends it: past the limit,
// to a position set past it (a size field read from damaged bytes), or backwards.
TEST(BitReader, ReadsUpToItsLimitAndIsSpentPastIt)
{
    // 1010 0101 | 1100 0011 | 0111 1110 | 0000 0001 | 1000 0000
    const auto p = std::unique_ptr<uint8_t[]>(new uint8_t[5]{0xA5, 0xC3, 0x7E, 0x01, 0x80});
    CBitReader r(p.get(), 5, 3);
    EXPECT_EQ(r.Take(7), 0x17u);  // 001 0111
    EXPECT_FALSE(r.Flag());
    EXPECT_EQ(r.Take(13), 0x37Eu);  // 0 0011 0111 1110
    r.SetPos(6);
    EXPECT_EQ(r.Take(32), 0x70DF8060u);
    r.Skip(2);  // up to the limit exactly
    EXPECT_FALSE(r.IsSpent());
    EXPECT_EQ(r.Take(1), 0u);
    r.SetPos(0);
    EXPECT_EQ(r.Take(1), 0u) << "a spent reader stays spent where a field would fit";
    EXPECT_TRUE(r.IsSpent());
    CBitReader set(p.get(), 5);
    set.SetPos(41);
    EXPECT_TRUE(set.IsSpent());
    CBitReader back(p.get(), 5, 24);
    back.SkipTo(20);
    EXPECT_TRUE(back.IsSpent());
}
