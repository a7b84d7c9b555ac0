// SPDX-License-Identifier: GPL-3.0-or-later
// What a path given to Kestrune stands for: one item for a DTS stream or WAVE file, one for each
// DTS track of a movie container. Shared by the window's batch and the command line.
#pragma once

#include <string>
#include <vector>

class IContainerSupport;

// One thing to walk.
struct InputItem {
    std::string strPath;        // the file, as given
    int nTrack = -1;            // the container's stream index; -1 for a whole file
    std::string strSuffix;      // " #2 (eng)" after the file name for a track, empty otherwise
    std::string strContainer;   // "Matroska", "MP4", "MPEG-TS", "MPEG-PS"; empty for a plain file
    std::string strLanguage;    // the track's, or empty
    std::string strTitle;       // the track's, or empty
    std::string strOutputStem;  // what a rebuild's name is made from: the path, or for a movie
                                // file with several DTS tracks "movie.mkv.track2"
    std::string strOutputPath;  // where a rebuild writes beside the input (CFileJob::OutputPathFor)
    std::string strProblem;     // why it cannot be walked (naming no file), or empty
    bool bReadFailed = false;   // strProblem is a read of the file that failed (an I/O error)

    bool IsTrack() const { return nTrack >= 0; }
    // "movie.mkv #2 (eng)", or the path of a plain file.
    std::string Label() const { return strPath + strSuffix; }
};

class CInputItems {
public:
    // The items of strPath. A file our own readers recognise (a DTS stream in any word layout,
    // WAVE) is one item, exactly as before; libavformat is not asked about it. Any other file is
    // offered to pSupport (the installed one when null): a container becomes one item per DTS
    // track, or only the tracks in wantedTracks when it is not empty. A container without a
    // DTS track, or a wanted track that is none, is one item whose problem names what the file
    // holds. A file that cannot be opened is one item: the walk reports why.
    static std::vector<InputItem> Expand(const std::string& strPath, const std::vector<int>& wantedTracks,
                                         IContainerSupport* pSupport = nullptr);
};
