// SPDX-License-Identifier: GPL-3.0-or-later
// An input file: recognises a plain 16-bit, a 14-bit packed, a WAVE or an IEC 61937 input by
// its first bytes and builds the byte source that hands out the stream it carries.
#include "dts/input/InputFile.h"

#include "stream/FileShim.h"

CInputFile::~CInputFile()
{
    Close();
}

bool CInputFile::Open(const std::string& fileName, const std::function<bool()>& stopProbe)
{
    Close();
    m_strOpenProblem.clear();
    m_bOpenReadError = false;

    const bool bStandardInput = CFileShim::IsStandardStream(fileName);
    m_pFile = bStandardInput ? CFileShim::OpenStandardStream(false) : CFileShim::OpenForReading(fileName);
    if (m_pFile == nullptr)
        return false;
    m_nOpenSize = CFileShim::SizeOf(m_pFile);
    if (!OpenKind(bStandardInput, stopProbe)) {
        // A failed read leaves a WAVE file's structure looking cut short ("no data chunk"): the
        // error flag of the file tells the truth.
        m_bOpenReadError = std::ferror(m_pFile) != 0;
        Close();
        return false;
    }
    // The search for a WAVE file's first sync reads the data too, and ends at a failed read.
    if (std::ferror(m_pFile) != 0) {
        m_bOpenReadError = true;
        Close();
        return false;
    }
    return true;
}

bool CInputFile::Open(std::unique_ptr<ITrackSource> pTrack)
{
    Close();
    m_strOpenProblem.clear();
    m_bOpenReadError = false;
    if (!pTrack)
        return false;
    m_pTrack = std::move(pTrack);
    m_eKind = EInputKind::Words16BE;
    m_eLayout = EWordLayout::Words16BE;
    m_pSource = m_pTrack.get();
    return true;
}

void CInputFile::Close()
{
    m_pSource = nullptr;
    m_pTrack.reset();
    m_WordSource.Reset(EWordLayout::Unknown, nullptr);
    m_FileSource.Attach(nullptr);
    m_WaveSource.Close();
    if (m_pFile != nullptr) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
    m_eKind = EInputKind::Unknown;
    m_eLayout = EWordLayout::Unknown;
    m_nDataStart = 0;
    m_nDataSize = -1;
    m_nStartOffset = 0;
    m_bSeekable = true;
    m_bRepositionRefused = false;
}

bool CInputFile::HasShrunk() const
{
    if (m_pFile == nullptr || m_nOpenSize < 0)
        return false;
    const int64_t nNow = CFileShim::SizeOf(m_pFile);
    return nNow >= 0 && nNow < m_nOpenSize;
}

bool CInputFile::OpenIec61937(int64_t nOffset, int64_t nSize, EIecOrder eOrder, const std::function<bool()>& stopProbe)
{
    if (CFileShim::Seek(m_pFile, nOffset, SEEK_SET) != 0)
        return false;
    m_FileSource.Attach(m_pFile, nSize);
    m_IecSource.Reset(&m_FileSource, eOrder, stopProbe);
    m_pSource = &m_IecSource;
    m_eLayout = EWordLayout::Words16BE;
    m_nStartOffset = 0;
    m_nDataStart = nOffset;
    m_nDataSize = nSize;
    return true;
}

bool CInputFile::OpenKind(bool bStandardInput, const std::function<bool()>& stopProbe)
{
    uint8_t sniff[8] = {};
    const size_t nSniffed = std::fread(sniff, 1, sizeof sniff, m_pFile);
    m_eKind = DetectInputKind(sniff, nSniffed);
    // The sniffed bytes are stream data too: read again, or handed out first where a pipe
    // cannot go back.
    m_bSeekable = CFileShim::Seek(m_pFile, 0, SEEK_SET) == 0;
    const EIecOrder eIecOrder = CIec61937Source::DetectIec61937(sniff, nSniffed);
    if (!m_bSeekable && (!bStandardInput || m_eKind == EInputKind::Wave || eIecOrder != EIecOrder::None)) {
        if (m_eKind == EInputKind::Wave)
            m_strOpenProblem = "a WAVE file cannot be read from a pipe (its chunks are found by positioning in "
                               "the file); redirect it from the file (< FILE) or give its name";
        else if (eIecOrder != EIecOrder::None)
            m_strOpenProblem = "IEC 61937 bursts cannot be read from a pipe (their payload is found by "
                               "positioning in the file); redirect it from the file (< FILE) or give its name";
        return false;
    }
    if (eIecOrder != EIecOrder::None) {
        m_eKind = EInputKind::Words16BE;
        return OpenIec61937(0, -1, eIecOrder, stopProbe);
    }
    if (m_eKind == EInputKind::Wave)
        return OpenWave(stopProbe);
    // A file that starts with no frame is looked at as 16-bit big-endian words (its bytes as
    // stored) until the search for a frame tells its layout.
    m_eLayout = m_eKind == EInputKind::Unknown ? EWordLayout::Words16BE : DetectWordLayout(sniff, nSniffed);
    m_FileSource.Attach(m_pFile);
    if (!m_bSeekable)
        m_FileSource.SetPrefix(sniff, static_cast<int>(nSniffed));
    m_WordSource.Reset(m_eLayout, &m_FileSource);
    m_pSource = &m_WordSource;
    return true;
}

bool CInputFile::OpenWave(const std::function<bool()>& stopProbe)
{
    if (!m_WaveSource.Open(m_pFile, stopProbe)) {
        m_strOpenProblem = m_WaveSource.GetProblem();
        return false;
    }
    m_nStartOffset = m_WaveSource.GetSyncOffset();
    m_eLayout = m_WaveSource.GetLayout();
    m_nDataStart = m_WaveSource.GetDataOffset();
    m_nDataSize = m_WaveSource.GetDataSize();
    m_pSource = &m_WaveSource;
    // S/PDIF captures are kept as WAVE files too: the data then starts with a burst.
    uint8_t first[4] = {};
    const bool bRead = CFileShim::Seek(m_pFile, m_nDataStart, SEEK_SET) == 0
                       && std::fread(first, 1, sizeof first, m_pFile) == sizeof first;
    if (const EIecOrder eOrder = CIec61937Source::DetectIec61937(first, bRead ? 4 : 0); eOrder != EIecOrder::None)
        return OpenIec61937(m_nDataStart, m_nDataSize, eOrder, stopProbe);
    return CFileShim::Seek(m_pFile, m_nDataStart + m_WaveSource.GetSyncOffset(), SEEK_SET) == 0;
}

bool CInputFile::KeepsStoredOffsets() const
{
    return m_pSource != nullptr
           && (m_pSource == &m_WordSource || m_pSource == &m_IecSource || m_pSource == m_pTrack.get());
}

bool CInputFile::MayReposition(int64_t nOffset, EWordLayout eLayout) const
{
    // A track's bytes are the stream as written: no other layout is looked for in them.
    if (m_pTrack)
        return eLayout == EWordLayout::Words16BE && nOffset >= 0;
    return m_pFile != nullptr && nOffset >= 0 && (m_nDataSize < 0 || nOffset <= m_nDataSize);
}

bool CInputFile::Reposition(int64_t nOffset, EWordLayout eLayout)
{
    if (m_pTrack)
        return m_pTrack->SeekTo(nOffset);
    // The payload of bursts has no stored offset to go back to.
    if (m_pSource == &m_IecSource)
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
