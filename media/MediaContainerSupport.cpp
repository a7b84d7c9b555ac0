// SPDX-License-Identifier: GPL-3.0-or-later
// Movie containers through FFmpeg's libavformat.
#include "media/MediaContainerSupport.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "media/MediaRemuxer.h"
#include "media/MediaTrackSource.h"
#include "dts/SyncWords.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {

// Packets read at most to find which undeclared audio streams carry DTS.
constexpr int kSniffPackets = 2000;

struct CodecName {
    AVCodecID eId;
    const char* pszName;
};

// Names as players show them; others fall back to libavcodec's short name.
constexpr CodecName kCodecNames[] = {
    {AV_CODEC_ID_H264, "H.264"},   {AV_CODEC_ID_HEVC, "HEVC"},         {AV_CODEC_ID_MPEG2VIDEO, "MPEG-2"},
    {AV_CODEC_ID_MPEG4, "MPEG-4"}, {AV_CODEC_ID_VC1, "VC-1"},          {AV_CODEC_ID_AV1, "AV1"},
    {AV_CODEC_ID_AC3, "AC-3"},     {AV_CODEC_ID_EAC3, "E-AC-3"},       {AV_CODEC_ID_TRUEHD, "TrueHD"},
    {AV_CODEC_ID_AAC, "AAC"},      {AV_CODEC_ID_MP3, "MP3"},           {AV_CODEC_ID_MP2, "MP2"},
    {AV_CODEC_ID_FLAC, "FLAC"},    {AV_CODEC_ID_DTS, "DTS"},           {AV_CODEC_ID_OPUS, "Opus"},
    {AV_CODEC_ID_SUBRIP, "SubRip"}, {AV_CODEC_ID_HDMV_PGS_SUBTITLE, "PGS"}, {AV_CODEC_ID_ASS, "ASS"},
    {AV_CODEC_ID_DVD_SUBTITLE, "VobSub"},
};

std::string CodecText(AVCodecID eId)
{
    for (const CodecName& name : kCodecNames) {
        if (name.eId == eId)
            return name.pszName;
    }
    const char* pszName = avcodec_get_name(eId);
    return pszName != nullptr ? pszName : "unknown";
}

const char* TypeText(AVMediaType eType)
{
    switch (eType) {
    case AVMEDIA_TYPE_VIDEO: return "video";
    case AVMEDIA_TYPE_AUDIO: return "audio";
    case AVMEDIA_TYPE_SUBTITLE: return "subtitle";
    case AVMEDIA_TYPE_ATTACHMENT: return "attachment";
    default: return "data";
    }
}

std::string Tag(const AVStream* pStream, const char* pszKey)
{
    const AVDictionaryEntry* pEntry = av_dict_get(pStream->metadata, pszKey, nullptr, 0);
    return pEntry != nullptr && pEntry->value != nullptr ? pEntry->value : "";
}

bool StartsWithDtsSync(const AVPacket* pPacket)
{
    return pPacket->size >= 4 && (DtsSync::IsCoreAt(pPacket->data) || DtsSync::IsSubstreamAt(pPacket->data));
}

// An audio stream declared as something else may still carry DTS (an MPEG-TS stream type 0x82
// without the Blu-ray registration is taken for MP3): the first packet of each tells.
void FindUndeclaredDts(AVFormatContext* pFormat, ContainerInfo& info)
{
    std::vector<int> pending;
    for (const ContainerStream& s : info.streams) {
        if (!s.bDts && s.strType == "audio")
            pending.push_back(s.nIndex);
    }
    AVPacket* pPacket = av_packet_alloc();
    for (int i = 0; i < kSniffPackets && !pending.empty() && pPacket != nullptr; ++i) {
        if (av_read_frame(pFormat, pPacket) < 0)
            break;
        const int nIndex = pPacket->stream_index;
        const auto it = std::find(pending.begin(), pending.end(), nIndex);
        if (it != pending.end() && pPacket->size > 0) {
            if (StartsWithDtsSync(pPacket)) {
                info.streams[static_cast<size_t>(nIndex)].bDts = true;
                info.streams[static_cast<size_t>(nIndex)].strCodec = "DTS";
            }
            pending.erase(it);
        }
        av_packet_unref(pPacket);
    }
    av_packet_free(&pPacket);
}

} // namespace

