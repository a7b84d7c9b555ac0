// SPDX-License-Identifier: GPL-3.0-or-later
// Tab-separated and CSV renderings of a report list.
#include "app/ListExport.h"

#include <QSaveFile>
#include <QStringList>

#include "app/ReportModel.h"

namespace {

QStringList Headings(const CReportModel& model)
{
    QStringList headings;
    QString strHeading;
    for (int c = 0; model.GetColumnHeading(c, strHeading); ++c)
        headings.append(strHeading);
    return headings;
}

QStringList RowTexts(const CReportModel& model, int nRow)
{
    QStringList cells;
    for (int c = 0; c < model.GetColumnCount(); ++c)
        cells.append(model.GetItemText(nRow, c));
    return cells;
}

QString CsvLine(const QStringList& cells)
{
    QStringList fields;
    for (const QString& strCell : cells)
        fields.append(CListExport::CsvField(strCell));
    return fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

} // namespace

QString CListExport::RowsAsTsv(const CReportModel& model, const QList<int>& rows)
{
    QString strText = Headings(model).join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (int nRow : rows)
        strText += RowTexts(model, nRow).join(QLatin1Char('\t')) + QLatin1Char('\n');
    return strText;
}

QString CListExport::CsvField(const QString& strText)
{
    if (!strText.contains(QLatin1Char(',')) && !strText.contains(QLatin1Char('"'))
        && !strText.contains(QLatin1Char('\n')) && !strText.contains(QLatin1Char('\r')))
        return strText;
    QString strQuoted = strText;
    strQuoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + strQuoted + QLatin1Char('"');
}

bool CListExport::WriteCsv(const CReportModel& model, const QString& strPath, QString& strCause)
{
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly)) {
        strCause = file.errorString();
        return false;
    }
    file.write(CsvLine(Headings(model)).toUtf8());
    for (int r = 0; r < model.GetItemCount(); ++r)
        file.write(CsvLine(RowTexts(model, r)).toUtf8());
    if (!file.commit()) {
        strCause = file.errorString();
        return false;
    }
    return true;
}
