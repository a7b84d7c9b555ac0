// SPDX-License-Identifier: GPL-3.0-or-later
// Loads the kestrune-media module on first use.
#include "media/LazyContainerSupport.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <dlfcn.h>

std::string CLazyContainerSupport::DefaultModuleDirs()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string strInstalled = ec ? std::string() : (exe.parent_path() / KESTRUNE_MEDIA_INSTALLED_DIR).string();
    return strInstalled + ":" + KESTRUNE_MEDIA_BUILD_DIR;
}

IContainerSupport* CLazyContainerSupport::Loaded(std::string& strProblem)
{
    if (!m_bTried) {
        m_bTried = true;
        std::string strErrors;
        size_t nStart = 0;
        while (m_pLoaded == nullptr && nStart <= m_strModuleDirs.size()) {
            const size_t nEnd = std::min(m_strModuleDirs.find(':', nStart), m_strModuleDirs.size());
            const std::string strPath = m_strModuleDirs.substr(nStart, nEnd - nStart) + "/kestrune-media.so";
            nStart = nEnd + 1;
            void* pModule = dlopen(strPath.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (pModule == nullptr) {
                strErrors = dlerror();
                continue;
            }
            using Entry = IContainerSupport* (*)();
            auto entry = reinterpret_cast<Entry>(dlsym(pModule, "KestruneMediaContainerSupport"));
            m_pLoaded = entry != nullptr ? entry() : nullptr;
        }
        if (m_pLoaded == nullptr)
            m_strLoadProblem = "movie files need FFmpeg's libraries, which could not be loaded (" + strErrors + ")";
    }
    strProblem = m_strLoadProblem;
    return m_pLoaded;
}

bool CLazyContainerSupport::Probe(const std::string& strPath, ContainerInfo& info, std::string& strProblem)
{
    // Without the module no file is a container; the problem tells a file that looks like one.
    IContainerSupport* pSupport = Loaded(strProblem);
    if (pSupport == nullptr)
        return false;
    return pSupport->Probe(strPath, info, strProblem);
}

std::unique_ptr<ITrackSource> CLazyContainerSupport::OpenTrack(const std::string& strPath, int nStream,
                                                               std::string& strProblem)
{
    IContainerSupport* pSupport = Loaded(strProblem);
    return pSupport != nullptr ? pSupport->OpenTrack(strPath, nStream, strProblem) : nullptr;
}

bool CLazyContainerSupport::CanRemux(const std::string& strPath, std::string& strProblem)
{
    IContainerSupport* pSupport = Loaded(strProblem);
    return pSupport != nullptr && pSupport->CanRemux(strPath, strProblem);
}

bool CLazyContainerSupport::Remux(const std::string& strPath, std::FILE* pOut, const std::vector<RemuxTrack>& tracks,
                                  const std::function<bool()>& stopProbe, std::string& strProblem)
{
    IContainerSupport* pSupport = Loaded(strProblem);
    return pSupport != nullptr && pSupport->Remux(strPath, pOut, tracks, stopProbe, strProblem);
}
