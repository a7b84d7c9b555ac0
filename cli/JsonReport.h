// SPDX-License-Identifier: GPL-3.0-or-later
// kestrune-cli's JSON report, one typed document for scripts, written as the walk goes:
// {"schema":2,"files":[{"file":..,"size":..,"rows":[..],"state":..,"error":..,...}]}. A name that
// is not valid UTF-8 ("file", "output") is followed by its bytes in hex ("file_bytes",
// "output_bytes"), since its readable form has replacement characters.
#pragma once

#include <utility>
#include <vector>

#include "cli/CliReport.h"

class CJsonReport : public CCliReport {
public:
    static constexpr int kSchema = 2;

    explicit CJsonReport(std::ostream& out);

    void BeginFile(const InputItem& item, std::optional<uint64_t> nSize) override;
    void AddRow(const FrameRow& row) override;
    void EndFile(const FileSummary& summary) override;
    void Finish() override;

    // A string as a JSON value; bytes that are not UTF-8 are replaced.
    static std::string Quote(const std::string& str);

private:
    bool m_bFirstFile = true;
    bool m_bFirstRow = true;
    // The file's skipped stretches, written after its rows: "offset" and "bytes" of each.
    struct Skipped {
        uint64_t nOffset;
        int64_t nBytes;
        double dTime;
    };
    std::vector<Skipped> m_Skipped;
};
