// SPDX-License-Identifier: GPL-3.0-or-later
// Walks the chunks of a RIFF file over a standard file: descend, read, ascend and seek.
#include "stream/RiffReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "stream/FileShim.h"

namespace {

constexpr int64_t kHeaderSize = 8;
// Gaps up to this size are read through rather than sought over.
constexpr int64_t kReadThrough = 64 * 1024;
// Bytes of the file a walk reads at once to find chunk headers in.
constexpr int64_t kWindowSize = 64 * 1024;

// RIFF chunks are word-aligned: an odd-sized chunk is followed by one pad byte.
int64_t ChunkEnd(const CRiffReader::Chunk& chunk)
{
    return chunk.nDataOffset + chunk.nSize + (chunk.nSize & 1);
}

}  // namespace

void CRiffReader::Attach(std::FILE* pFile)
{
    Close();
    m_pFile = pFile;
    m_nPos = -1;
    m_nFileSize = -2;
    m_bStopped = false;
    m_bOverrun = false;
    m_nWindowLength = 0;
}

void CRiffReader::Close()
{
    m_pFile = nullptr;
}

bool CRiffReader::IsOpen() const
{
    return m_pFile != nullptr;
}

std::FILE* CRiffReader::GetFile() const
{
    return m_pFile;
}

int64_t CRiffReader::FileSize() const
{
    // Measured once per file: every descent asks, and each measure costs three seeks.
    if (m_nFileSize < -1 && m_pFile != nullptr) {
        m_nFileSize = -1;
        const int64_t nHere = CFileShim::Tell(m_pFile);
        if (nHere >= 0 && CFileShim::Seek(m_pFile, 0, SEEK_END) == 0) {
            const int64_t nSize = CFileShim::Tell(m_pFile);
            if (CFileShim::Seek(m_pFile, nHere, SEEK_SET) == 0)
                m_nFileSize = nSize;
        }
    }
    return m_pFile != nullptr ? m_nFileSize : -1;
}

bool CRiffReader::AskStopProbe()
{
    m_nStepsSinceProbe = 0;
    if (m_StopProbe && m_StopProbe())
        m_bStopped = true;
    return m_bStopped;
}

bool CRiffReader::MoveTo(int64_t nOffset)
{
    if (m_nPos >= 0 && nOffset >= m_nPos && nOffset - m_nPos <= kReadThrough) {
        uint8_t scratch[4096];
        while (m_nPos < nOffset) {
            const size_t nStep = static_cast<size_t>(std::min<int64_t>(nOffset - m_nPos, sizeof scratch));
            const size_t nRead = std::fread(scratch, 1, nStep, m_pFile);
            m_nPos += static_cast<int64_t>(nRead);
            if (nRead < nStep)
                return false;
        }
        return true;
    }
    m_nPos = CFileShim::Seek(m_pFile, nOffset, SEEK_SET) == 0 ? nOffset : -1;
    return m_nPos >= 0;
}

int64_t CRiffReader::ContentEnd(const Chunk& parent) const
{
    const int64_t nEnd = parent.nDataOffset + parent.nSize;
    if (parent.nSize == 0 || parent.nSize == 0xFFFFFFFF)
        return INT64_MAX;
    const int64_t nFileSize = FileSize();
    return nFileSize >= 0 && nEnd > nFileSize ? INT64_MAX : nEnd;
}

const uint8_t* CRiffReader::RefillWindowAt(int64_t nOffset, int nCount)
{
    if (!m_pWindow)
        m_pWindow = std::make_unique<uint8_t[]>(kWindowSize);
    m_nWindowLength = 0;
    if (!MoveTo(nOffset))
        return nullptr;
    const size_t nRead = std::fread(m_pWindow.get(), 1, kWindowSize, m_pFile);
    m_nPos += static_cast<int64_t>(nRead);
    m_nWindowStart = nOffset;
    m_nWindowLength = static_cast<int64_t>(nRead);
    return nCount <= m_nWindowLength ? m_pWindow.get() : nullptr;
}

bool CRiffReader::ReadHeaderAt(int64_t nOffset, Chunk& chunk)
{
    // A truncated header is the end of the chunks.
    const uint8_t* header = m_pFile == nullptr || StopRequested() ? nullptr : WindowAt(nOffset, kHeaderSize);
    if (header == nullptr)
        return false;
    std::memcpy(chunk.id, header, 4);
    std::memset(chunk.formType, 0, 4);
    // The size is unsigned 32-bit little-endian; held in 64 bits so that no sum with it overflows.
    chunk.nSize = static_cast<int64_t>(header[4]) | (static_cast<int64_t>(header[5]) << 8)
                  | (static_cast<int64_t>(header[6]) << 16) | (static_cast<int64_t>(header[7]) << 24);
    chunk.nDataOffset = nOffset + kHeaderSize;
    return true;
}

bool CRiffReader::DescendRiff(const char (&formType)[5], Chunk& riff)
{
    int64_t nOffset = 0;
    Chunk chunk;
    // Every step moves forward by at least a header, and a header past the end of the file
    // cannot be read, so the walk ends on any file.
    while (ReadHeaderAt(nOffset, chunk)) {
        const bool bRiff = std::memcmp(chunk.id, "RIFF", 4) == 0 && (chunk.nSize >= 4 || chunk.nSize == 0);
        const uint8_t* pForm = bRiff ? WindowAt(chunk.nDataOffset, 4) : nullptr;
        if (pForm != nullptr && std::memcmp(pForm, formType, 4) == 0) {
            std::memcpy(chunk.formType, pForm, 4);
            riff = chunk;
            return MoveTo(chunk.nDataOffset + 4);
        }
        nOffset = ChunkEnd(chunk);
    }
    return false;
}

bool CRiffReader::DescendChunk(const Chunk& parent, const char (&id)[5], Chunk& chunk)
{
    if (m_pFile == nullptr)
        return false;
    int64_t nOffset = m_nPos >= 0 ? m_nPos : CFileShim::Tell(m_pFile);
    if (nOffset < 0)
        return false;
    const int64_t nParentEnd = ContentEnd(parent);
    const int64_t nFileSize = FileSize();
    Chunk found;
    while (nOffset + kHeaderSize <= nParentEnd && ReadHeaderAt(nOffset, found)) {
        if (std::memcmp(found.id, id, 4) == 0) {
            chunk = found;
            return MoveTo(chunk.nDataOffset);
        }
        nOffset = ChunkEnd(found);
        if (nFileSize >= 0 && nOffset > nFileSize) {
            m_Overrun = found;
            m_bOverrun = true;
        }
    }
    return false;
}

bool CRiffReader::Ascend(const Chunk& chunk)
{
    return m_pFile != nullptr && MoveTo(ChunkEnd(chunk));
}

int64_t CRiffReader::Read(void* pBuffer, int64_t nCount)
{
    if (m_pFile == nullptr || nCount <= 0)
        return m_pFile == nullptr ? -1 : 0;
    const size_t nRead = std::fread(pBuffer, 1, static_cast<size_t>(nCount), m_pFile);
    if (m_nPos >= 0)
        m_nPos += static_cast<int64_t>(nRead);
    if (nRead == 0 && std::ferror(m_pFile))
        return -1;
    return static_cast<int64_t>(nRead);
}

int64_t CRiffReader::Seek(int64_t nOffset, int nOrigin)
{
    if (m_pFile == nullptr || CFileShim::Seek(m_pFile, nOffset, nOrigin) != 0)
        return m_nPos = -1;
    return m_nPos = CFileShim::Tell(m_pFile);
}
