// SPDX-License-Identifier: GPL-3.0-or-later
// What the core needs from a reader of movie containers (Matroska, MP4, MPEG-TS, MPEG-PS). The
// core stays free of any media library: a front end that has one plugs it in at start-up.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "stream/ITrackSource.h"

// One stream of a container, as a user would name it.
struct ContainerStream {
    int nIndex = 0;            // the container's stream index
    std::string strType;       // "video", "audio", "subtitle", "data", "attachment"
    std::string strCodec;      // "H.264", "AC-3", "DTS"...
    std::string strLanguage;   // "eng", or empty
    std::string strTitle;      // or empty
    bool bDts = false;         // declared DTS, or its packets start with a DTS sync
};

// A container a support recognised.
struct ContainerInfo {
    std::string strFormat;     // "Matroska", "MP4", "MPEG-TS", "MPEG-PS"
    std::vector<ContainerStream> streams;
};

// One DTS track of a copy of a movie: its rebuilt stream, and where each of its frames went.
struct RemuxTrack {
    int nStream = 0;                 // the container's stream index
    std::FILE* pRebuilt = nullptr;   // the rebuilt stream, read from its start
    // For each frame written, in order: its offset in the track as read, and the rebuilt
    // stream's length after it. A packet takes the frames that start in it; none, it is dropped.
    const std::vector<std::pair<int64_t, int64_t>>* pFrames = nullptr;
};

class IContainerSupport {
public:
    virtual ~IContainerSupport() = default;

    // True when strPath is a container this support reads, described in info; with strProblem
    // set when it is one whose streams cannot be read (the cause, naming no file). False when it
    // is none it knows; strProblem may then say why it could not look (FFmpeg missing).
    virtual bool Probe(const std::string& strPath, ContainerInfo& info, std::string& strProblem) = 0;
    // The track with stream index nStream of a container Probe recognised, or null (strProblem says why).
    virtual std::unique_ptr<ITrackSource> OpenTrack(const std::string& strPath, int nStream, std::string& strProblem) = 0;

    // True when a copy of the container strPath can be written in its own format; otherwise
    // false with the cause in strProblem (an MPEG-PS file cannot be written back).
    virtual bool CanRemux(const std::string& strPath, std::string& strProblem) = 0;
    // Writes a copy of strPath to pOut (open, empty, seekable) with every stream, chapter,
    // attachment and tag as a stream copy keeps them, and each track of tracks replaced by its
    // rebuilt frames with the original packets' times. False with the cause in strProblem;
    // stopProbe returning true ends it early (false, strProblem empty).
    virtual bool Remux(const std::string& strPath, std::FILE* pOut, const std::vector<RemuxTrack>& tracks,
                       const std::function<bool()>& stopProbe, std::string& strProblem) = 0;

    // The support the front end plugged in, or null in a build without one.
    static IContainerSupport*& Installed()
    {
        static IContainerSupport* pSupport = nullptr;
        return pSupport;
    }
};
