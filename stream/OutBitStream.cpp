// Output bit stream: collects bits most significant first and writes whole bytes to a file.
#include "stream/OutBitStream.h"

#include "stream/FileShim.h"

COutBitStream::COutBitStream()
    : m_pBuffer(new uint8_t[kCapacity]())
{
}

COutBitStream::~COutBitStream()
{
    Close();
}

bool COutBitStream::Open(const std::string& fileName)
{
    Close();
    m_bWriteError = false;
    m_pFile = CFileShim::OpenForWriting(fileName);
    if (m_pFile == nullptr)
        return false;
    Clear();
    return true;
}

void COutBitStream::PutBit(int bit)
{
    if (bit == 1)
        m_pBuffer[m_nByteCount] = static_cast<uint8_t>(m_pBuffer[m_nByteCount] | (1 << m_nBitIndex));
    if (--m_nBitIndex < 0) {
        ++m_nByteCount;
        m_nBitIndex = 7;
        if (m_nByteCount >= kCapacity)
            Flush();
    }
}

void COutBitStream::PutBits(uint32_t value, int count)
{
    // Positions above bit 31 are zeros of value: they are written as such, never shifted out of range.
    for (int i = count - 1; i >= 0; --i)
        PutBit(i < 32 ? static_cast<int>((value >> i) & 1) : 0);
}

void COutBitStream::Flush()
{
    if (m_pFile != nullptr) {
        const size_t nBytes = static_cast<size_t>(m_nByteCount) + (m_nBitIndex != 7 ? 1 : 0);
        if (nBytes > 0 && std::fwrite(m_pBuffer.get(), 1, nBytes, m_pFile) != nBytes)
            m_bWriteError = true;
    }
    // Without a file the bits are discarded: the frame loop may write after a late tick of
    // "Rebuild Stream" while no output was opened.
    Clear();
}

void COutBitStream::Clear()
{
    m_nBitIndex = 7;
    m_nByteCount = 0;
    for (int i = 0; i < kCapacity; ++i)
        m_pBuffer[i] = 0;
}

void COutBitStream::Close()
{
    if (m_nBitIndex != 7)
        Flush();
    if (m_pFile != nullptr) {
        // With a buffered file a full disk often shows only here, when the library's buffer
        // is written out.
        if (std::ferror(m_pFile) != 0)
            m_bWriteError = true;
        if (std::fclose(m_pFile) != 0)
            m_bWriteError = true;
        m_pFile = nullptr;
    }
}

bool COutBitStream::IsOpen() const
{
    return m_pFile != nullptr;
}

bool COutBitStream::HasWriteError() const
{
    return m_bWriteError;
}
