// A file as Kestrune's own readers take it: its kind and the source of its stream.
#include "stream/InputFile.h"

#include "stream/FileShim.h"

bool CInputFile::Open(const std::string& fileName, const std::function<bool()>& stopProbe)
{
    Close();
    m_strOpenProblem.clear();
    const bool bStandardInput = CFileShim::IsStandardStream(fileName);
    m_pFile = bStandardInput ? CFileShim::OpenStandardStream(false) : CFileShim::OpenForReading(fileName);
    if (m_pFile == nullptr)
        return false;

    uint8_t sniff[8] = {};
    const size_t nSniffed = std::fread(sniff, 1, sizeof sniff, m_pFile);
    m_eKind = DetectInputKind(sniff, nSniffed);
    // The sniffed bytes are stream data too: read again, or handed out first where a pipe
    // cannot go back.
    m_bSeekable = CFileShim::Seek(m_pFile, 0, SEEK_SET) == 0;
    if (!m_bSeekable && (!bStandardInput || m_eKind == EInputKind::Wave)) {
        if (m_eKind == EInputKind::Wave)
            m_strOpenProblem = "a WAVE file cannot be read from a pipe (its chunks are found by positioning in "
                               "the file); redirect it from the file (< FILE) or give its name";
        Close();
        return false;
    }
    if (m_eKind == EInputKind::Wave) {
        if (!m_WaveSource.Open(m_pFile, stopProbe)) {
            m_strOpenProblem = m_WaveSource.GetProblem();
            Close();
            return false;
        }
        m_nSyncOffset = m_WaveSource.GetSyncOffset();
        m_eLayout = m_WaveSource.GetLayout();
        m_nDataStart = m_WaveSource.GetDataOffset();
        m_nDataSize = m_WaveSource.GetDataSize();
        m_pSource = &m_WaveSource;
    } else {
        // A file that starts with no frame is looked at as 16-bit big-endian words (its bytes as
        // stored) until the search for a frame tells its layout.
        m_eLayout = m_eKind == EInputKind::Unknown ? EInputKind::Words16BE : m_eKind;
        m_FileSource.Attach(m_pFile);
        if (!m_bSeekable)
            m_FileSource.SetPrefix(sniff, static_cast<int>(nSniffed));
        m_WordSource.Reset(m_eLayout, &m_FileSource);
        m_pSource = &m_WordSource;
    }
    return true;
}

void CInputFile::Close()
{
    m_pSource = nullptr;
    m_WordSource.Reset(EInputKind::Unknown, nullptr);
    m_FileSource.Attach(nullptr);
    m_WaveSource.Close();
    if (m_pFile != nullptr) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
    m_eKind = EInputKind::Unknown;
    m_eLayout = EInputKind::Unknown;
    m_nSyncOffset = 0;
    m_nDataStart = 0;
    m_nDataSize = -1;
    m_bSeekable = true;
    m_bRepositionRefused = false;
}

bool CInputFile::Reposition(int64_t nOffset, EInputKind eLayout)
{
    if (m_pFile == nullptr || nOffset < 0 || (m_nDataSize >= 0 && nOffset > m_nDataSize))
        return false;
    if (!m_bSeekable) {
        m_bRepositionRefused = true;
        return false;
    }
    if (CFileShim::Seek(m_pFile, m_nDataStart + nOffset, SEEK_SET) != 0)
        return false;
    m_eLayout = eLayout;
    m_FileSource.Attach(m_pFile, m_nDataSize < 0 ? -1 : m_nDataSize - nOffset);
    m_WordSource.Reset(eLayout, &m_FileSource);
    m_pSource = &m_WordSource;
    return true;
}
