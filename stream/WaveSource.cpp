// WAVE container source: walks a RIFF WAVE file to the DTS sync in its data chunk and
// hands out the stream as plain bytes, unpacking 14-bit words when the data holds them.
#include "stream/WaveSource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

CWaveSource::CWaveSource() = default;

CWaveSource::~CWaveSource()
{
    Close();
}

bool CWaveSource::Open(const std::string& fileName)
{
    m_nSyncOffset = 0;
    m_Unpacker.Reset();
    Close();
    if (!m_Riff.Open(fileName))
        return false;

    bool bReached = m_Riff.DescendRiff("WAVE", m_RiffChunk)
                    && m_Riff.DescendChunk(m_RiffChunk, "fmt ", m_SubChunk);
    if (bReached) {
        const int64_t nWanted = std::min<int64_t>(m_SubChunk.nSize, kFormatRecordSize);
        bReached = m_Riff.Read(m_FormatRecord, nWanted) == nWanted
                   && m_Riff.Ascend(m_SubChunk)
                   // Searched from the end of "fmt ", so a "data" chunk before it is not found.
                   && m_Riff.DescendChunk(m_RiffChunk, "data", m_SubChunk);
    }
    if (!bReached) {
        Close();
        return false;
    }
    m_WordSource.Attach(m_Riff.GetFile());
    // Without a sync the file is left at its end: the first read then delivers nothing.
    FindSync();
    return true;
}

void CWaveSource::Close()
{
    m_WordSource.Attach(nullptr);
    m_Riff.Close();
}

bool CWaveSource::FindSync()
{
    const int64_t nStart = m_Riff.Seek(0, SEEK_CUR);
    if (nStart < 0)
        return false;

    enum class Match { None, After1FFF, After7FFE };
    Match match = Match::None;
    uint8_t pair[2];
    while (m_Riff.Read(pair, 2) == 2) {
        const uint16_t nWord = static_cast<uint16_t>(pair[0] | (pair[1] << 8));
        int nPacking = -1;
        // A word that breaks a partial match is not taken again as a first word.
        switch (match) {
        case Match::None:
            if (nWord == 0x1FFF)
                match = Match::After1FFF;
            else if (nWord == 0x7FFE)
                match = Match::After7FFE;
            break;
        case Match::After1FFF:
            if (nWord == 0xE800)
                nPacking = 0;
            match = Match::None;
            break;
        case Match::After7FFE:
            if (nWord == 0x8001)
                nPacking = 1;
            match = Match::None;
            break;
        }
        if (nPacking >= 0) {
            m_nPacking = static_cast<uint8_t>(nPacking);
            const int64_t nSync = m_Riff.Seek(-4, SEEK_CUR);
            if (nSync < 0)
                return false;
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
    if (m_nPacking == 0)
        return m_Unpacker.Unpack(buffer, count, m_WordSource);

    const int nRead = static_cast<int>(m_Riff.Read(buffer, count));
    // Each little-endian word is handed out high byte first; a final odd byte stays as it is.
    // Whole words are swapped as 16-bit values, which compilers turn into vector code.
    const int nWords = nRead / 2;
    for (int i = 0; i < nWords; ++i) {
        uint16_t nWord;
        std::memcpy(&nWord, buffer + 2 * i, 2);
        nWord = static_cast<uint16_t>((nWord << 8) | (nWord >> 8));
        std::memcpy(buffer + 2 * i, &nWord, 2);
    }
    return nRead;
}
