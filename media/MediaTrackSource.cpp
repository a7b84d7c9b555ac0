// SPDX-License-Identifier: GPL-3.0-or-later
// One DTS track of a movie container read through libavformat.
#include "media/MediaTrackSource.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
}

CMediaTrackSource::~CMediaTrackSource()
{
    av_packet_free(&m_pPacket);
    avformat_close_input(&m_pFormat);
}

bool CMediaTrackSource::Open(const std::string& strPath, int nStream, std::string& strProblem)
{
    if (avformat_open_input(&m_pFormat, strPath.c_str(), nullptr, nullptr) < 0) {
        strProblem = "the movie file cannot be read any more";
        return false;
    }
    // Streams are numbered as libavformat finds them (an MPEG-PS file declares none up front):
    // the same search as the probe's gives the same numbers.
    if (avformat_find_stream_info(m_pFormat, nullptr) < 0) {
        strProblem = "the movie file's streams cannot be read (cut or damaged?)";
        return false;
    }
    if (nStream < 0 || nStream >= static_cast<int>(m_pFormat->nb_streams)) {
        strProblem = "the movie file has no stream " + std::to_string(nStream);
        return false;
    }
    m_nStream = nStream;
    // Only this track's packets are wanted: the demuxer need not hand out the others' data.
    for (unsigned i = 0; i < m_pFormat->nb_streams; ++i)
        m_pFormat->streams[i]->discard = static_cast<int>(i) == nStream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    m_dTimeBase = av_q2d(m_pFormat->streams[nStream]->time_base);
    // Times count from the start of the movie, as a player shows them (an MPEG-TS clock
    // rarely starts at 0).
    if (m_pFormat->start_time != AV_NOPTS_VALUE)
        m_dStart = static_cast<double>(m_pFormat->start_time) / AV_TIME_BASE;
    m_pPacket = av_packet_alloc();
    return m_pPacket != nullptr;
}

bool CMediaTrackSource::NextPacket()
{
    while (!m_bEnded) {
        const int nResult = av_read_frame(m_pFormat, m_pPacket);
        if (nResult < 0) {
            // A cut file ends its track like a whole one; a failing disk is a read error.
            m_bReadError = nResult != AVERROR_EOF && m_pFormat->pb != nullptr && m_pFormat->pb->error < 0;
            m_bEnded = true;
            return false;
        }
        const bool bOurs = m_pPacket->stream_index == m_nStream && m_pPacket->size > 0;
        if (bOurs) {
            const int64_t nStart = m_nKeptStart + static_cast<int64_t>(m_Kept.size());
            const int64_t nStamp = m_pPacket->pts != AV_NOPTS_VALUE ? m_pPacket->pts : m_pPacket->dts;
            const double dTime = nStamp != AV_NOPTS_VALUE ? std::max(0.0, nStamp * m_dTimeBase - m_dStart) : -1.0;
            m_Times.emplace_back(nStart, dTime);
            m_Kept.insert(m_Kept.end(), m_pPacket->data, m_pPacket->data + m_pPacket->size);
        }
        av_packet_unref(m_pPacket);
        if (bOurs)
            return true;
    }
    return false;
}

void CMediaTrackSource::Trim()
{
    const int64_t nBehind = m_nPos - m_nKeptStart;
    if (nBehind < static_cast<int64_t>(2 * kKeepBehind))
        return;
    // Half the kept stretch behind the reader goes at once, so each byte moves once or twice.
    const int64_t nDrop = nBehind - static_cast<int64_t>(kKeepBehind);
    m_Kept.erase(m_Kept.begin(), m_Kept.begin() + nDrop);
    m_nKeptStart += nDrop;
    // The packet holding the first kept byte keeps its time.
    while (m_Times.size() > 1 && m_Times[1].first <= m_nKeptStart)
        m_Times.pop_front();
}

int CMediaTrackSource::Read(uint8_t* pBytes, int nCount)
{
    if (m_pFormat == nullptr || nCount <= 0)
        return 0;
    while (m_nPos >= m_nKeptStart + static_cast<int64_t>(m_Kept.size())) {
        if (!NextPacket())
            return 0;
    }
    const int64_t nAt = m_nPos - m_nKeptStart;
    const int nTake = static_cast<int>(std::min<int64_t>(nCount, static_cast<int64_t>(m_Kept.size()) - nAt));
    std::memcpy(pBytes, m_Kept.data() + nAt, static_cast<size_t>(nTake));
    m_nPos += nTake;
    Trim();
    return nTake;
}

bool CMediaTrackSource::SeekTo(int64_t nOffset)
{
    if (m_pFormat == nullptr || nOffset < m_nKeptStart)
        return false;
    while (nOffset > m_nKeptStart + static_cast<int64_t>(m_Kept.size())) {
        // What is passed over need not be kept.
        m_nPos = m_nKeptStart + static_cast<int64_t>(m_Kept.size());
        Trim();
        if (!NextPacket())
            return false;
    }
    m_nPos = nOffset;
    Trim();
    return true;
}

double CMediaTrackSource::TimeAt(int64_t nOffset) const
{
    // The last packet that starts at or before nOffset holds it.
    auto it = std::upper_bound(m_Times.begin(), m_Times.end(), nOffset,
                               [](int64_t n, const std::pair<int64_t, double>& entry) { return n < entry.first; });
    return it == m_Times.begin() ? -1.0 : std::prev(it)->second;
}

int64_t CMediaTrackSource::GetFilePos() const
{
    return m_pFormat != nullptr && m_pFormat->pb != nullptr ? avio_tell(m_pFormat->pb) : 0;
}
