// SPDX-License-Identifier: GPL-3.0-or-later
// The wide and block paths of the bit streams against plain bit-at-a-time models: random round
// trips through the writer and the reader, every refill boundary, and the end of the input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include "dts/SyncWords.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"
#include "support/FileBitStream.h"
#include "support/MachineTraits.h"
#include "support/OutputFiles.h"
#include "support/StreamVariants.h"
#include "support/TestFiles.h"
#include "support/TestSeeds.h"

namespace {

// The stream as a list of bits, most significant bit of each byte first: the model that every
// read and write is checked against.
class CBitModel {
public:
    explicit CBitModel(const Bytes& bytes = {})
    {
        for (uint8_t byte : bytes)
            Put(byte, 8);
    }
    void Put(uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i)
            m_Bits.push_back(i < 32 ? static_cast<uint8_t>((value >> i) & 1) : 0);
    }
    // The last partial byte is completed with zeros, as a writer does at close.
    Bytes ToBytes() const
    {
        Bytes bytes((m_Bits.size() + 7) / 8, 0);
        for (size_t i = 0; i < m_Bits.size(); ++i)
            bytes[i / 8] = static_cast<uint8_t>(bytes[i / 8] | (m_Bits[i] << (7 - i % 8)));
        return bytes;
    }
    size_t Size() const { return m_Bits.size(); }
    // count bits from bit nPos, keeping the last 32 as GetBits does; the caller checks the length.
    uint32_t Get(size_t nPos, int count) const
    {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i)
            value = (value << 1) | m_Bits[nPos + static_cast<size_t>(i)];
        return value;
    }

private:
    std::vector<uint8_t> m_Bits;
};

// One operation of a random round trip: a bit, a field of 0 to 40 bits, or a block of bytes.
struct Op {
    enum Kind { Bit, Bits, Block } eKind;
    int nCount;        // field width, or block length in bytes
    uint32_t nValue;   // Bit, Bits
    Bytes block;       // Block
};

std::vector<Op> RandomOps(std::mt19937& random, size_t nMinBits)
{
    std::vector<Op> ops;
    size_t nBits = 0;
    while (nBits < nMinBits) {
        Op op{};
        const unsigned nKind = random() % 8;
        if (nKind == 0) {
            op.eKind = Op::Bit;
            op.nCount = 1;
            op.nValue = random() % 2;
        } else if (nKind <= 5) {
            op.eKind = Op::Bits;
            op.nCount = static_cast<int>(random() % 41);  // above 32 now and then
            op.nValue = static_cast<uint32_t>(random());
        } else {
            op.eKind = Op::Block;
            // Mostly frame-body sized, sometimes longer than a small reader's buffer.
            op.nCount = static_cast<int>(random() % (nKind == 7 ? 3000 : 40));
            op.block = RandomBytes(static_cast<size_t>(op.nCount), static_cast<uint32_t>(random()));
        }
        nBits += op.eKind == Op::Block ? static_cast<size_t>(op.nCount) * 8 : static_cast<size_t>(op.nCount);
        ops.push_back(std::move(op));
    }
    return ops;
}

// Bits at the end of the stream that are not a whole byte are never read back.
size_t BitsOf(const Op& op)
{
    return op.eKind == Op::Block ? static_cast<size_t>(op.nCount) * 8 : static_cast<size_t>(op.nCount);
}

