// CIec61937Source against bursts built by hand: what FFmpeg's muxer never writes but captures
// hold (other codecs' and pause bursts, odd lengths, junk, a capture cut inside a burst).
#include <gtest/gtest.h>

#include <vector>

#include "stream/Iec61937Source.h"
#include "stream/MemoryByteSource.h"

namespace {

using Bytes = std::vector<uint8_t>;

// One burst of data type nType with payload (Pd in bits), in 16-bit words of the given order,
// then nStuffing zero bytes.
void AppendBurst(Bytes& out, bool bLittle, uint16_t nType, const Bytes& payload, size_t nStuffing)
{
    Bytes words = {0xF8, 0x72, 0x4E, 0x1F, 0, static_cast<uint8_t>(nType),
                   static_cast<uint8_t>((payload.size() * 8) >> 8), static_cast<uint8_t>(payload.size() * 8)};
    words.insert(words.end(), payload.begin(), payload.end());
    if (words.size() % 2 != 0)
        words.push_back(0);
    for (size_t i = 0; bLittle && i < words.size(); i += 2)
        std::swap(words[i], words[i + 1]);
    out.insert(out.end(), words.begin(), words.end());
    out.insert(out.end(), nStuffing, 0);
}

Bytes ReadAll(const Bytes& stored, EIecOrder eOrder)
{
    CMemoryByteSource memory(stored.data(), stored.size());
    CIec61937Source source;
    source.Reset(&memory, eOrder);
    Bytes out(stored.size() + 16);
    size_t nAt = 0;
    for (int n; (n = source.Read(out.data() + nAt, 7)) > 0;)
        nAt += static_cast<size_t>(n);
    out.resize(nAt);
    return out;
}

} // namespace

// Catches a non-DTS burst's payload handed out as stream, a byte of padding kept after an odd
// length, junk between bursts taken for a preamble or ending the stream, a word order mixed up,
// and a cut last burst dropped (the walk must see it cut short).
TEST(Iec61937Source, TakesOnlyDtsPayloadsInEitherOrder)
{
    for (bool bLittle : {false, true}) {
        SCOPED_TRACE(bLittle ? "little-endian" : "big-endian");
        Bytes stored;
        AppendBurst(stored, bLittle, 11, {1, 2, 3, 4, 5}, 100);
        AppendBurst(stored, bLittle, 1, {9, 9, 9, 9}, 6);    // an AC-3 burst
        AppendBurst(stored, bLittle, 3, {}, 10);             // a pause
        stored.insert(stored.end(), {0x12, 0x34, 0x56, 0x78});
        AppendBurst(stored, bLittle, 12, {6, 7}, 0);
        AppendBurst(stored, bLittle, 13, {8, 10, 11, 12, 13, 14}, 0);
        stored.resize(stored.size() - 2);
        const EIecOrder eOrder = CIec61937Source::DetectIec61937(stored.data(), stored.size());
        EXPECT_EQ(eOrder, bLittle ? EIecOrder::LittleEndian : EIecOrder::BigEndian);
        EXPECT_EQ(ReadAll(stored, eOrder), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12}));
    }
    EXPECT_EQ(CIec61937Source::DetectIec61937(Bytes{0x7F, 0xFE, 0x80, 0x01}.data(), 4), EIecOrder::None);
}
