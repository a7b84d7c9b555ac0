// SPDX-License-Identifier: GPL-3.0-or-later
// A report list (the frame list or the batch list): a table over a report model with the
// list operations the dialog needs, and columns that fit their widest text.
#pragma once

#include <QFontMetrics>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTableView>

#include <map>
#include <vector>

#include "app/ListModel.h"

class QAction;

class CListView : public QTableView {
    Q_OBJECT
public:
    // The list shows pModel, which it then owns; without one, a list of free texts.
    explicit CListView(QWidget* parent = nullptr, CReportModel* pModel = nullptr);

    void SetGridLines(bool bOn);
    void SetFullRowSelect(bool bOn);

    // The column's heading and cells are drawn with the given alignment.
    int InsertColumn(int nIndex, const QString& strHeading, Qt::Alignment alignment, int nWidth);
    bool GetColumnHeading(int nIndex, QString& strHeading) const;
    int GetColumnCount() const;
    void SetColumnWidth(int nColumn, int nWidth);
    int GetColumnWidth(int nColumn) const;
    // Width in pixels of a text in the list's own font.
    int GetStringWidth(const QString& strText) const;

    int GetItemCount() const;
    // These four change a list of free texts; on another model they do nothing (-1, false).
    int InsertItem(int nIndex, const QString& strText);
    int AppendRow(const QStringList& texts);
    bool SetItemText(int nRow, int nColumn, const QString& strText);
    bool DeleteItem(int nRow);
    QString GetItemText(int nRow, int nColumn) const;
    void DeleteAllItems();
    // Counts the widths of a row the model gained by other means than the calls above.
    void AddRowWidths(int nRow);
    // The same for rows nFirst to nLast of a model other than free texts, which gained them all
    // at once: only the texts that can widen a column are measured (a long frame list's labels
    // once, not once per row).
    void AddRowsWidths(int nFirst, int nLast);
    // The selected rows, top to bottom.
    QList<int> GetSelectedRows() const;

    // The column takes what room the others leave in the list, at least its heading's
    // width, and elides its texts in the middle: long paths no longer push the other
    // columns out of view.
    void SetElasticColumn(int nColumn);
    // A width the column never sizes below (room for texts it will show, and an icon).
    void SetColumnMinimumWidth(int nColumn, int nWidth);

    // Gives every column the width of its widest text followed by ten spaces, heading
    // included. The widths of all cells are kept up to date as texts are written, so this
    // costs one pass over the columns, not one over every cell: a frame list of many rows
    // is sized after every appended row.
    void AutoSizeColumns();

    // The width one text takes in a column: its first 1,023 characters and ten spaces.
    int MeasureCellText(const QString& strText) const;

    CReportModel& GetModel() { return *m_pModel; }
    const CReportModel& GetModel() const { return *m_pModel; }
    // The model as a list of free texts, or null when it is another kind.
    CListModel* GetTextModel() const { return m_pTextModel; }

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // A key that is the shortcut of one of the list's actions triggers it (Ctrl+C copies
    // the rows, not the one cell a table copies by default).
    void keyPressEvent(QKeyEvent* event) override;

private:
    void AddCellWidth(int nColumn, const QString& strText);
    void RemoveCellWidth(int nColumn, const QString& strText);
    void RemeasureAll();
    // The width of a text of hex digits alone, from the digits' advances; -1 for any other text.
    int MeasureDigits(const QString& strText) const;

    CReportModel* m_pModel = nullptr;
    CListModel* m_pTextModel = nullptr;
    int m_nElasticColumn = -1;
    std::map<int, int> m_MinimumWidths;
    QFontMetrics m_Metrics;
    int m_nEmptyCellWidth = 0;
    // Labels repeat from row to row; their widths are remembered rather than measured again.
    mutable QHash<QString, int> m_MeasuredWidths;
    mutable std::vector<qreal> m_DigitAdvances; // a hex digit's advance by the digit or space after it
    mutable qreal m_dTenSpaces = 0;
    // Per column, how many cells measure each width: the widest is the last key, and a
    // cell whose text changes takes its old width out exactly.
    std::vector<std::map<int, int>> m_CellWidths;
};
