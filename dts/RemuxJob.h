// SPDX-License-Identifier: GPL-3.0-or-later
// A copy of a whole movie file with each of its DTS tracks rebuilt: every track is walked and
// rebuilt into a temporary stream beside the copy, then the installed container support writes
// the copy to a file without a name (a named temporary file where the system refuses one) that
// is put on the disk and takes the copy's name only when whole.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dts/FileJob.h"
#include "dts/FrameMapHost.h"
#include "dts/InputItems.h"

class CRemuxJob {
public:
    // movie.mkv gives movie.fixed.mkv: the extension stays, so that players know the file.
    static std::string OutputPathFor(const std::string& strPath);

    explicit CRemuxJob(const std::string& strPath);
    // Removes every temporary file still there.
    ~CRemuxJob();
    CRemuxJob(const CRemuxJob&) = delete;
    CRemuxJob& operator=(const CRemuxJob&) = delete;

    const std::string& GetOutputPath() const { return m_strOutputPath; }

    // Whether a copy can be written (its format, the output's name): Done, or the failure. Opens
    // the input once, for the permission bits the copy takes.
    CFileJob::Result Prepare();
    // Walks and rebuilds one DTS track of the file, reporting to host as any walk does.
    CFileJob::Result WalkTrack(IFrameLoopHost& host, CBitStream& inStream, COutBitStream& outStream,
                               const InputItem& track, int64_t nInputSize, const CFileJob::Options& options);
    // After the last track was walked: writes the copy, or fails naming it when a track failed
    // (a copy without one of its tracks rebuilt is no copy). A stop ends it early.
    CFileJob::Result Finish(IFrameLoopHost& host);

private:
    struct Track {
        int nStream = 0;
        std::string strRebuiltPath;   // the temporary rebuilt stream
        std::FILE* pRebuilt = nullptr;   // ...open for reading back, closed by ~CRemuxJob
        std::unique_ptr<CFrameMapHost> pMap;
    };

    std::string m_strPath;
    std::string m_strOutputPath;
    std::vector<Track> m_Tracks;
    size_t m_nWalked = 0;                     // tracks walked; m_Tracks holds those rebuilt
    std::vector<std::string> m_Temporaries;   // removed at the end, whatever happened
    std::FILE* m_pInput = nullptr;            // the input, opened by Prepare for its permission bits
};
