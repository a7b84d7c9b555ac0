// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of a report list of free texts (the batch list): plain strings under headings,
// kept in insertion order, with a tool tip and an icon on the few cells that need one.
#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

#include <map>
#include <utility>
#include <vector>

#include "app/ReportModel.h"

class CListModel : public CReportModel {
    Q_OBJECT
public:
    explicit CListModel(QObject* parent = nullptr);

    int GetItemCount() const override;
    // Inserts a row whose column-0 text is strText and whose other cells are empty. An
    // index at or past the row count appends. Returns the row's index.
    int InsertItem(int nIndex, const QString& strText);
    // Appends a whole row at once; missing cells are empty, extra ones are dropped.
    int AppendRow(const QStringList& texts);
    // False when the cell does not exist.
    bool SetItemText(int nRow, int nColumn, const QString& strText);
    QString GetItemText(int nRow, int nColumn) const override;
    // A longer explanation shown when the pointer rests on the cell (empty: none).
    bool SetItemToolTip(int nRow, int nColumn, const QString& strText);
    // An icon drawn before the cell's text (a null icon: none).
    bool SetItemIcon(int nRow, int nColumn, const QIcon& icon);
    // Removes one row; the rows below move up with their tool tips and icons.
    bool DeleteItem(int nRow);

protected:
    void ClearRows() override;
    void InsertStoredColumn(int nIndex) override;
    QVariant GetItemExtra(int nRow, int nColumn, int role) const override;

private:
    // Few cells carry a tool tip or an icon: they are kept aside, by cell.
    struct SCellExtra {
        QString strToolTip;
        QIcon icon;
    };
    void ShiftExtras(int nFromRow, int nBy);
    // Sets one part of a cell's extra, keeping the map free of empty ones.
    template <typename TValue>
    bool SetExtra(int nRow, int nColumn, TValue SCellExtra::*pPart, const TValue& value);

    std::vector<QStringList> m_Rows; // every row holds one text per column
    std::map<std::pair<int, int>, SCellExtra> m_Extras;
};
