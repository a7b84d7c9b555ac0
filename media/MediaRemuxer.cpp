// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a copy of a movie container with its DTS tracks rebuilt.
#include "media/MediaRemuxer.h"

#include <cctype>
#include <cstring>

#include "media/MediaContainerSupport.h"
#include "stream/FileShim.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace {

constexpr int kIoBuffer = 64 * 1024;

// FFmpeg 5.1 declares the bytes to write as non-const.
int WriteToFile(void* pOpaque, uint8_t* pBytes, int nCount)
{
    auto* pFile = static_cast<std::FILE*>(pOpaque);
    return std::fwrite(pBytes, 1, static_cast<size_t>(nCount), pFile) == static_cast<size_t>(nCount) ? nCount : AVERROR(EIO);
}

int64_t SeekInFile(void* pOpaque, int64_t nOffset, int nWhence)
{
    auto* pFile = static_cast<std::FILE*>(pOpaque);
    if (nWhence == AVSEEK_SIZE) {
        const int64_t nHere = CFileShim::Tell(pFile);
        if (CFileShim::Seek(pFile, 0, SEEK_END) != 0)
            return -1;
        const int64_t nSize = CFileShim::Tell(pFile);
        CFileShim::Seek(pFile, nHere, SEEK_SET);
        return nSize;
    }
    if (CFileShim::Seek(pFile, nOffset, nWhence & ~AVSEEK_FORCE) != 0)
        return -1;
    return CFileShim::Tell(pFile);
}

bool EndsWith(const std::string& str, const char* pszEnd)
{
    const size_t n = std::strlen(pszEnd);
    if (str.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(str[str.size() - n + i])) != pszEnd[i])
            return false;
    }
    return true;
}

} // namespace

CMediaRemuxer::~CMediaRemuxer()
{
    if (m_pOut != nullptr) {
        avformat_free_context(m_pOut);
        m_pOut = nullptr;
    }
    if (m_pIo != nullptr) {
        av_freep(&m_pIo->buffer);
        avio_context_free(&m_pIo);
    }
    avformat_close_input(&m_pIn);
}

bool CMediaRemuxer::IsM2ts(const std::string& strPath)
{
    std::FILE* pFile = CFileShim::OpenForReading(strPath);
    if (pFile == nullptr)
        return false;
    uint8_t bytes[4 + 2 * 192 + 1] = {};
    const size_t nRead = std::fread(bytes, 1, sizeof bytes, pFile);
    std::fclose(pFile);
    return nRead == sizeof bytes && bytes[4] == 0x47 && bytes[196] == 0x47 && bytes[388] == 0x47;
}

const AVOutputFormat* CMediaRemuxer::OutputFormatFor(const std::string& strPath, const char* pszDemuxer, std::string& strProblem)
{
    const char* pszFormat = CMediaContainerSupport::FormatName(pszDemuxer);
    const char* pszMuxer = nullptr;
    if (pszFormat == nullptr || std::strcmp(pszFormat, "MPEG-PS") == 0) {
        strProblem = std::string(pszFormat != nullptr ? pszFormat : "this kind of") + " files cannot be written back;"
                     " --rebuild writes the DTS track as a .dts file";
        return nullptr;
    }
    if (std::strcmp(pszFormat, "Matroska") == 0)
        pszMuxer = EndsWith(strPath, ".webm") ? "webm" : "matroska";
    else if (std::strcmp(pszFormat, "MP4") == 0)
        pszMuxer = EndsWith(strPath, ".mov") ? "mov" : "mp4";
    else
        pszMuxer = "mpegts";
    return av_guess_format(pszMuxer, nullptr, nullptr);
}

bool CMediaRemuxer::OpenInput(const std::string& strPath, std::string& strProblem)
{
    if (avformat_open_input(&m_pIn, strPath.c_str(), nullptr, nullptr) < 0
        || avformat_find_stream_info(m_pIn, nullptr) < 0) {
        strProblem = "the movie file cannot be read any more";
        return false;
    }
    return true;
}

