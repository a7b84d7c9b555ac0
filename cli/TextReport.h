// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli's text report: a summary line and the frame list as an aligned table per file.
#pragma once

#include <vector>

#include "cli/CliReport.h"

class CTextReport : public CCliReport {
public:
    // Rows held back to measure the table's columns; a file with more is streamed, its summary
    // line then following its table.
    static constexpr size_t kHeldRows = 4096;

    using CCliReport::CCliReport;

    void BeginFile(const InputItem& item, std::optional<uint64_t> nSize) override;
    void AddRow(const FrameRow& row) override;
    void EndFile(const FileSummary& summary) override;

private:
    // Fixes the column widths from the held rows and prints the heading and those rows.
    void StartTable();
    void PrintLine(const std::string (&cells)[FrameRow::kColumns]);

    std::string m_strPath;
    std::vector<FrameRow> m_Held;
    bool m_bStreaming = false;
    size_t m_Widths[FrameRow::kColumns] = {};
};
