// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a copy of a movie container through libavformat's stream copy, with its DTS tracks
// replaced by their rebuilt frames.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "dts/input/IContainerSupport.h"

struct AVFormatContext;
struct AVIOContext;
struct AVOutputFormat;
struct AVPacket;

class CMediaRemuxer {
public:
    CMediaRemuxer() = default;
    ~CMediaRemuxer();
    CMediaRemuxer(const CMediaRemuxer&) = delete;
    CMediaRemuxer& operator=(const CMediaRemuxer&) = delete;

    // The muxer that writes strPath's format back, or null with the cause in strProblem.
    static const AVOutputFormat* OutputFormatFor(const std::string& strPath, const char* pszDemuxer, std::string& strProblem);
    // True when strPath holds 192-byte M2TS packets (a time code before each MPEG-TS packet).
    static bool IsM2ts(const std::string& strPath);

    // See IContainerSupport::Remux.
    bool Run(const std::string& strPath, std::FILE* pOut, const std::vector<RemuxTrack>& tracks,
             const std::function<bool()>& stopProbe, std::string& strProblem);

private:
    // A track being replaced: where its packets stand in the stream as read, and its frames.
    struct Replaced {
        const RemuxTrack* pTrack = nullptr;
        int64_t nRead = 0;      // track bytes of the packets read so far
        size_t nNextFrame = 0;  // the first frame not yet put in a packet
        int64_t nOutDone = 0;   // rebuilt bytes already put in packets
    };

    bool OpenInput(const std::string& strPath, std::string& strProblem);
    bool OpenOutput(const std::string& strPath, std::FILE* pOut, std::string& strProblem);
    bool CopyStreams(std::string& strProblem);
    void CopyChapters();
    // Writes the copy's header, in M2TS packets for an M2TS input.
    bool WriteHeader(const std::string& strPath, std::string& strProblem);
    // Gives pPacket the rebuilt frames that start in it; false when none do (it is dropped)
    // or the rebuilt stream cannot be read (m_bRebuiltFailed).
    bool ReplacePayload(Replaced& replaced, AVPacket* pPacket);
    bool CopyPackets(const std::function<bool()>& stopProbe, std::string& strProblem);

    AVFormatContext* m_pIn = nullptr;
    AVFormatContext* m_pOut = nullptr;
    AVIOContext* m_pIo = nullptr;
    std::vector<Replaced> m_Replaced;  // by input stream index; pTrack null for streams copied as they are
    std::vector<uint8_t> m_Payload;
    bool m_bRebuiltFailed = false;
};