bool CMediaRemuxer::OpenOutput(const std::string& strPath, std::FILE* pOut, std::string& strProblem)
{
    const AVOutputFormat* pFormat = OutputFormatFor(strPath, m_pIn->iformat->name, strProblem);
    if (pFormat == nullptr)
        return false;
    if (avformat_alloc_output_context2(&m_pOut, pFormat, nullptr, nullptr) < 0) {
        strProblem = "the copy cannot be set up";
        return false;
    }
    auto* pBuffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
    m_pIo = pBuffer != nullptr ? avio_alloc_context(pBuffer, kIoBuffer, 1, pOut, nullptr, WriteToFile, SeekInFile) : nullptr;
    if (m_pIo == nullptr) {
        av_free(pBuffer);
        strProblem = "out of memory";
        return false;
    }
    m_pOut->pb = m_pIo;
    m_pOut->flags |= AVFMT_FLAG_CUSTOM_IO;
    return true;
}

bool CMediaRemuxer::CopyStreams(std::string& strProblem)
{
    for (unsigned i = 0; i < m_pIn->nb_streams; ++i) {
        const AVStream* pIn = m_pIn->streams[i];
        AVStream* pOut = avformat_new_stream(m_pOut, nullptr);
        if (pOut == nullptr || avcodec_parameters_copy(pOut->codecpar, pIn->codecpar) < 0) {
            strProblem = "out of memory";
            return false;
        }
        // The input's tag stays where the muxer reads it as the same codec, or has no tag of its
        // own for the codec (raw video in Matroska needs its pixel format's tag).
        const AVCodecTag* const* pTags = m_pOut->oformat->codec_tag;
        unsigned int nOwnTag = 0;
        const bool bKeepTag = pTags == nullptr || av_codec_get_id(pTags, pIn->codecpar->codec_tag) == pIn->codecpar->codec_id
                              || av_codec_get_tag2(pTags, pIn->codecpar->codec_id, &nOwnTag) == 0;
        if (!bKeepTag)
            pOut->codecpar->codec_tag = 0;
        // A DTS track the input declared as something else (MPEG-TS stream type 0x82 without
        // the Blu-ray registration reads as MP3) is declared as what it is.
        if (m_Replaced[i].pTrack != nullptr && pIn->codecpar->codec_id != AV_CODEC_ID_DTS) {
            pOut->codecpar->codec_id = AV_CODEC_ID_DTS;
            pOut->codecpar->codec_tag = 0;
            // Without the rate the muxer cannot declare the track: say so rather than fail vaguely.
            if (pIn->codecpar->sample_rate <= 0) {
                strProblem = "track " + std::to_string(i) + " is declared as " + avcodec_get_name(pIn->codecpar->codec_id)
                             + ", not DTS, and a copy cannot declare it anew; --rebuild writes it as a .dts file";
                return false;
            }
        }
        pOut->time_base = pIn->time_base;
        pOut->disposition = pIn->disposition;
        pOut->avg_frame_rate = pIn->avg_frame_rate;
        pOut->r_frame_rate = pIn->r_frame_rate;
        pOut->sample_aspect_ratio = pIn->sample_aspect_ratio;
        av_dict_copy(&pOut->metadata, pIn->metadata, 0);
    }
    av_dict_copy(&m_pOut->metadata, m_pIn->metadata, 0);
    CopyChapters();
    return true;
}

void CMediaRemuxer::CopyChapters()
{
    if (m_pIn->nb_chapters == 0)
        return;
    m_pOut->chapters = static_cast<AVChapter**>(av_calloc(m_pIn->nb_chapters, sizeof(AVChapter*)));
    if (m_pOut->chapters == nullptr)
        return;
    for (unsigned i = 0; i < m_pIn->nb_chapters; ++i) {
        const AVChapter* pIn = m_pIn->chapters[i];
        auto* pOut = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (pOut == nullptr)
            break;
        pOut->id = pIn->id;
        pOut->time_base = pIn->time_base;
        pOut->start = pIn->start;
        pOut->end = pIn->end;
        av_dict_copy(&pOut->metadata, pIn->metadata, 0);
        m_pOut->chapters[m_pOut->nb_chapters++] = pOut;
    }
}

