// SPDX-License-Identifier: GPL-3.0-or-later
// The container support the programs install: it loads the kestrune-media module, and with it
// FFmpeg's libraries, only when a file first needs it, so that a DTS stream or WAVE file starts
// as fast as in a build without movie files (FFmpeg brings some 130 libraries to load).
#pragma once

#include <string>

#include "dts/input/IContainerSupport.h"

class CLazyContainerSupport : public IContainerSupport {
public:
    // strModuleDirs: folders to look for kestrune-media.so in, ':'-separated, tried in order.
    explicit CLazyContainerSupport(std::string strModuleDirs) : m_strModuleDirs(std::move(strModuleDirs)) {}
    // Where an installed program finds the module (beside it, as installed), then this build's.
    static std::string DefaultModuleDirs();

    bool Probe(const std::string& strPath, ContainerInfo& info, std::string& strProblem) override;
    std::unique_ptr<ITrackSource> OpenTrack(const std::string& strPath, int nStream, std::string& strProblem) override;
    bool CanRemux(const std::string& strPath, std::string& strProblem) override;
    bool Remux(const std::string& strPath, std::FILE* pOut, const std::vector<RemuxTrack>& tracks,
               const std::function<bool()>& stopProbe, std::string& strProblem) override;

private:
    // The module's support, loaded on first use; null (strProblem says why) when it cannot be.
    IContainerSupport* Loaded(std::string& strProblem);

    std::string m_strModuleDirs;
    IContainerSupport* m_pLoaded = nullptr;
    std::string m_strLoadProblem;   // why loading failed, once tried
    bool m_bTried = false;
};
