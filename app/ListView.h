// A report list (the frame list or the batch list): a table over a CListModel with the
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

class CListView : public QTableView {
    Q_OBJECT
public:
    explicit CListView(QWidget* parent = nullptr);

    void SetGridLines(bool bOn);
    void SetFullRowSelect(bool bOn);

    int InsertColumn(int nIndex, const QString& strHeading, Qt::Alignment alignment, int nWidth);
    bool GetColumnHeading(int nIndex, QString& strHeading) const;
    int GetColumnCount() const;
    void SetColumnWidth(int nColumn, int nWidth);
    int GetColumnWidth(int nColumn) const;
    // Width in pixels of a text in the list's own font.
    int GetStringWidth(const QString& strText) const;

    int GetItemCount() const;
    int InsertItem(int nIndex, const QString& strText);
    int AppendRow(const QStringList& texts);
    bool SetItemText(int nRow, int nColumn, const QString& strText);
    QString GetItemText(int nRow, int nColumn) const;
    void DeleteAllItems();

    // Gives every column the width of its widest text followed by ten spaces, heading
    // included. The widths of all cells are kept up to date as texts are written, so this
    // costs one pass over the columns, not one over every cell: a frame list of many rows
    // is sized after every appended row.
    void AutoSizeColumns();

    // The width one text takes in a column: its first 1,023 characters and ten spaces.
    int MeasureCellText(const QString& strText) const;

    CListModel& GetModel() { return m_Model; }
    const CListModel& GetModel() const { return m_Model; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void AddCellWidth(int nColumn, const QString& strText);
    void RemoveCellWidth(int nColumn, const QString& strText);
    void RemeasureAll();

    CListModel m_Model;
    QFontMetrics m_Metrics;
    int m_nEmptyCellWidth = 0;
    // Labels repeat from row to row; their widths are remembered rather than measured again.
    mutable QHash<QString, int> m_MeasuredWidths;
    // Per column, how many cells measure each width: the widest is the last key, and a
    // cell whose text changes takes its old width out exactly.
    std::vector<std::map<int, int>> m_CellWidths;
};
