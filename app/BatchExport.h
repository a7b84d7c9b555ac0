// SPDX-License-Identifier: GPL-3.0-or-later
// The whole batch written for other programs: every file's state, Detected Format, Stream and rows,
// as CSV (one line per row, the file's columns first) or as kestrune-cli's JSON report.
#pragma once

#include <QString>

#include <memory>
#include <vector>

#include "app/BatchItem.h"

class CBatchExport {
public:
    enum class EFormat { Csv, Json };

    // The format a file name asks for: JSON for ".json", CSV otherwise.
    static EFormat FormatFor(const QString& strPath);
    // Writes the report whole, or leaves strPath as it was; false with the cause in plain English.
    static bool Write(const std::vector<SBatchItem>& items, const QString& strPath, EFormat eFormat, QString& strCause);
    static std::string CsvText(const std::vector<SBatchItem>& items);
    static std::string JsonText(const std::vector<SBatchItem>& items);
};
