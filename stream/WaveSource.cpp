// WAVE container source: walks a RIFF WAVE file to the DTS sync in its data chunk and
// hands out the stream as plain bytes, in whichever word layout the data stores it.
#include "stream/WaveSource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Any "fmt " chunk will do: its record is never interpreted.
constexpr char kFormatId[5] = "fmt ";
constexpr char kDataId[5] = "data";
// Bytes of data looked at per read during the sync search.
constexpr int kSearchBlock = 64 * 1024;
// The longest stored sync pattern.
constexpr int kPatternBytes = 6;

} // namespace

CWaveSource::~CWaveSource()
{
    Close();
}

bool CWaveSource::Open(const std::string& fileName)
{
    Close();
    if (!m_Riff.Open(fileName)) {
        m_strProblem = "it cannot be opened";
        return false;
    }
    return DescendToData({});
}

bool CWaveSource::Open(std::FILE* pFile, const std::function<bool()>& stopProbe)
{
    Close();
    m_Riff.Attach(pFile);
    return DescendToData(stopProbe);
}

bool CWaveSource::DescendToData(const std::function<bool()>& stopProbe)
{
    m_nSyncOffset = 0;
    m_eLayout = EInputKind::Unknown;
    m_strProblem.clear();
    m_RiffChunk = CRiffReader::Chunk();
    m_Riff.SetStopProbe(stopProbe);
    const char* pszProblem = nullptr;
    if (!m_Riff.DescendRiff("WAVE", m_RiffChunk))
        pszProblem = "it is a RIFF file but not a WAVE file";
    else if (!m_Riff.DescendChunk(m_RiffChunk, kFormatId, m_SubChunk))
        pszProblem = "its WAVE header has no \"fmt \" chunk";
    // Searched from the end of "fmt ", so a "data" chunk before it is not found.
    else if (!m_Riff.Ascend(m_SubChunk) || !m_Riff.DescendChunk(m_RiffChunk, kDataId, m_SubChunk))
        pszProblem = "its WAVE header has no \"data\" chunk after the \"fmt \" chunk";
    if (pszProblem != nullptr) {
        m_strProblem = m_Riff.WasStopped() ? "the walk through its chunks was stopped" : pszProblem;
        // A RIFF size too small for the chunks that follow it is what is really wrong then.
        const int64_t nFileSize = m_Riff.FileSize();
        if (!m_Riff.WasStopped() && m_RiffChunk.nSize > 0 && m_RiffChunk.nDataOffset + m_RiffChunk.nSize < nFileSize) {
            m_strProblem += " within the " + std::to_string(m_RiffChunk.nSize)
                            + " bytes its RIFF header gives it (the file has more after them)";
        }
        Close();
        return false;
    }
    m_nDataOffset = m_SubChunk.nDataOffset;
    m_nDataSize = UsableDataSize();
    // Without a sync the file is left at its end: the first read then delivers nothing.
    FindSync(stopProbe);
    const int64_t nLeft = m_nDataSize < 0 ? -1 : std::max<int64_t>(0, m_nDataSize - m_nSyncOffset);
    m_Data.Attach(m_Riff.GetFile(), m_eLayout == EInputKind::Unknown ? 0 : nLeft);
    m_Words.Reset(m_eLayout, &m_Data);
    return true;
}

int64_t CWaveSource::UsableDataSize() const
{
    // Streamed files leave the size 0 or 0xFFFFFFFF, and over-long ones cannot say theirs: there
    // the end of the file ends the stream. Elsewhere the chunk's end does, so a chunk after it
    // (a LIST, say) is never read as audio.
    const int64_t nSize = m_SubChunk.nSize;
    if (nSize == 0 || nSize == 0xFFFFFFFF)
        return -1;
    const int64_t nFileSize = m_Riff.FileSize();
    if (nFileSize < 0 || m_SubChunk.nDataOffset + nSize > nFileSize)
        return -1;
    return nSize;
}

void CWaveSource::Close()
{
    m_Data.Attach(nullptr);
    m_Words.Reset(EInputKind::Unknown, nullptr);
    m_Riff.Close();
}

bool CWaveSource::FindSync(const std::function<bool()>& stopProbe)
{
    const int64_t nStart = m_Riff.Seek(0, SEEK_CUR);
    if (nStart < 0)
        return false;
    // Blocks overlap by a pattern's length, so a sync across two blocks is seen whole.
    uint8_t block[kSearchBlock + kPatternBytes];
    int64_t nBlockStart = 0;
    int nKept = 0;
    for (;;) {
        if (stopProbe && stopProbe())
            return false;
        const int64_t nWanted = m_nDataSize < 0 ? kSearchBlock : std::min<int64_t>(kSearchBlock, m_nDataSize - nBlockStart - nKept);
        const int64_t nRead = nWanted > 0 ? m_Riff.Read(block + nKept, nWanted) : 0;
        const int nValid = nKept + static_cast<int>(std::max<int64_t>(nRead, 0));
        // Words are whole at even offsets of the data.
        const int nLast = nRead > 0 ? nValid - kPatternBytes : nValid - 4;
        for (int i = 0; i <= nLast; i += 2) {
            const EInputKind eKind = DetectWordLayout(block + i, static_cast<size_t>(nValid - i));
            if (eKind != EInputKind::Unknown) {
                m_eLayout = eKind;
                m_nSyncOffset = nBlockStart + i;
                return m_Riff.Seek(nStart + m_nSyncOffset, SEEK_SET) >= 0;
            }
        }
        if (nRead <= 0)
            return false;
        const int nNext = std::max(0, nLast + 1 + ((nLast + 1) & 1));
        nKept = nValid - nNext;
        std::memmove(block, block + nNext, static_cast<size_t>(nKept));
        nBlockStart += nNext;
    }
}

int CWaveSource::Read(uint8_t* buffer, int count)
{
    if (!m_Riff.IsOpen() || count <= 0)
        return m_Riff.IsOpen() ? 0 : -1;
    return m_Words.Read(buffer, count);
}