// Reads the ops back with CBitStream, checking every value and the counter against the model,
// then checks the end: the first read past the last whole byte throws, and keeps throwing.
void ReadBack(CBitStream& stream, const std::vector<Op>& ops, const CBitModel& model, int64_t nStart,
              bool bMayPad = false)
{
    const size_t nWholeBits = model.Size() / 8 * 8;
    size_t nPos = 0;
    Bytes block;
    for (const Op& op : ops) {
        if (nPos + BitsOf(op) > nWholeBits)
            break;
        switch (op.eKind) {
        case Op::Bit:
            ASSERT_EQ(static_cast<uint32_t>(stream.GetBit()), model.Get(nPos, 1)) << "bit at " << nPos;
            break;
        case Op::Bits:
            ASSERT_EQ(stream.GetBits(op.nCount), model.Get(nPos, op.nCount))
                << op.nCount << " bits at " << nPos;
            break;
        case Op::Block:
            block.assign(static_cast<size_t>(op.nCount), 0xEE);
            ASSERT_EQ(stream.ReadBytes(block.data(), op.nCount), op.nCount) << "block at " << nPos;
            ASSERT_EQ(block, op.block) << "block at " << nPos;
            break;
        }
        nPos += BitsOf(op);
        ASSERT_EQ(stream.GetBytePos(), nStart + static_cast<int64_t>(nPos / 8)) << "after bit " << nPos;
    }
    // The rest bit by bit, then the end.
    for (; nPos < nWholeBits; ++nPos)
        ASSERT_EQ(static_cast<uint32_t>(stream.GetBit()), model.Get(nPos, 1)) << "bit at " << nPos;
    int64_t nEnd = nStart + static_cast<int64_t>(nWholeBits / 8);
    if (bMayPad) {
        uint8_t pad = 0xEE;
        if (stream.ReadBytes(&pad, 1) == 1) {
            EXPECT_EQ(pad, 0) << "padding after the stream";
            ++nEnd;
        }
    }
    EXPECT_THROW(stream.GetBits(3), EOFBSException);
    EXPECT_THROW(stream.GetBit(), EOFBSException);
    uint8_t byte = 0;
    EXPECT_EQ(stream.ReadBytes(&byte, 1), 0);
    EXPECT_EQ(stream.GetBytePos(), nEnd);
}

}  // namespace

// Random fields of every width (0 to 40 bits), single bits and byte blocks at every alignment are
// written with PutBit, PutBits and PutBytes and read back with GetBit, GetBits and ReadBytes, with
// buffers from 2 bytes (a refill every few reads) to the default. Catches any wide or block path
// that differs from bit-by-bit handling: a wrong shift or mask, a lost or repeated bit at a refill
// or buffer flush, a counter that is off after a block, a wrong last partial byte.
TEST(StreamEquivalence, RandomRoundTripsThroughEveryPath)
{
    CTempDir dir;
    for (uint32_t nSeed : TestSeeds({1, 2, 3, 20240601})) {
        SCOPED_TRACE(SeedTrace(nSeed));
        std::mt19937 random(nSeed);
        for (int nRound = 0; nRound < 12; ++nRound) {
            SCOPED_TRACE("round " + std::to_string(nRound));
            // Every third round is longer than two default buffers and the writer's buffer.
            const size_t nMinBits = nRound % 3 == 2 ? 150000 * 8 : 1 + random() % 20000;
            // A leading zero byte: a stream that began "RIFF" or like a 14-bit file would be read as one.
            std::vector<Op> ops{Op{Op::Bits, 8, 0, {}}};
            for (Op& op : RandomOps(random, nMinBits))
                ops.push_back(std::move(op));

            const std::string path = dir.Path("round.bin");
            CBitModel model;
            COutBitStream out;
            ASSERT_TRUE(OpenOutputFile(out, path));
            for (const Op& op : ops) {
                switch (op.eKind) {
                case Op::Bit:
                    out.PutBit(static_cast<int>(op.nValue));
                    model.Put(op.nValue, 1);
                    break;
                case Op::Bits:
                    out.PutBits(op.nValue, op.nCount);
                    model.Put(op.nCount >= 32 ? op.nValue : op.nValue & ((1u << op.nCount) - 1), op.nCount);
                    break;
                case Op::Block:
                    out.PutBytes(op.block.data(), op.nCount);
                    for (uint8_t byte : op.block)
                        model.Put(byte, 8);
                    break;
                }
            }
            out.Close();
            ASSERT_FALSE(out.HasWriteError());
            const Bytes written = ReadFileBytes(path);
            ASSERT_EQ(written, model.ToBytes());

            for (int nBufferSize : {2, 7, 64, 1000, CBitStream::kDefaultBufferSize}) {
                SCOPED_TRACE("buffer " + std::to_string(nBufferSize));
                CFileBitStream stream(nBufferSize);
                ASSERT_TRUE(stream.Open(path));
                // The file holds the last partial byte too, completed with zeros.
                ReadBack(stream, ops, CBitModel(written), 0);
            }
        }
    }
}

