// The rows of one report list (frame list or batch list): plain strings under headings,
// kept in insertion order, every cell centred.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <map>
#include <utility>
#include <vector>

class CListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CListModel(QObject* parent = nullptr);

    // Inserts a column before nIndex (at the end when nIndex is past the last); the
    // index it took.
    int InsertColumn(int nIndex, const QString& strHeading);
    // False when there is no column nIndex.
    bool GetColumnHeading(int nIndex, QString& strHeading) const;
    int GetColumnCount() const;

    int GetItemCount() const;
    // Inserts a row whose column-0 text is strText and whose other cells are empty. An
    // index at or past the row count appends. Returns the row's index.
    int InsertItem(int nIndex, const QString& strText);
    // Appends a whole row at once; missing cells are empty, extra ones are dropped.
    int AppendRow(const QStringList& texts);
    // False when the cell does not exist.
    bool SetItemText(int nRow, int nColumn, const QString& strText);
    // Empty for a cell that does not exist.
    QString GetItemText(int nRow, int nColumn) const;
    // A longer explanation shown when the pointer rests on the cell (empty: none).
    bool SetItemToolTip(int nRow, int nColumn, const QString& strText);
    void DeleteAllItems();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QStringList m_Headings;
    std::vector<QStringList> m_Rows; // every row holds one text per column
    std::map<std::pair<int, int>, QString> m_ToolTips; // few cells carry one: kept aside
};
