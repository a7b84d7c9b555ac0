// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of a report list of free texts: plain strings under headings, in insertion order.
#include "app/ListModel.h"

CListModel::CListModel(QObject* parent)
    : CReportModel(parent)
{
}

void CListModel::InsertStoredColumn(int nIndex)
{
    for (QStringList& row : m_Rows)
        row.insert(nIndex, QString());
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
    ShiftExtras(nIndex, 1);
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
    if (!IsCell(nRow, nColumn))
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
    if (!IsCell(nRow, nColumn))
        return QString();
    return m_Rows[nRow][nColumn];
}

bool CListModel::DeleteItem(int nRow)
{
    if (nRow < 0 || nRow >= GetItemCount())
        return false;
    beginRemoveRows(QModelIndex(), nRow, nRow);
    m_Rows.erase(m_Rows.begin() + nRow);
    for (int c = 0; c < GetColumnCount(); ++c)
        m_Extras.erase({nRow, c});
    ShiftExtras(nRow + 1, -1);
    endRemoveRows();
    return true;
}

void CListModel::ClearRows()
{
    m_Rows.clear();
    m_Extras.clear();
}

void CListModel::ShiftExtras(int nFromRow, int nBy)
{
    std::map<std::pair<int, int>, SCellExtra> moved;
    for (auto& [cell, extra] : m_Extras)
        moved[{cell.first >= nFromRow ? cell.first + nBy : cell.first, cell.second}] = std::move(extra);
    m_Extras = std::move(moved);
}

template <typename TValue>
bool CListModel::SetExtra(int nRow, int nColumn, TValue SCellExtra::*pPart, const TValue& value)
{
    if (!IsCell(nRow, nColumn))
        return false;
    SCellExtra& extra = m_Extras[{nRow, nColumn}];
    extra.*pPart = value;
    if (extra.strToolTip.isEmpty() && extra.icon.isNull())
        m_Extras.erase({nRow, nColumn});
    const QModelIndex at = index(nRow, nColumn);
    emit dataChanged(at, at, {Qt::ToolTipRole, Qt::DecorationRole});
    return true;
}

bool CListModel::SetItemToolTip(int nRow, int nColumn, const QString& strText)
{
    return SetExtra(nRow, nColumn, &SCellExtra::strToolTip, strText);
}

bool CListModel::SetItemIcon(int nRow, int nColumn, const QIcon& icon)
{
    return SetExtra(nRow, nColumn, &SCellExtra::icon, icon);
}

QVariant CListModel::GetItemExtra(int nRow, int nColumn, int role) const
{
    const auto it = m_Extras.find({nRow, nColumn});
    if (it == m_Extras.end())
        return QVariant();
    if (role == Qt::ToolTipRole && !it->second.strToolTip.isEmpty())
        return it->second.strToolTip;
    if (role == Qt::DecorationRole && !it->second.icon.isNull())
        return it->second.icon;
    return QVariant();
}
