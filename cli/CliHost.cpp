// SPDX-License-Identifier: GPL-3.0-or-later
// The frame loop's host on the command line.
#include "cli/CliHost.h"

#include <algorithm>
#include <csignal>

#ifndef _WIN32
#include <poll.h>
#endif

#include "cli/CliReport.h"
#include "cli/TerminalText.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"

namespace {
volatile std::sig_atomic_t g_nStopSignal = 0;
constexpr int kBarWidth = 30;
constexpr int kNarrowestBar = 10;
// The byte count of an input of unknown size is redrawn after this many more bytes.
constexpr int64_t kByteCountStep = 64 * 1024;
} // namespace

CCliHost::CCliHost(CCliReport& report, std::FILE* progressOut)
    : m_Report(report), m_pProgressOut(progressOut)
{
}

void CCliHost::RequestStop(int nSignal)
{
    g_nStopSignal = nSignal;
}

bool CCliHost::StopRequested()
{
    return g_nStopSignal != 0;
}

int CCliHost::StopSignal()
{
    return g_nStopSignal;
}

bool CCliHost::IsStopSet() const
{
    return StopRequested() || OutputBroken();
}

void CCliHost::WatchStandardOutput(bool bReport, const COutBitStream* pOut)
{
    m_bWatchReport = bReport;
    m_pWatchedOut = pOut;
}

bool CCliHost::OutputBroken() const
{
    if (m_nBroken < 0) {
        const bool bFailed = (m_bWatchReport && !m_Report.IsGood()) || (m_pWatchedOut && m_pWatchedOut->HasWriteError());
        // Asked once, after the first failed write: a full disk is no broken pipe and stays one.
        if (bFailed)
            m_nBroken = IsBrokenPipe(1) ? 1 : 0;
    }
    return m_nBroken == 1;
}

bool CCliHost::IsBrokenPipe(int fd)
{
#ifdef _WIN32
    (void)fd;
    return false;
#else
    // The write end of a pipe whose readers are gone polls as an error; a socket's as hung up.
    pollfd probe{fd, 0, 0};
    return ::poll(&probe, 1, 0) == 1 && (probe.revents & (POLLERR | POLLHUP)) != 0;
#endif
}

void CCliHost::BeginFile(const std::string& strLabel)
{
    m_strLabel = CTerminalText::Escape(strLabel);
    m_bHasDetectedFormat = false;
    m_strDetectedFormat.clear();
    m_nPos = -1;
    m_nFrame = 0;
    m_nBytesShown = -1;
}

void CCliHost::EndFile()
{
    ClearProgress();
}

void CCliHost::ClearProgress()
{
    if (m_pProgressOut && m_bProgressDrawn) {
        std::fputs("\r\033[K", m_pProgressOut);
        std::fflush(m_pProgressOut);
    }
    m_bProgressDrawn = false;
}

void CCliHost::SetProgressPos(int nPos)
{
    if (m_pCountedInput != nullptr) {
        const int64_t nBytes = m_pCountedInput->GetBytePos();
        if (m_nBytesShown >= 0 && nBytes - m_nBytesShown < kByteCountStep)
            return;
        m_nBytesShown = nBytes;
        DrawProgress();
        return;
    }
    // Called for every frame: redraw only when the percentage moves.
    if (nPos == m_nPos)
        return;
    m_nPos = nPos;
    DrawProgress();
}

void CCliHost::SetDetectedFormat(const std::string& strFormat)
{
    m_bHasDetectedFormat = true;
    m_strDetectedFormat = strFormat;
}

void CCliHost::SetCurrentFrame(int64_t nFrame)
{
    m_nFrame = nFrame;
}

void CCliHost::AddFrameRow(const FrameRow& row)
{
    // The report may share the terminal with the progress line: a row must not start behind it.
    // The line comes back at its next step, so rows in every frame cost no redraw each.
    ClearProgress();
    m_Report.AddRow(row);
}

std::string CCliHost::FitProgressLine(int nPercent, int64_t nFrame, const std::string& strLabel, int nColumns)
{
    char counts[64];
    std::snprintf(counts, sizeof counts, "] %3d%%  frame %lld  ", nPercent, static_cast<long long>(nFrame));
    const std::string strCounts(counts);
    // The last column stays empty: writing there makes some terminals wrap at once.
    const int nRoom = nColumns - 1 - 1 - static_cast<int>(strCounts.size());
    const int nBar = std::clamp(nRoom - kNarrowestBar, 0, kBarWidth);
    const int nFilled = nPercent * nBar / 100;
    std::string strLine(1, '[');
    strLine.append(static_cast<size_t>(nFilled), '#');
    strLine.append(static_cast<size_t>(nBar - nFilled), '-');
    strLine += strCounts;
    const int nLabelRoom = nRoom - nBar;
    if (nLabelRoom > 0)
        strLine += CTerminalText::KeepEnd(strLabel, static_cast<size_t>(nLabelRoom));
    if (static_cast<int>(strLine.size()) > nColumns - 1)
        strLine.resize(static_cast<size_t>(std::max(0, nColumns - 1)));
    return strLine;
}

std::string CCliHost::FitByteCountLine(int64_t nBytes, int64_t nFrame, const std::string& strLabel, int nColumns)
{
    char counts[80];
    std::snprintf(counts, sizeof counts, "%.1f MiB read  frame %lld  ", static_cast<double>(nBytes) / (1024.0 * 1024.0),
                  static_cast<long long>(nFrame));
    std::string strLine(counts);
    // As with the bar, the last column stays empty.
    const int nLabelRoom = nColumns - 1 - static_cast<int>(strLine.size());
    if (nLabelRoom > 0)
        strLine += CTerminalText::KeepEnd(strLabel, static_cast<size_t>(nLabelRoom));
    if (static_cast<int>(strLine.size()) > nColumns - 1)
        strLine.resize(static_cast<size_t>(std::max(0, nColumns - 1)));
    return strLine;
}

void CCliHost::DrawProgress()
{
    if (!m_pProgressOut)
        return;
    const int nPercent = std::clamp(m_nPos, 0, 100);
    // The width is asked at every redraw, so a resized window is followed.
    const int nColumns = CTerminalText::TerminalColumns(m_pProgressOut);
    const std::string strLine = m_pCountedInput != nullptr
                                    ? FitByteCountLine(m_nBytesShown, m_nFrame, m_strLabel, nColumns)
                                    : FitProgressLine(nPercent, m_nFrame, m_strLabel, nColumns);
    // Back to the line's start, the new line, and the rest of the old one cleared.
    std::fprintf(m_pProgressOut, "\r%s\033[K", strLine.c_str());
    std::fflush(m_pProgressOut);
    m_bProgressDrawn = true;
}
