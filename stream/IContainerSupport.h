// What the core needs from a reader of movie containers (Matroska, MP4, MPEG-TS, MPEG-PS). The
// core stays free of any media library: a front end that has one plugs it in at start-up.
#pragma once

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

class IContainerSupport {
public:
    virtual ~IContainerSupport() = default;

    // True when strPath is a container this support reads, described in info. False with
    // strProblem empty when it is none it knows; with strProblem set when it is one that
    // cannot be read (the cause, naming no file).
    virtual bool Probe(const std::string& strPath, ContainerInfo& info, std::string& strProblem) = 0;
    // The track with stream index nStream of a container Probe recognised, or null (strProblem says why).
    virtual std::unique_ptr<ITrackSource> OpenTrack(const std::string& strPath, int nStream, std::string& strProblem) = 0;

    // The support the front end plugged in, or null in a build without one.
    static IContainerSupport*& Installed()
    {
        static IContainerSupport* pSupport = nullptr;
        return pSupport;
    }
};