// The same random streams behind the sync and header, carried by every kind of input: 14-bit
// packed (big-endian words), and WAVE with 16-bit and 14-bit little-endian words after a few
// bytes of other data. Catches a wide read or a block that goes wrong where the unpacker or the
// WAVE source fills the buffer (odd lengths, words split between refills).
TEST(StreamEquivalence, EveryKindOfInputReadsBackTheSameBits)
{
    CTempDir dir;
    for (uint32_t nSeed : TestSeeds({1, 2, 3, 20240601})) {
        SCOPED_TRACE(SeedTrace(nSeed));
        std::mt19937 random(nSeed);
        for (int nRound = 0; nRound < 4; ++nRound) {
            SCOPED_TRACE("round " + std::to_string(nRound));
            std::vector<Op> ops{Op{Op::Block, 7, 0, kSyncAndHeader}};
            for (Op& op : RandomOps(random, nRound == 3 ? 200000 * 8 : 1 + random() % 30000))
                ops.push_back(std::move(op));
            CBitModel model;
            for (const Op& op : ops) {
                if (op.eKind == Op::Block) {
                    for (uint8_t byte : op.block)
                        model.Put(byte, 8);
                } else {
                    model.Put(op.nValue, op.nCount);
                }
            }
            // Readers hand out whole bytes only, so the stream is its whole bytes.
            Bytes stream = model.ToBytes();
            stream.resize(model.Size() / 8);
            const CBitModel streamModel(stream);
            const Bytes other = {0x11, 0x22, 0x33, 0x44};

            struct Kind {
                const char* name;
                Bytes file;
                int64_t nStart;
                // 14-bit packing may leave one zero byte of padding bits after the stream, and an
                // odd stream in 16-bit words one zero byte.
                bool bMayPad;
            };
            const Kind kinds[] = {
                {"plain", stream, 0, false},
                {"14-bit", Pack14(stream, true), 0, true},
                // WAVE data is whole words: an odd stream gets a zero byte to fill its last word.
                {"wave16", WrapWave(Concat({other, SwapWords(Concat({stream, Bytes(stream.size() % 2, 0)}))})), 4,
                 stream.size() % 2 != 0},
                {"wave14", WrapWave(Concat({other, Pack14(stream, false)})), 4, true},
            };
            for (const Kind& kind : kinds) {
                const std::string path = dir.Write("kind.bin", kind.file);
                for (int nBufferSize : {2, 14, 4096, CBitStream::kDefaultBufferSize}) {
                    SCOPED_TRACE(std::string(kind.name) + ", buffer " + std::to_string(nBufferSize));
                    CFileBitStream bitStream(nBufferSize);
                    ASSERT_TRUE(bitStream.Open(path));
                    ReadBack(bitStream, ops, streamModel, kind.nStart, kind.bMayPad);
                }
            }
        }
    }
}

