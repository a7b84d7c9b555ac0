// Walks the chunks of a RIFF file over a standard file: descend, read, ascend and seek.
#include "stream/RiffReader.h"

#include <cstring>

#include "stream/FileShim.h"

namespace {

constexpr int64_t kHeaderSize = 8;

// RIFF chunks are word-aligned: an odd-sized chunk is followed by one pad byte.
int64_t ChunkEnd(const CRiffReader::Chunk& chunk)
{
    return chunk.nDataOffset + chunk.nSize + (chunk.nSize & 1);
}

}  // namespace

CRiffReader::~CRiffReader()
{
    Close();
}

bool CRiffReader::Open(const std::string& fileName)
{
    Close();
    m_pFile = CFileShim::OpenForReading(fileName);
    m_bOwnsFile = true;
    return m_pFile != nullptr;
}

void CRiffReader::Attach(std::FILE* pFile)
{
    Close();
    m_pFile = pFile;
    m_bOwnsFile = false;
}

void CRiffReader::Close()
{
    if (m_pFile != nullptr && m_bOwnsFile)
        std::fclose(m_pFile);
    m_pFile = nullptr;
    m_bOwnsFile = false;
}

bool CRiffReader::IsOpen() const
{
    return m_pFile != nullptr;
}

std::FILE* CRiffReader::GetFile() const
{
    return m_pFile;
}

bool CRiffReader::ReadHeaderAt(int64_t nOffset, Chunk& chunk)
{
    if (m_pFile == nullptr || CFileShim::Seek(m_pFile, nOffset, SEEK_SET) != 0)
        return false;
    uint8_t header[kHeaderSize];
    // A truncated header is the end of the chunks.
    if (std::fread(header, 1, sizeof header, m_pFile) != sizeof header)
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
        if (std::memcmp(chunk.id, "RIFF", 4) == 0 && chunk.nSize >= 4
            && std::fread(chunk.formType, 1, 4, m_pFile) == 4
            && std::memcmp(chunk.formType, formType, 4) == 0) {
            riff = chunk;
            return true;
        }
        nOffset = ChunkEnd(chunk);
    }
    return false;
}

bool CRiffReader::DescendChunk(const Chunk& parent, const char (&id)[5], Chunk& chunk)
{
    if (m_pFile == nullptr)
        return false;
    int64_t nOffset = CFileShim::Tell(m_pFile);
    if (nOffset < 0)
        return false;
    const int64_t nParentEnd = parent.nDataOffset + parent.nSize;
    Chunk found;
    while (nOffset + kHeaderSize <= nParentEnd && ReadHeaderAt(nOffset, found)) {
        if (std::memcmp(found.id, id, 4) == 0) {
            chunk = found;
            return true;
        }
        nOffset = ChunkEnd(found);
    }
    return false;
}

bool CRiffReader::Ascend(const Chunk& chunk)
{
    return m_pFile != nullptr && CFileShim::Seek(m_pFile, ChunkEnd(chunk), SEEK_SET) == 0;
}

int64_t CRiffReader::Read(void* pBuffer, int64_t nCount)
{
    if (m_pFile == nullptr || nCount <= 0)
        return m_pFile == nullptr ? -1 : 0;
    const size_t nRead = std::fread(pBuffer, 1, static_cast<size_t>(nCount), m_pFile);
    if (nRead == 0 && std::ferror(m_pFile))
        return -1;
    return static_cast<int64_t>(nRead);
}

int64_t CRiffReader::Seek(int64_t nOffset, int nOrigin)
{
    if (m_pFile == nullptr || CFileShim::Seek(m_pFile, nOffset, nOrigin) != 0)
        return -1;
    return CFileShim::Tell(m_pFile);
}
