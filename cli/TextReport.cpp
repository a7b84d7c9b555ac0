// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli's text report.
#include "cli/TextReport.h"

#include <algorithm>

#include "cli/TerminalText.h"

void CTextReport::BeginFile(const InputItem& item, std::optional<uint64_t>)
{
    // Each track of a movie file is a block of its own, named by its stream index.
    m_strPath = CTerminalText::Escape(item.Label());
    m_Held.clear();
    m_bStreaming = false;
}

void CTextReport::AddRow(const FrameRow& row)
{
    if (m_bStreaming) {
        std::string cells[FrameRow::kColumns];
        for (int c = 0; c < FrameRow::kColumns; ++c)
            cells[c] = row.CellText(c);
        PrintLine(cells);
        return;
    }
    m_Held.push_back(row);
    if (m_Held.size() >= kHeldRows) {
        m_Out << m_strPath << ":\n";
        StartTable();
        m_bStreaming = true;
    }
}

void CTextReport::EndFile(const FileSummary& summary)
{
    std::string strLine = m_strPath + ": " + summary.strState + ", Detected Format: "
                          + summary.strDetectedFormat.value_or("none") + ", " + std::to_string(summary.nFrames)
                          + " frames";
    if (!summary.strCutShort.empty())
        strLine += " (" + summary.strCutShort + ")";
    if (!summary.stream.strKind.empty())
        strLine += ", " + summary.stream.Text();
    if (summary.strOutput)
        strLine += ", output: " + CTerminalText::Escape(*summary.strOutput);
    if (m_bStreaming) {
        m_Out << strLine << "\n\n";
        return;
    }
    m_Out << strLine << '\n';
    if (!m_Held.empty())
        StartTable();
    m_Out << '\n';
}

void CTextReport::StartTable()
{
    for (int c = 0; c < FrameRow::kColumns; ++c)
        m_Widths[c] = std::string(kFrameListHeadings[c]).size();
    for (const FrameRow& row : m_Held) {
        for (int c = 0; c < FrameRow::kColumns; ++c)
            m_Widths[c] = std::max(m_Widths[c], row.CellText(c).size());
    }
    std::string headings[FrameRow::kColumns];
    for (int c = 0; c < FrameRow::kColumns; ++c)
        headings[c] = kFrameListHeadings[c];
    PrintLine(headings);
    for (const FrameRow& row : m_Held) {
        std::string cells[FrameRow::kColumns];
        for (int c = 0; c < FrameRow::kColumns; ++c)
            cells[c] = row.CellText(c);
        PrintLine(cells);
    }
    m_Held.clear();
    m_Held.shrink_to_fit();
}

void CTextReport::PrintLine(const std::string (&cells)[FrameRow::kColumns])
{
    std::string strLine;
    for (int c = 0; c < FrameRow::kColumns; ++c) {
        strLine += cells[c];
        // A streamed cell longer than its column pushes the rest of its line only.
        if (c + 1 < FrameRow::kColumns)
            strLine.append(m_Widths[c] - std::min(m_Widths[c], cells[c].size()) + 2, ' ');
    }
    // A skipped stretch's row has empty cells at its end: no padding trails after its last text.
    strLine.erase(strLine.find_last_not_of(' ') + 1);
    m_Out << strLine << '\n';
}