CMediaContainerSupport::CMediaContainerSupport()
{
    av_log_set_level(AV_LOG_QUIET);
}

const char* CMediaContainerSupport::FormatName(const char* pszDemuxer)
{
    // Only containers whose DTS tracks we know how to read and name; a demuxer that merely
    // guesses (raw DTS, MP3 with a lead-in of noise) is no container.
    const std::pair<const char*, const char*> kKnown[] = {
        {"matroska,webm", "Matroska"}, {"mov,mp4,m4a,3gp,3g2,mj2", "MP4"}, {"mpegts", "MPEG-TS"}, {"mpeg", "MPEG-PS"},
    };
    for (const auto& [pszName, pszText] : kKnown) {
        if (pszDemuxer != nullptr && std::strcmp(pszDemuxer, pszName) == 0)
            return pszText;
    }
    return nullptr;
}

bool CMediaContainerSupport::Probe(const std::string& strPath, ContainerInfo& info, std::string& strProblem)
{
    AVFormatContext* pFormat = nullptr;
    if (avformat_open_input(&pFormat, strPath.c_str(), nullptr, nullptr) < 0)
        return false;
    const char* pszFormat = FormatName(pFormat->iformat->name);
    if (pszFormat == nullptr) {
        avformat_close_input(&pFormat);
        return false;
    }
    info.strFormat = pszFormat;
    if (avformat_find_stream_info(pFormat, nullptr) < 0) {
        strProblem = std::string("the ") + pszFormat + " file's streams cannot be read (cut or damaged?)";
        avformat_close_input(&pFormat);
        return true;
    }
    for (unsigned i = 0; i < pFormat->nb_streams; ++i) {
        const AVStream* pStream = pFormat->streams[i];
        ContainerStream s;
        s.nIndex = static_cast<int>(i);
        s.strType = TypeText(pStream->codecpar->codec_type);
        s.strCodec = CodecText(pStream->codecpar->codec_id);
        s.strLanguage = Tag(pStream, "language");
        if (s.strLanguage == "und")
            s.strLanguage.clear();
        s.strTitle = Tag(pStream, "title");
        // An attachment is best known by its file name.
        if (pStream->codecpar->codec_type == AVMEDIA_TYPE_ATTACHMENT && !Tag(pStream, "filename").empty())
            s.strCodec = Tag(pStream, "filename");
        s.bDts = pStream->codecpar->codec_id == AV_CODEC_ID_DTS;
        info.streams.push_back(s);
    }
    FindUndeclaredDts(pFormat, info);
    avformat_close_input(&pFormat);
    return true;
}

std::unique_ptr<ITrackSource> CMediaContainerSupport::OpenTrack(const std::string& strPath, int nStream,
                                                                std::string& strProblem)
{
    auto pTrack = std::make_unique<CMediaTrackSource>();
    if (!pTrack->Open(strPath, nStream, strProblem))
        return nullptr;
    return pTrack;
}

bool CMediaContainerSupport::CanRemux(const std::string& strPath, std::string& strProblem)
{
    AVFormatContext* pFormat = nullptr;
    if (avformat_open_input(&pFormat, strPath.c_str(), nullptr, nullptr) < 0) {
        strProblem = "the movie file cannot be read any more";
        return false;
    }
    const bool bCan = CMediaRemuxer::OutputFormatFor(strPath, pFormat->iformat->name, strProblem) != nullptr;
    avformat_close_input(&pFormat);
    return bCan;
}

bool CMediaContainerSupport::Remux(const std::string& strPath, std::FILE* pOut, const std::vector<RemuxTrack>& tracks,
                                   const std::function<bool()>& stopProbe, std::string& strProblem)
{
    CMediaRemuxer remuxer;
    return remuxer.Run(strPath, pOut, tracks, stopProbe, strProblem);
}
