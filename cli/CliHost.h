// SPDX-License-Identifier: GPL-3.0-or-later
// The frame loop's host on the command line: passes rows to the report as they come and draws
// a progress bar on stderr.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "dts/IFrameLoopHost.h"

class CBitStream;
class CCliReport;
class COutBitStream;

class CCliHost : public IFrameLoopHost {
public:
    // progressOut: where the bar is drawn, or null for none. The report receives every row.
    CCliHost(CCliReport& report, std::FILE* progressOut);

    // Starts a new file: forgets the detected format of the last one. strLabel is shown with its
    // control characters escaped.
    void BeginFile(const std::string& strLabel);
    // Clears the progress bar line, if one was drawn.
    void EndFile();

    // For an input of unknown size (standard input): the progress line shows the bytes read
    // from pIn instead of a bar; null goes back to the bar.
    void CountBytesOf(const CBitStream* pIn) { m_pCountedInput = pIn; }
    // Where standard output is written to: the report (bReport) and, when not null, the rebuilt
    // stream pOut. Once a write there has failed because its reader went away, the walk stops.
    void WatchStandardOutput(bool bReport, const COutBitStream* pOut);
    // True once a write to standard output failed on a pipe with no reader left (POSIX only).
    bool OutputBroken() const;
    // Whether the pipe or socket fd was closed at its other end.
    static bool IsBrokenPipe(int fd);

    bool HasDetectedFormat() const { return m_bHasDetectedFormat; }
    const std::string& DetectedFormat() const { return m_strDetectedFormat; }

    // Set from the signal handler with the signal's number; unlike the dialog's flag, a new file
    // does not clear it.
    static void RequestStop(int nSignal);
    static bool StopRequested();
    // The signal that asked for the stop; 0 when none did.
    static int StopSignal();

    // One line of the progress bar for a terminal nColumns wide: the bar, the percentage, the
    // frame and as much of the end of strLabel (already escaped) as fits, never reaching the last
    // column, so the terminal never wraps it.
    static std::string FitProgressLine(int nPercent, int64_t nFrame, const std::string& strLabel, int nColumns);
    // The same for an input of unknown size: the bytes read in place of the bar and percentage.
    static std::string FitByteCountLine(int64_t nBytes, int64_t nFrame, const std::string& strLabel, int nColumns);

    // IFrameLoopHost
    bool IsStopSet() const override;
    void AddFrameRow(const FrameRow& row) override;
    void SetDetectedFormat(const std::string& strFormat) override;
    void SetProgressPos(int nPos) override;
    void SetCurrentFrame(int64_t nFrame) override;

private:
    void DrawProgress();
    // Clears a drawn progress line, so that text written next starts on an empty line.
    void ClearProgress();

    CCliReport& m_Report;
    std::FILE* m_pProgressOut;
    std::string m_strLabel;
    bool m_bHasDetectedFormat = false;
    std::string m_strDetectedFormat;
    int m_nPos = -1;
    int64_t m_nFrame = 0;
    bool m_bProgressDrawn = false;
    const CBitStream* m_pCountedInput = nullptr;
    int64_t m_nBytesShown = -1;
    bool m_bWatchReport = false;
    const COutBitStream* m_pWatchedOut = nullptr;
    mutable int m_nBroken = -1;   // -1: not asked yet; then 0 or 1, asked once a write failed
};