bool CMediaRemuxer::ReplacePayload(Replaced& replaced, AVPacket* pPacket)
{
    const int64_t nStart = replaced.nRead;
    const int64_t nEnd = nStart + pPacket->size;
    replaced.nRead = nEnd;
    const auto& frames = *replaced.pTrack->pFrames;
    // The rebuilt frames of every frame that starts inside this packet, back to back.
    int64_t nOutEnd = replaced.nOutDone;
    while (replaced.nNextFrame < frames.size() && frames[replaced.nNextFrame].first < nEnd) {
        nOutEnd = frames[replaced.nNextFrame].second;
        ++replaced.nNextFrame;
    }
    const int64_t nBytes = nOutEnd - replaced.nOutDone;
    replaced.nOutDone = nOutEnd;
    if (nBytes <= 0 || nBytes > INT32_MAX / 2)
        return false;
    m_Payload.resize(static_cast<size_t>(nBytes));
    if (std::fread(m_Payload.data(), 1, m_Payload.size(), replaced.pTrack->pRebuilt) != m_Payload.size()) {
        m_bRebuiltFailed = true;
        return false;
    }
    AVPacket* pNew = av_packet_alloc();
    if (pNew == nullptr || av_new_packet(pNew, static_cast<int>(nBytes)) < 0 || av_packet_copy_props(pNew, pPacket) < 0) {
        av_packet_free(&pNew);
        m_bRebuiltFailed = true;
        return false;
    }
    std::memcpy(pNew->data, m_Payload.data(), m_Payload.size());
    pNew->stream_index = pPacket->stream_index;
    av_packet_unref(pPacket);
    av_packet_move_ref(pPacket, pNew);
    av_packet_free(&pNew);
    return true;
}

bool CMediaRemuxer::CopyPackets(const std::function<bool()>& stopProbe, std::string& strProblem)
{
    AVPacket* pPacket = av_packet_alloc();
    bool bOk = pPacket != nullptr;
    while (bOk && !(stopProbe && stopProbe())) {
        const int nRead = av_read_frame(m_pIn, pPacket);
        if (nRead < 0) {
            if (nRead != AVERROR_EOF && m_pIn->pb != nullptr && m_pIn->pb->error < 0) {
                strProblem = "reading the movie file failed (I/O error)";
                bOk = false;
            }
            break;
        }
        const int nIndex = pPacket->stream_index;
        Replaced& replaced = m_Replaced[static_cast<size_t>(nIndex)];
        const bool bKeep = replaced.pTrack == nullptr || ReplacePayload(replaced, pPacket);
        if (m_bRebuiltFailed) {
            strProblem = "the rebuilt stream cannot be read back";
            bOk = false;
        } else if (bKeep) {
            av_packet_rescale_ts(pPacket, m_pIn->streams[nIndex]->time_base, m_pOut->streams[nIndex]->time_base);
            pPacket->pos = -1;
            if (av_interleaved_write_frame(m_pOut, pPacket) < 0) {
                strProblem = "writing the copy failed (disk full?)";
                bOk = false;
            }
        }
        av_packet_unref(pPacket);
    }
    av_packet_free(&pPacket);
    return bOk;
}

bool CMediaRemuxer::WriteHeader(const std::string& strPath, std::string& strProblem)
{
    AVDictionary* pOptions = nullptr;
    // An M2TS input stays M2TS: 192-byte packets with their time codes.
    if (std::strcmp(m_pOut->oformat->name, "mpegts") == 0 && IsM2ts(strPath))
        av_dict_set(&pOptions, "mpegts_m2ts_mode", "1", 0);
    const int nHeader = avformat_write_header(m_pOut, &pOptions);
    av_dict_free(&pOptions);
    if (nHeader < 0)
        strProblem = "the copy's header cannot be written (a stream this format cannot hold, or the disk is full)";
    return nHeader >= 0;
}

bool CMediaRemuxer::Run(const std::string& strPath, std::FILE* pOut, const std::vector<RemuxTrack>& tracks,
                        const std::function<bool()>& stopProbe, std::string& strProblem)
{
    if (!OpenInput(strPath, strProblem) || !OpenOutput(strPath, pOut, strProblem))
        return false;
    m_Replaced.assign(m_pIn->nb_streams, Replaced{});
    for (const RemuxTrack& track : tracks) {
        if (track.nStream >= 0 && track.nStream < static_cast<int>(m_pIn->nb_streams))
            m_Replaced[static_cast<size_t>(track.nStream)].pTrack = &track;
    }
    if (!CopyStreams(strProblem) || !WriteHeader(strPath, strProblem))
        return false;
    const bool bCopied = CopyPackets(stopProbe, strProblem);
    // The trailer is written even after a failure, so that the muxer frees what it holds; the
    // file is thrown away then anyway.
    const bool bTrailer = av_write_trailer(m_pOut) >= 0;
    avio_flush(m_pIo);
    if (bCopied && (!bTrailer || m_pIo->error < 0)) {
        strProblem = "writing the copy failed (disk full?)";
        return false;
    }
    return bCopied && strProblem.empty() && !(stopProbe && stopProbe());
}