// Reads of every width from every bit position near each refill boundary of the default buffer
// (and of a small odd one), and near the end of the input. Catches a wide read that loads the
// wrong bytes where the buffer ends, a refill that drops or repeats the bits at the seam, and an
// end of input that throws at the wrong bit, leaves the counter wrong, or hands out stale bytes.
TEST(StreamEquivalence, ReadsAcrossEveryRefillAndAtTheEnd)
{
    CTempDir dir;
    for (int nBufferSize : {6, CBitStream::kDefaultBufferSize}) {
        SCOPED_TRACE("buffer " + std::to_string(nBufferSize));
        const size_t nSize = static_cast<size_t>(nBufferSize) * 3 + 5;
        Bytes bytes = RandomBytes(nSize, 7);
        bytes[0] = 0;  // neither RIFF nor 14-bit
        const std::string path = dir.Write("seams.bin", bytes);
        const CBitModel model(bytes);
        const size_t nTotal = model.Size();
        CFileBitStream stream(nBufferSize);

        // Positions within 40 bits either side of each seam and of the end.
        std::vector<size_t> starts;
        for (size_t nSeam : {static_cast<size_t>(nBufferSize) * 8, static_cast<size_t>(nBufferSize) * 16,
                             static_cast<size_t>(nBufferSize) * 24, nTotal}) {
            for (size_t n = nSeam >= 40 ? nSeam - 40 : 0; n <= nSeam && n < nTotal; ++n)
                starts.push_back(n);
        }
        for (size_t nStart : starts) {
            for (int nWidth : {1, 7, 8, 9, 17, 25, 31, 32, 33, 40}) {
                ASSERT_TRUE(stream.Open(path));
                // Skip to the start with a block and then single bits, the slow path.
                Bytes skipped(nStart / 8);
                ASSERT_EQ(stream.ReadBytes(skipped.data(), static_cast<int>(skipped.size())),
                          static_cast<int>(skipped.size()));
                for (size_t i = 0; i < nStart % 8; ++i)
                    stream.GetBit();
                const bool bFits = nStart + static_cast<size_t>(nWidth) <= nTotal;
                if (bFits) {
                    const size_t nKept = nWidth > 32 ? nStart + static_cast<size_t>(nWidth) - 32 : nStart;
                    ASSERT_EQ(stream.GetBits(nWidth), model.Get(nKept, std::min(nWidth, 32)))
                        << nWidth << " bits from bit " << nStart;
                    ASSERT_EQ(stream.GetBytePos(), static_cast<int64_t>((nStart + static_cast<size_t>(nWidth)) / 8));
                } else {
                    // The bits that are there are taken, the whole bytes counted, and the end stays.
                    ASSERT_THROW(stream.GetBits(nWidth), EOFBSException) << nWidth << " bits from bit " << nStart;
                    ASSERT_EQ(stream.GetBytePos(), static_cast<int64_t>(nSize));
                    ASSERT_THROW(stream.GetBit(), EOFBSException);
                    ASSERT_EQ(stream.GetBytePos(), static_cast<int64_t>(nSize));
                }
            }
            // A block from here to past the end: the bytes that are there, at any alignment, and
            // then where GetBits(8) would have thrown.
            ASSERT_TRUE(stream.Open(path));
            Bytes skipped(nStart / 8);
            stream.ReadBytes(skipped.data(), static_cast<int>(skipped.size()));
            for (size_t i = 0; i < nStart % 8; ++i)
                stream.GetBit();
            const int nWhole = static_cast<int>((nTotal - nStart) / 8);
            Bytes block(static_cast<size_t>(nWhole) + 3, 0xEE);
            ASSERT_EQ(stream.ReadBytes(block.data(), nWhole + 3), nWhole) << "block from bit " << nStart;
            for (int i = 0; i < nWhole; ++i)
                ASSERT_EQ(block[static_cast<size_t>(i)], model.Get(nStart + 8 * static_cast<size_t>(i), 8));
            ASSERT_EQ(stream.GetBytePos(), static_cast<int64_t>(nSize));
            ASSERT_THROW(stream.GetBit(), EOFBSException);
            ASSERT_EQ(stream.ReadBytes(block.data(), 1), 0);
        }
    }

    // An empty file, and blocks of zero or negative length that must read nothing.
    CFileBitStream stream;
    ASSERT_TRUE(stream.Open(dir.Write("empty.bin", {})));
    uint8_t byte = 0xEE;
    EXPECT_EQ(stream.ReadBytes(&byte, 1), 0);
    EXPECT_EQ(byte, 0xEE);
    EXPECT_EQ(stream.GetBytePos(), 0);
    ASSERT_TRUE(stream.Open(dir.Write("two.bin", {0x12, 0x34})));
    EXPECT_EQ(stream.ReadBytes(&byte, 0), 0);
    EXPECT_EQ(stream.ReadBytes(&byte, -3), 0);
    EXPECT_EQ(stream.GetBytePos(), 0);
    EXPECT_EQ(stream.GetBits(4), 0x1u);
    EXPECT_EQ(stream.ReadBytes(&byte, 1), 1);
    EXPECT_EQ(byte, 0x23);
    EXPECT_EQ(stream.GetBytePos(), 1);
    // Half a byte left: the block delivers nothing, but the four bits are gone as GetBits(8) takes them.
    EXPECT_EQ(stream.ReadBytes(&byte, 1), 0);
    EXPECT_EQ(stream.GetBytePos(), 2);
    EXPECT_THROW(stream.GetBit(), EOFBSException);
}

