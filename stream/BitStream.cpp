// Input bit stream: recognises a plain 16-bit, a 14-bit packed or a WAVE input by its
// first eight bytes and hands out the DTS stream it carries, most significant bit first.
#include "stream/BitStream.h"

#include <algorithm>
#include <cstring>

#include "stream/FileShim.h"

namespace {

// Wide reads load eight bytes from any byte of the buffer, so this many more are allocated.
constexpr int kTail = 8;

int EvenBufferSize(int nBufferSize)
{
    const int nSize = std::max(nBufferSize, 2);
    return nSize + (nSize & 1);
}

}  // namespace

CBitStream::CBitStream()
    : CBitStream(kDefaultBufferSize)
{
}

CBitStream::CBitStream(int nBufferSize)
    : m_nBufferSize(EvenBufferSize(nBufferSize)),
      m_pBuffer(new uint8_t[static_cast<size_t>(m_nBufferSize) + kTail]())
{
}

CBitStream::~CBitStream()
{
    Close();
}

bool CBitStream::Open(const std::string& fileName)
{
    m_bWave = false;
    Close();
    m_Unpacker.Reset();
    m_nBufferBase = 0;
    ResetPosition();

    m_pFile = CFileShim::OpenForReading(fileName);
    if (m_pFile == nullptr)
        return false;

    uint8_t sniff[8] = {};
    const size_t nSniffed = std::fread(sniff, 1, sizeof sniff, m_pFile);
    // Bytes that a short file lacks match nothing, so each test first asks for its length.
    const bool bRiff = nSniffed >= 4 && std::memcmp(sniff, "RIFF", 4) == 0;
    // The 14-bit sync 0x1FFF 0xE800 as big-endian words, then a header with FTYPE 1 and SHORT 31.
    const bool b14Bit = nSniffed >= 6 && sniff[0] == 0x1F && sniff[1] == 0xFF && sniff[2] == 0xE8
                        && sniff[3] == 0x00 && sniff[4] == 0x07 && (sniff[5] & 0xF0) == 0xF0;
    m_bWave = bRiff;
    m_b16Bit = bRiff || !b14Bit;

    // The sniffed bytes are stream data too.
    if (CFileShim::Seek(m_pFile, 0, SEEK_SET) != 0) {
        Close();
        return false;
    }
    if (m_bWave) {
        if (!m_WaveSource.Open(fileName)) {
            Close();
            return false;
        }
        m_nBufferBase = m_WaveSource.m_nSyncOffset;
    } else {
        m_WordSource.Attach(m_pFile);
    }
    ResetPosition();
    return true;
}

void CBitStream::Close()
{
    m_WordSource.Attach(nullptr);
    if (m_pFile != nullptr) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
    m_WaveSource.Close();
    m_bWave = false;
    // A read after Close must not hand out what is left of the old file's buffer.
    ResetPosition();
}

bool CBitStream::IsOpen() const
{
    return m_pFile != nullptr;
}

void CBitStream::ResetPosition()
{
    m_nBufferBase = GetBytePos();
    m_nValidLength = 0;
    m_nValidBits = 0;
    m_nBitPos = 0;
}

bool CBitStream::TryRefill()
{
    int nDelivered = 0;
    if (m_bWave) {
        nDelivered = m_WaveSource.Read(m_pBuffer.get(), m_nBufferSize);
    } else if (m_pFile == nullptr) {
        nDelivered = 0;
    } else if (m_b16Bit) {
        nDelivered = static_cast<int>(std::fread(m_pBuffer.get(), 1, static_cast<size_t>(m_nBufferSize), m_pFile));
    } else {
        nDelivered = m_Unpacker.Unpack(m_pBuffer.get(), m_nBufferSize, m_WordSource);
    }
    // A read error counts as the end of the input, like the end of the file. The buffer was
    // wholly handed out, so emptying it leaves the counter where it is.
    if (nDelivered <= 0) {
        ResetPosition();
        return false;
    }
    m_nBufferBase += m_nValidLength;
    m_nValidLength = nDelivered;
    m_nValidBits = static_cast<uint64_t>(nDelivered) * 8;
    m_nBitPos = 0;
    return true;
}

void CBitStream::Refill()
{
    if (!TryRefill())
        throw EOFBSException();
}

int CBitStream::GetBitAfterRefill()
{
    Refill();
    return GetBit();
}

uint32_t CBitStream::GetBitsAcrossRefills(int count)
{
    // 64 bits wide so that a shift by 32 is defined; only the last 32 bits read are returned.
    uint64_t nValue = 0;
    while (count > 0) {
        // Throws with the bits of this call taken so far consumed, as a bit-by-bit read would.
        if (m_nBitPos >= m_nValidBits)
            Refill();
        const int n = static_cast<int>(std::min<uint64_t>({static_cast<uint64_t>(count), 32, m_nValidBits - m_nBitPos}));
        nValue = (nValue << n) | TakeBuffered(n);
        count -= n;
    }
    return static_cast<uint32_t>(nValue);
}

int CBitStream::ReadBytes(uint8_t* pBytes, int nCount)
{
    int nDone = 0;
    if ((m_nBitPos & 7) == 0) {
        // Byte-aligned: whole bytes are copied straight out of the buffer.
        while (nDone < nCount) {
            if (m_nBitPos >= m_nValidBits && !TryRefill())
                return nDone;
            const int nAvailable = static_cast<int>((m_nValidBits - m_nBitPos) >> 3);
            const int nTake = std::min(nAvailable, nCount - nDone);
            std::memcpy(pBytes + nDone, m_pBuffer.get() + (m_nBitPos >> 3), static_cast<size_t>(nTake));
            m_nBitPos += static_cast<uint64_t>(nTake) * 8;
            nDone += nTake;
        }
        return nDone;
    }
    for (; nDone < nCount; ++nDone) {
        if (m_nBitPos + 8 <= m_nValidBits) {
            pBytes[nDone] = static_cast<uint8_t>(TakeBuffered(8));
        } else {
            try {
                pBytes[nDone] = static_cast<uint8_t>(GetBitsAcrossRefills(8));
            } catch (const EOFBSException&) {
                return nDone;
            }
        }
    }
    return nDone;
}

int64_t CBitStream::GetBytePos() const
{
    return m_nBufferBase + static_cast<int64_t>(m_nBitPos >> 3);
}
