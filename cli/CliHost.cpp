// The frame loop's host on the command line.
#include "cli/CliHost.h"

#include <algorithm>
#include <csignal>

#include "cli/CliReport.h"

namespace {
volatile std::sig_atomic_t g_bStopRequested = 0;
constexpr int kBarWidth = 30;
} // namespace

CCliHost::CCliHost(bool bRemoveCRC, bool bRemoveDialNorm, CCliReport& report, std::FILE* progressOut)
    : m_bRemoveCRC(bRemoveCRC), m_bRemoveDialNorm(bRemoveDialNorm), m_Report(report), m_pProgressOut(progressOut)
{
}

void CCliHost::RequestStop()
{
    g_bStopRequested = 1;
}

bool CCliHost::StopRequested()
{
    return g_bStopRequested != 0;
}

bool CCliHost::IsStopSet() const
{
    return StopRequested();
}

void CCliHost::BeginFile(const std::string& strLabel)
{
    m_strLabel = strLabel;
    m_bHasDetectedFormat = false;
    m_strDetectedFormat.clear();
    m_nPos = -1;
    m_nFrame = 0;
}

void CCliHost::EndFile()
{
    if (m_pProgressOut && m_bProgressDrawn) {
        std::fputs("\r\033[K", m_pProgressOut);
        std::fflush(m_pProgressOut);
    }
    m_bProgressDrawn = false;
}

void CCliHost::SetProgressRange(int nLower, int nUpper)
{
    m_nLower = nLower;
    m_nUpper = nUpper;
}

void CCliHost::SetProgressPos(int nPos)
{
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
    m_Report.AddRow(row);
}

void CCliHost::DrawProgress()
{
    if (!m_pProgressOut)
        return;
    const int nSpan = std::max(1, m_nUpper - m_nLower);
    const int nPercent = std::clamp((m_nPos - m_nLower) * 100 / nSpan, 0, 100);
    const int nFilled = nPercent * kBarWidth / 100;
    std::string bar(static_cast<size_t>(nFilled), '#');
    bar.append(static_cast<size_t>(kBarWidth - nFilled), '-');
    std::fprintf(m_pProgressOut, "\r[%s] %3d%%  frame %lld  %s\033[K", bar.c_str(), nPercent,
                 static_cast<long long>(m_nFrame), m_strLabel.c_str());
    std::fflush(m_pProgressOut);
    m_bProgressDrawn = true;
}