// PutBytes at every alignment equals PutBits of each byte; output longer than the writer's
// buffer arrives whole and in order; bytes put while closed go nowhere; a full device is
// reported for block writes too. Catches a block copy that ignores pending bits, a lost
// buffer seam, and write errors hidden by the larger buffer.
TEST(StreamEquivalence, BlockWritesMatchBitWrites)
{
    CTempDir dir;
    const Bytes block = RandomBytes(3 * COutBitStream::kCapacity + 11, 9);
    for (int nLead = 0; nLead < 8; ++nLead) {
        SCOPED_TRACE("leading bits " + std::to_string(nLead));
        COutBitStream out;
        ASSERT_TRUE(OpenOutputFile(out, dir.Path("block.bin")));
        out.PutBits(0x5A, nLead);
        out.PutBytes(block.data(), static_cast<int>(block.size()));
        out.PutBits(0x3, 2);
        out.Close();
        CBitModel model;
        model.Put(0x5A & ((1u << nLead) - 1), nLead);
        for (uint8_t byte : block)
            model.Put(byte, 8);
        model.Put(0x3, 2);
        ASSERT_EQ(ReadFileBytes(dir.Path("block.bin")), model.ToBytes());
    }

    COutBitStream out;
    out.PutBytes(block.data(), 100);
    out.PutBits(0x7, 3);
    ASSERT_TRUE(OpenOutputFile(out, dir.Path("after.bin")));
    out.PutBytes(block.data(), 2);
    out.PutBytes(block.data(), 0);
    out.PutBytes(block.data(), -1);
    out.Close();
    EXPECT_EQ(ReadFileBytes(dir.Path("after.bin")), Bytes(block.begin(), block.begin() + 2));

    if (!HasDevFull())
        GTEST_SKIP() << kNoDevFull;
    ASSERT_TRUE(OpenOutputFile(out, "/dev/full"));
    out.PutBytes(block.data(), 10);
    out.Close();
    EXPECT_TRUE(out.HasWriteError());
    ASSERT_TRUE(OpenOutputFile(out, "/dev/full"));
    out.PutBytes(block.data(), static_cast<int>(block.size()));
    EXPECT_TRUE(out.HasWriteError()) << "a full buffer is written, and fails, before Close";
    out.Close();
}

// Catches a vector scan for sync lead bytes that misses a pair or reports one too early: on bytes
// where lead bytes are common, from every start alignment and for every length up to a few
// blocks, it finds the first pair the plain loop finds.
TEST(StreamEquivalence, SyncLeadScanMatchesThePlainLoop)
{
    const uint8_t kChoices[] = {0x7F, 0xFE, 0x1F, 0xFF, 0x00, 0x80, 0x3F, 0xFD};
    auto check = [&kChoices](std::mt19937& random, unsigned nDensity) {
        Bytes bytes(400);
        for (uint8_t& b : bytes)
            b = random() % 64 < nDensity ? kChoices[random() % 8] : static_cast<uint8_t>(random() % 16 + 0x20);
        for (int nStart = 0; nStart < 66; ++nStart) {
            for (int nCount = 0; nStart + nCount <= static_cast<int>(bytes.size()); ++nCount) {
                ASSERT_EQ(DtsSync::FindLeadPair(bytes.data() + nStart, nCount),
                          DtsSync::FindLeadPairPlain(bytes.data() + nStart, nCount))
                    << "density " << nDensity << ", start " << nStart << ", count " << nCount;
            }
        }
    };
    for (const uint32_t nSeed : TestSeeds({1, 2})) {
        SCOPED_TRACE(SeedTrace(nSeed));
        std::mt19937 random(nSeed);
        // Sparse rounds leave long runs without a pair, dense ones put pairs everywhere.
        for (int nRound = 0; nRound < 16; ++nRound)
            check(random, 1 + static_cast<unsigned>(nRound % 8) * 8);
    }
}
