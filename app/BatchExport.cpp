// SPDX-License-Identifier: GPL-3.0-or-later
// The batch report, as CSV or as the command line's JSON.
#include "app/BatchExport.h"

#include <QFileInfo>
#include <QSaveFile>

#include <optional>
#include <sstream>

#include "app/ListExport.h"
#include "cli/JsonReport.h"

namespace {

const char* const kFileHeadings[] = {"File", "State", "Detected Format", "Stream"};

std::string CsvLine(const QStringList& cells)
{
    QStringList fields;
    for (const QString& strCell : cells)
        fields.append(CListExport::CsvField(strCell));
    return (fields.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toStdString();
}

} // namespace

CBatchExport::EFormat CBatchExport::FormatFor(const QString& strPath)
{
    return QFileInfo(strPath).suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) == 0 ? EFormat::Json
                                                                                                 : EFormat::Csv;
}

std::string CBatchExport::CsvText(const std::vector<SBatchItem>& items)
{
    QStringList headings;
    for (const char* pszHeading : kFileHeadings)
        headings.append(QString::fromLatin1(pszHeading));
    for (const char* pszHeading : kFrameListHeadings)
        headings.append(QString::fromLatin1(pszHeading));
    std::string strText = CsvLine(headings);
    for (const SBatchItem& item : items) {
        const QString strStream = item.bEnded ? QString::fromStdString(item.result.stream.Text()) : QString();
        const QStringList file = {item.strPath, item.strState, item.strDetectedFormat, strStream};
        // A file without rows still has its line: its state must not go missing.
        if (item.pFrames->GetCount() == 0)
            strText += CsvLine(file);
        for (int r = 0; r < item.pFrames->GetCount(); ++r) {
            QStringList cells = file;
            for (int c = 0; c < FrameRow::kColumns; ++c)
                cells.append(item.pFrames->CellText(r, c));
            strText += CsvLine(cells);
        }
    }
    return strText;
}

std::string CBatchExport::JsonText(const std::vector<SBatchItem>& items)
{
    std::ostringstream out;
    CJsonReport report(out);
    for (const SBatchItem& item : items) {
        report.BeginFile(item.input, item.nSize);
        for (int r = 0; r < item.pFrames->GetCount(); ++r)
            report.AddRow(item.pFrames->Row(r));
        CCliReport::FileSummary summary = item.bEnded ? CCliReport::FileSummary::Of(item.result) : CCliReport::FileSummary();
        // A file the run has not reached yet, or stopped, is reported as the list shows it.
        summary.strState = item.strState.toStdString();
        if (!item.strDetectedFormat.isEmpty())
            summary.strDetectedFormat = item.strDetectedFormat.toStdString();
        if (!item.strOutputPath.isEmpty())
            summary.strOutput = item.strOutputPath.toStdString();
        report.EndFile(summary);
    }
    report.Finish();
    return out.str();
}

bool CBatchExport::Write(const std::vector<SBatchItem>& items, const QString& strPath, EFormat eFormat, QString& strCause)
{
    const std::string strText = eFormat == EFormat::Json ? JsonText(items) : CsvText(items);
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(strText.data(), qint64(strText.size())) != qint64(strText.size())
        || !file.commit()) {
        strCause = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}
