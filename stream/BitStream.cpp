// Input bit stream: recognises a plain 16-bit, a 14-bit packed or a WAVE input by its
// first eight bytes and hands out the DTS stream it carries, most significant bit first.
#include "stream/BitStream.h"

#include <cstring>

#include "stream/FileShim.h"

CBitStream::CBitStream()
    : m_pBuffer(new uint8_t[kBufferSize]())
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
    m_nBytePos = 0;

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
        m_nBytePos = m_WaveSource.m_nSyncOffset;
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
    m_nBitIndex = -1;
    m_nByteIndex = m_nValidLength - 1;
}

void CBitStream::Refill()
{
    int nDelivered = 0;
    if (m_bWave) {
        nDelivered = m_WaveSource.Read(m_pBuffer.get(), kBufferSize);
    } else if (m_pFile == nullptr) {
        nDelivered = 0;
    } else if (m_b16Bit) {
        nDelivered = static_cast<int>(std::fread(m_pBuffer.get(), 1, kBufferSize, m_pFile));
    } else {
        nDelivered = m_Unpacker.Unpack(m_pBuffer.get(), kBufferSize, m_WordSource);
    }
    // A read error counts as the end of the input, like the end of the file.
    if (nDelivered <= 0) {
        ResetPosition();
        throw EOFBSException();
    }
    m_nValidLength = nDelivered;
    m_nByteIndex = 0;
    m_nBitIndex = 7;
}

int CBitStream::GetBit()
{
    if (m_nBitIndex < 0) {
        if (++m_nByteIndex >= m_nValidLength)
            Refill();
        m_nBitIndex = 7;
    }
    const int nBit = (m_pBuffer[m_nByteIndex] >> m_nBitIndex) & 1;
    // The counter moves only when the last bit of a byte has been handed out.
    if (--m_nBitIndex < 0)
        ++m_nBytePos;
    return nBit;
}

uint32_t CBitStream::GetBits(int count)
{
    uint32_t nValue = 0;
    for (int i = 0; i < count; ++i)
        nValue = (nValue << 1) | static_cast<uint32_t>(GetBit());
    return nValue;
}

int64_t CBitStream::GetBytePos() const
{
    return m_nBytePos;
}
