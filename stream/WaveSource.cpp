// WAVE container source: walks a RIFF WAVE file to the DTS sync in its data chunk and
// hands out the stream as plain bytes, in whichever word layout the data stores it.
#include "stream/WaveSource.h"

#include <cstdio>

#include "stream/SyncWords.h"

namespace {

// Any "fmt " chunk will do: its record is never interpreted.
constexpr char kFormatId[5] = "fmt ";
constexpr char kDataId[5] = "data";

// A sync as 16-bit values of little-endian words: 7FFE 8001 for 16-bit words, 1FFF E800 for 14-bit.
uint16_t LittleEndianWord(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

CWaveSource::~CWaveSource()
{
    Close();
}

bool CWaveSource::Open(const std::string& fileName)
{
    Close();
    if (!m_Riff.Open(fileName))
        return false;
    return DescendToData();
}

bool CWaveSource::Open(std::FILE* pFile)
{
    Close();
    m_Riff.Attach(pFile);
    return DescendToData();
}

bool CWaveSource::DescendToData()
{
    m_nSyncOffset = 0;
    m_eLayout = EInputKind::Unknown;
    const bool bReached = m_Riff.DescendRiff("WAVE", m_RiffChunk)
                          && m_Riff.DescendChunk(m_RiffChunk, kFormatId, m_SubChunk)
                          && m_Riff.Ascend(m_SubChunk)
                          // Searched from the end of "fmt ", so a "data" chunk before it is not found.
                          && m_Riff.DescendChunk(m_RiffChunk, kDataId, m_SubChunk);
    if (!bReached) {
        Close();
        return false;
    }
    // Without a sync the file is left at its end: the first read then delivers nothing.
    FindSync();
    m_Data.Attach(m_Riff.GetFile());
    m_Words.Reset(m_eLayout, &m_Data);
    return true;
}

void CWaveSource::Close()
{
    m_Data.Attach(nullptr);
    m_Words.Reset(EInputKind::Unknown, nullptr);
    m_Riff.Close();
}

bool CWaveSource::FindSync()
{
    const int64_t nStart = m_Riff.Seek(0, SEEK_CUR);
    if (nStart < 0)
        return false;

    // The little-endian words of the two syncs a WAVE file carries, first word then second.
    const uint16_t n16First = LittleEndianWord(DtsSync::k16BitLE.bytes);
    const uint16_t n16Second = LittleEndianWord(DtsSync::k16BitLE.bytes + 2);
    const uint16_t n14First = LittleEndianWord(DtsSync::k14BitLE.bytes);
    const uint16_t n14Second = LittleEndianWord(DtsSync::k14BitLE.bytes + 2);

    // The first word of a partial match; a word that breaks it is not taken again as a first word.
    uint16_t nPending = 0;
    uint8_t pair[2];
    while (m_Riff.Read(pair, 2) == 2) {
        const uint16_t nWord = LittleEndianWord(pair);
        EInputKind eFound = EInputKind::Unknown;
        if (nPending == 0) {
            nPending = (nWord == n16First || nWord == n14First) ? nWord : 0;
            continue;
        }
        if (nPending == n16First && nWord == n16Second)
            eFound = EInputKind::Words16LE;
        else if (nPending == n14First && nWord == n14Second)
            eFound = EInputKind::Words14LE;
        nPending = 0;
        if (eFound != EInputKind::Unknown) {
            const int64_t nSync = m_Riff.Seek(-4, SEEK_CUR);
            if (nSync < 0)
                return false;
            m_eLayout = eFound;
            m_nSyncOffset = nSync - nStart;
            return true;
        }
    }
    return false;
}

int CWaveSource::Read(uint8_t* buffer, int count)
{
    if (!m_Riff.IsOpen() || count <= 0)
        return m_Riff.IsOpen() ? 0 : -1;
    return m_Words.Read(buffer, count);
}
