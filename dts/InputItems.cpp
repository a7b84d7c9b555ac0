// SPDX-License-Identifier: GPL-3.0-or-later
// What a path stands for: a plain stream or the DTS tracks of a container.
#include "dts/InputItems.h"

#include <algorithm>
#include <cstdio>

#include "dts/FileJob.h"
#include "dts/input/IContainerSupport.h"
#include "dts/input/InputKind.h"
#include "stream/FileShim.h"

namespace {

// Enough for the sync of every word layout and for three M2TS packets.
constexpr size_t kSniff = 600;

enum class ESniff { Unreadable, ReadFailed, OurOwn, Other, Container };

ESniff Sniff(const std::string& strPath)
{
    // A pipe without a writer would block the open for good: only plain files are looked into.
    uint64_t nSize = 0;
    std::string strCause;
    if (!CFileShim::GetRegularFileSize(strPath, nSize, strCause))
        return ESniff::Unreadable;
    std::FILE* pFile = CFileShim::OpenForReading(strPath);
    if (pFile == nullptr)
        return ESniff::Unreadable;
    uint8_t bytes[kSniff] = {};
    const size_t nRead = std::fread(bytes, 1, sizeof bytes, pFile);
    const bool bReadFailed = std::ferror(pFile) != 0;
    std::fclose(pFile);
    if (bReadFailed)
        return ESniff::ReadFailed;
    if (DetectInputKind(bytes, nRead) != EInputKind::Unknown)
        return ESniff::OurOwn;
    return LooksLikeContainer(bytes, nRead) ? ESniff::Container : ESniff::Other;
}

// "video (H.264), audio (AC-3, eng)": what a container holds, for an error that says it.
std::string DescribeStreams(const ContainerInfo& info)
{
    std::string strList;
    for (const ContainerStream& s : info.streams) {
        strList += (strList.empty() ? "" : ", ") + s.strType + " (" + s.strCodec;
        strList += (s.strLanguage.empty() ? "" : ", " + s.strLanguage) + ")";
        if (!s.strTitle.empty())
            strList += " \"" + s.strTitle + "\"";
    }
    return strList.empty() ? "no streams" : strList;
}

// " (its DTS tracks: 1, 2)", for a --track that named none of them.
std::string DtsTrackList(const ContainerInfo& info)
{
    std::string strList;
    for (const ContainerStream& s : info.streams) {
        if (s.bDts)
            strList += (strList.empty() ? "" : ", ") + std::to_string(s.nIndex);
    }
    return strList.empty() ? "" : " (its DTS tracks: " + strList + ")";
}

std::string TrackSuffix(const ContainerStream& s)
{
    return " #" + std::to_string(s.nIndex) + (s.strLanguage.empty() ? "" : " (" + s.strLanguage + ")");
}

InputItem TrackItem(const std::string& strPath, const ContainerInfo& info, const ContainerStream& s, bool bSeveral)
{
    InputItem item;
    item.strPath = strPath;
    item.nTrack = s.nIndex;
    item.strSuffix = TrackSuffix(s);
    item.strContainer = info.strFormat;
    item.strLanguage = s.strLanguage;
    item.strTitle = s.strTitle;
    item.strOutputStem = strPath + (bSeveral ? ".track" + std::to_string(s.nIndex) : "");
    item.strOutputPath = CFileJob::OutputPathFor(item.strOutputStem);
    return item;
}

std::vector<InputItem> ContainerItems(const std::string& strPath, const ContainerInfo& info, const std::vector<int>& wanted)
{
    std::vector<InputItem> items;
    const auto nDts = std::count_if(info.streams.begin(), info.streams.end(), [](const auto& s) { return s.bDts; });
    for (const ContainerStream& s : info.streams) {
        const bool bWanted = wanted.empty() || std::find(wanted.begin(), wanted.end(), s.nIndex) != wanted.end();
        if (s.bDts && bWanted)
            items.push_back(TrackItem(strPath, info, s, nDts > 1));
    }
    for (int nWanted : wanted) {
        const bool bFound = std::any_of(info.streams.begin(), info.streams.end(),
                                        [nWanted](const auto& s) { return s.bDts && s.nIndex == nWanted; });
        if (!bFound) {
            InputItem item;
            item.strPath = strPath;
            item.strContainer = info.strFormat;
            item.strProblem = "no DTS track " + std::to_string(nWanted) + DtsTrackList(info) + ": " + DescribeStreams(info);
            items.push_back(item);
        }
    }
    if (items.empty()) {
        InputItem item;
        item.strPath = strPath;
        item.strContainer = info.strFormat;
        item.strProblem = "no DTS track: " + DescribeStreams(info);
        items.push_back(item);
    }
    return items;
}

} // namespace

std::vector<InputItem> CInputItems::Expand(const std::string& strPath, const std::vector<int>& wantedTracks,
                                           IContainerSupport* pSupport)
{
    InputItem plain;
    plain.strPath = strPath;
    plain.strOutputStem = strPath;
    plain.strOutputPath = CFileJob::OutputPathFor(strPath);
    const ESniff eSniff = Sniff(strPath);
    if (eSniff == ESniff::ReadFailed) {
        plain.strProblem = "reading the input failed (I/O error)";
        plain.bReadFailed = true;
        return {plain};
    }
    if (eSniff == ESniff::Unreadable || eSniff == ESniff::OurOwn) {
        if (!wantedTracks.empty() && eSniff == ESniff::OurOwn)
            plain.strProblem = "--track picks tracks of movie files; this is a DTS stream or WAVE file";
        return {plain};
    }
    if (pSupport == nullptr)
        pSupport = IContainerSupport::Installed();
    if (pSupport == nullptr) {
        if (eSniff == ESniff::Container)
            plain.strProblem = "it is a movie container, and this build reads elementary streams and WAVE only";
        return {plain};
    }
    ContainerInfo info;
    std::string strProblem;
    if (pSupport->Probe(strPath, info, strProblem)) {
        if (strProblem.empty())
            return ContainerItems(strPath, info, wantedTracks);
        plain.strContainer = info.strFormat;
    }
    // Not a container after all: a stream that starts with damage, searched as before. One that
    // starts like a container the support cannot open is no stream either.
    if (eSniff == ESniff::Container)
        plain.strProblem = strProblem.empty() ? "it starts like a movie file, but its container cannot be read (cut or damaged?)"
                                              : strProblem;
    return {plain};
}
