// SPDX-License-Identifier: GPL-3.0-or-later
// A report list's rows as text for other programs: tab-separated for the clipboard, CSV for
// a file; both start with the headings.
#pragma once

#include <QList>
#include <QString>

class CReportModel;

class CListExport {
public:
    // The headings and the given rows, cells separated by tabs, each line ended by "\n".
    static QString RowsAsTsv(const CReportModel& model, const QList<int>& rows);
    // The headings and every row as CSV (RFC 4180: fields with a comma, a quote or a line
    // break are quoted, quotes doubled; lines end with CRLF). The file is replaced only
    // once it is whole; false with the cause in plain English when it cannot be written.
    static bool WriteCsv(const CReportModel& model, const QString& strPath, QString& strCause);
    static QString CsvField(const QString& strText);
};
