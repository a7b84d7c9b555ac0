// SPDX-License-Identifier: GPL-3.0-or-later
// WAVE container source: walks a RIFF WAVE file to the DTS sync in its data chunk and
// hands out the stream as plain bytes, in whichever word layout the data stores it.
#include "dts/input/WaveSource.h"

#include "dts/SyncWords.h"

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
// "RIFF", its size and the form type.
constexpr int64_t kRiffHeaderBytes = 12;

} // namespace

bool CWaveSource::Open(std::FILE* pFile, const std::function<bool()>& stopProbe)
{
    Close();
    m_Riff.Attach(pFile);
    return DescendToData(stopProbe);
}

const char* CWaveSource::WalkToData()
{
    if (!m_Riff.DescendRiff("WAVE", m_RiffChunk))
        return m_Riff.FileSize() < kRiffHeaderBytes ? "it is cut short inside its RIFF header"
                                                    : "it is a RIFF file but not a WAVE file";
    if (!m_Riff.DescendChunk(m_RiffChunk, kFormatId, m_SubChunk))
        return "its WAVE header has no \"fmt \" chunk";
    // Searched from the end of "fmt ", so a "data" chunk before it is not found.
    if (!m_Riff.Ascend(m_SubChunk) || !m_Riff.DescendChunk(m_RiffChunk, kDataId, m_SubChunk))
        return "its WAVE header has no \"data\" chunk after the \"fmt \" chunk";
    return nullptr;
}

std::string CWaveSource::ExplainMissing(const char* pszProblem) const
{
    std::string strProblem = pszProblem;
    const int64_t nFileSize = m_Riff.FileSize();
    // A chunk that claims more bytes than the file has hides everything after it.
    const CRiffReader::Chunk* pOverrun = m_Riff.GetOverrun();
    if (pOverrun == nullptr && m_SubChunk.nDataOffset + m_SubChunk.nSize > nFileSize)
        pOverrun = &m_SubChunk;
    if (pOverrun != nullptr && nFileSize >= 0) {
        return strProblem + ": its \"" + std::string(pOverrun->id, 4) + "\" chunk claims "
               + std::to_string(pOverrun->nSize) + " bytes, past the end of the file";
    }
    // A RIFF size too small for the chunks that follow it is what is really wrong then.
    if (m_RiffChunk.nSize > 0 && m_RiffChunk.nDataOffset + m_RiffChunk.nSize < nFileSize) {
        strProblem += " within the " + std::to_string(m_RiffChunk.nSize)
                      + " bytes its RIFF header gives it (the file has more after them)";
    }
    return strProblem;
}

bool CWaveSource::DescendToData(const std::function<bool()>& stopProbe)
{
    m_nSyncOffset = 0;
    m_eLayout = EWordLayout::Unknown;
    m_strProblem.clear();
    m_RiffChunk = CRiffReader::Chunk();
    m_SubChunk = CRiffReader::Chunk();
    m_Riff.SetStopProbe(stopProbe);
    if (const char* pszProblem = WalkToData()) {
        m_strProblem = m_Riff.WasStopped() ? "the walk through its chunks was stopped" : ExplainMissing(pszProblem);
        Close();
        return false;
    }
    m_nDataOffset = m_SubChunk.nDataOffset;
    m_nDataSize = UsableDataSize();
    // Without a sync the file is left at its end: the first read then delivers nothing.
    FindSync(stopProbe);
    const int64_t nLeft = m_nDataSize < 0 ? -1 : std::max<int64_t>(0, m_nDataSize - m_nSyncOffset);
    m_Data.Attach(m_Riff.GetFile(), m_eLayout == EWordLayout::Unknown ? 0 : nLeft);
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
    m_Words.Reset(EWordLayout::Unknown, nullptr);
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
        // Every sync starts with two lead bytes: only where they meet, at an even offset, is a
        // layout looked for.
        for (int i = DtsSync::FindLeadPair(block, nLast + 1); i <= nLast;
             i += 1 + DtsSync::FindLeadPair(block + i + 1, nLast - i)) {
            const EWordLayout eLayout =
                (i & 1) != 0 ? EWordLayout::Unknown : DetectWordLayout(block + i, static_cast<size_t>(nValid - i));
            if (eLayout != EWordLayout::Unknown) {
                m_eLayout = eLayout;
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
