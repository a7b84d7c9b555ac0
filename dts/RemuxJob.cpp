// SPDX-License-Identifier: GPL-3.0-or-later
// A copy of a whole movie file with each of its DTS tracks rebuilt.
#include "dts/RemuxJob.h"

#include <filesystem>
#include <system_error>

#include "dts/IFrameLoopHost.h"
#include "dts/input/IContainerSupport.h"
#include "stream/FileShim.h"
#include "stream/OutBitStream.h"

namespace {

CFileJob::Result OutputFailure(CFileJob::EState eState, const std::string& strPath, const std::string& strCause)
{
    CFileJob::Result result;
    result.eState = eState;
    result.eFailedPath = CFileJob::EFailedPath::Output;
    result.strFailedPath = strPath;
    result.strError = strCause;
    return result;
}

} // namespace

std::string CRemuxJob::OutputPathFor(const std::string& strPath)
{
    // The extension is what follows the last dot of the file name (not of a folder's).
    const size_t nName = strPath.find_last_of("/\\");
    const size_t nDot = strPath.rfind('.');
    const bool bExtension = nDot != std::string::npos && (nName == std::string::npos || nDot > nName + 1);
    if (!bExtension)
        return strPath + ".fixed";
    return strPath.substr(0, nDot) + ".fixed" + strPath.substr(nDot);
}

CRemuxJob::CRemuxJob(const std::string& strPath)
    : m_strPath(strPath), m_strOutputPath(OutputPathFor(strPath))
{
}

CRemuxJob::~CRemuxJob()
{
    for (const Track& track : m_Tracks) {
        if (track.pRebuilt != nullptr)
            std::fclose(track.pRebuilt);
    }
    if (m_pInput != nullptr)
        std::fclose(m_pInput);
    std::error_code ec;
    for (const std::string& strTemp : m_Temporaries)
        std::filesystem::remove(CFileShim::ToPath(strTemp), ec);
}

CFileJob::Result CRemuxJob::Prepare()
{
    IContainerSupport* pSupport = IContainerSupport::Installed();
    std::string strCause;
    if (pSupport == nullptr)
        return OutputFailure(CFileJob::EState::CannotCreateOutput, m_strOutputPath,
                             "this build reads elementary streams and WAVE only");
    if (!pSupport->CanRemux(m_strPath, strCause) || !CFileShim::IsReplaceable(m_strOutputPath, strCause))
        return OutputFailure(CFileJob::EState::CannotCreateOutput, m_strOutputPath, strCause);
    // Taken now, not by its name after the walk: the name may stand for another file by then.
    if (m_pInput == nullptr)
        m_pInput = CFileShim::OpenForReading(m_strPath);
    return CFileJob::Result{};
}

CFileJob::Result CRemuxJob::WalkTrack(IFrameLoopHost& host, CBitStream& inStream, COutBitStream& outStream,
                                      const InputItem& track, int64_t nInputSize, const CFileJob::Options& options)
{
    ++m_nWalked;
    std::string strCause;
    Track walked;
    walked.nStream = track.nTrack;
    // No file stands there: the rebuild puts its stream there only when whole, and an empty file
    // would read as an older output it left in place.
    walked.strRebuiltPath = CFileShim::UnusedNameBeside(m_strOutputPath, strCause);
    if (walked.strRebuiltPath.empty())
        return OutputFailure(CFileJob::EState::CannotCreateOutput, m_strOutputPath, strCause);
    m_Temporaries.push_back(walked.strRebuiltPath);
    walked.pMap = std::make_unique<CFrameMapHost>(host);
    CFileJob::Options rebuild = options;
    rebuild.bRebuild = true;
    CFileJob::Result result =
        CFileJob::Run(*walked.pMap, inStream, outStream, m_strPath, walked.strRebuiltPath, nInputSize, rebuild, &track);
    // The rebuilt stream is a step towards the copy, not an output of its own.
    result.bOutputWritten = false;
    // Its name is hidden and gone with the run: a failure to write it names the copy it was for.
    if (result.eFailedPath == CFileJob::EFailedPath::Output)
        result.strFailedPath = m_strOutputPath;
    if (result.eState != CFileJob::EState::Done)
        return result;
    walked.pRebuilt = CFileShim::OpenForReading(walked.strRebuiltPath);
    if (walked.pRebuilt == nullptr)
        return OutputFailure(CFileJob::EState::WriteFailed, m_strOutputPath, "the rebuilt track cannot be read back");
#ifndef _WIN32
    // Open, it needs no name any more: a killed process then leaves nothing of it behind.
    // (Windows cannot remove an open file; the destructor does it there.)
    std::error_code ec;
    std::filesystem::remove(CFileShim::ToPath(walked.strRebuiltPath), ec);
    m_Temporaries.pop_back();
#endif
    m_Tracks.push_back(std::move(walked));
    return result;
}

CFileJob::Result CRemuxJob::Finish(IFrameLoopHost& host)
{
    if (m_Tracks.size() != m_nWalked)
        return OutputFailure(CFileJob::EState::CannotCreateOutput, m_strOutputPath,
                             "a track of the movie failed, so no copy was written");
    std::string strCause;
    std::vector<RemuxTrack> tracks;
    for (const Track& track : m_Tracks)
        tracks.push_back(RemuxTrack{track.nStream, track.pRebuilt, &track.pMap->Frames()});
    // Written as every output is: to a file that takes its name only when whole and on the disk.
    COutBitStream copy;
    if (!copy.OpenReplacing(m_strOutputPath, strCause))
        return OutputFailure(CFileJob::EState::CannotCreateOutput, m_strOutputPath, strCause);
    auto stop = [&host] { return host.IsStopSet(); };
    const bool bWritten = IContainerSupport::Installed()->Remux(m_strPath, copy.GetFile(), tracks, stop, strCause);
    copy.TakePermissionsOf(m_pInput);
    CFileJob::Result result;
    if (host.IsStopSet())
        result.eState = CFileJob::EState::Stopped;
    else if (bWritten && copy.Commit(strCause))
        result.bOutputWritten = true;
    else if (!bWritten || copy.HasWriteError())
        result = OutputFailure(CFileJob::EState::WriteFailed, m_strOutputPath,
                               strCause.empty() ? "writing the copy failed (disk full?); no copy was kept" : strCause);
    else
        result = OutputFailure(CFileJob::EState::CannotCreateOutput, m_strOutputPath, strCause);
    return result;
}
