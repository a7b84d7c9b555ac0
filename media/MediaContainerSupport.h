// SPDX-License-Identifier: GPL-3.0-or-later
// Movie containers through FFmpeg's libavformat: which files are containers, their DTS tracks,
// and a byte source over each. The front ends install one at start-up.
#pragma once

#include <memory>
#include <string>

#include "dts/input/IContainerSupport.h"

class CMediaContainerSupport : public IContainerSupport {
public:
    // Silences libavformat's own messages: every problem reaches the user as our text.
    CMediaContainerSupport();

    bool Probe(const std::string& strPath, ContainerInfo& info, std::string& strProblem) override;
    std::unique_ptr<ITrackSource> OpenTrack(const std::string& strPath, int nStream, std::string& strProblem) override;

    bool CanRemux(const std::string& strPath, std::string& strProblem) override;
    bool Remux(const std::string& strPath, std::FILE* pOut, const std::vector<RemuxTrack>& tracks,
               const std::function<bool()>& stopProbe, std::string& strProblem) override;

    // The user's name of a libavformat demuxer we read ("Matroska"), or null for one we do not.
    static const char* FormatName(const char* pszDemuxer);
};
