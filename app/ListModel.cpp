// The rows of one report list: plain strings under headings, in insertion order.
#include "app/ListModel.h"

CListModel::CListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

int CListModel::InsertColumn(int nIndex, const QString& strHeading)
{
    const int nColumns = GetColumnCount();
    if (nIndex < 0 || nIndex > nColumns)
        nIndex = nColumns;
    beginInsertColumns(QModelIndex(), nIndex, nIndex);
    m_Headings.insert(nIndex, strHeading);
    for (QStringList& row : m_Rows)
        row.insert(nIndex, QString());
    endInsertColumns();
    return nIndex;
}

bool CListModel::GetColumnHeading(int nIndex, QString& strHeading) const
{
    if (nIndex < 0 || nIndex >= GetColumnCount())
        return false;
    strHeading = m_Headings[nIndex];
    return true;
}

int CListModel::GetColumnCount() const
{
    return int(m_Headings.size());
}

int CListModel::GetItemCount() const
{
    return int(m_Rows.size());
}

int CListModel::InsertItem(int nIndex, const QString& strText)
{
    QStringList texts;
    texts.append(strText);
    const int nRows = GetItemCount();
    if (nIndex < 0 || nIndex >= nRows)
        return AppendRow(texts);
    while (texts.size() < GetColumnCount())
        texts.append(QString());
    beginInsertRows(QModelIndex(), nIndex, nIndex);
    m_Rows.insert(m_Rows.begin() + nIndex, texts);
    // Tool tips of the rows below move down with them.
    std::map<std::pair<int, int>, QString> moved;
    for (auto& [cell, strTip] : m_ToolTips)
        moved[{cell.first >= nIndex ? cell.first + 1 : cell.first, cell.second}] = std::move(strTip);
    m_ToolTips = std::move(moved);
    endInsertRows();
    return nIndex;
}

int CListModel::AppendRow(const QStringList& texts)
{
    QStringList row = texts.mid(0, GetColumnCount());
    while (row.size() < GetColumnCount())
        row.append(QString());
    const int nRow = GetItemCount();
    beginInsertRows(QModelIndex(), nRow, nRow);
    m_Rows.push_back(std::move(row));
    endInsertRows();
    return nRow;
}

bool CListModel::SetItemText(int nRow, int nColumn, const QString& strText)
{
    if (nRow < 0 || nRow >= GetItemCount() || nColumn < 0 || nColumn >= GetColumnCount())
        return false;
    QString& cell = m_Rows[nRow][nColumn];
    if (cell != strText) {
        cell = strText;
        const QModelIndex at = index(nRow, nColumn);
        emit dataChanged(at, at, {Qt::DisplayRole});
    }
    return true;
}

QString CListModel::GetItemText(int nRow, int nColumn) const
{
    if (nRow < 0 || nRow >= GetItemCount() || nColumn < 0 || nColumn >= GetColumnCount())
        return QString();
    return m_Rows[nRow][nColumn];
}

void CListModel::DeleteAllItems()
{
    if (m_Rows.empty())
        return;
    beginResetModel();
    m_Rows.clear();
    m_ToolTips.clear();
    endResetModel();
}

int CListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GetItemCount();
}

int CListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GetColumnCount();
}

QVariant CListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= GetItemCount() || index.column() >= GetColumnCount())
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_Rows[index.row()][index.column()];
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role == Qt::ToolTipRole) {
        const auto it = m_ToolTips.find({index.row(), index.column()});
        return it == m_ToolTips.end() ? QVariant() : QVariant(it->second);
    }
    return QVariant();
}

bool CListModel::SetItemToolTip(int nRow, int nColumn, const QString& strText)
{
    if (nRow < 0 || nRow >= GetItemCount() || nColumn < 0 || nColumn >= GetColumnCount())
        return false;
    if (strText.isEmpty())
        m_ToolTips.erase({nRow, nColumn});
    else
        m_ToolTips[{nRow, nColumn}] = strText;
    return true;
}

QVariant CListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= GetColumnCount())
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_Headings[section];
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return QVariant();
}

Qt::ItemFlags CListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
