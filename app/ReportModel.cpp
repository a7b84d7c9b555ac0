// SPDX-License-Identifier: GPL-3.0-or-later
// Headings, alignment and the item roles shared by the batch list and the frame list.
#include "app/ReportModel.h"

CReportModel::CReportModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

int CReportModel::InsertColumn(int nIndex, const QString& strHeading, Qt::Alignment alignment)
{
    const int nColumns = GetColumnCount();
    if (nIndex < 0 || nIndex > nColumns)
        nIndex = nColumns;
    beginInsertColumns(QModelIndex(), nIndex, nIndex);
    m_Headings.insert(nIndex, strHeading);
    m_Alignments.insert(nIndex, alignment);
    InsertStoredColumn(nIndex);
    endInsertColumns();
    return nIndex;
}

bool CReportModel::GetColumnHeading(int nIndex, QString& strHeading) const
{
    if (nIndex < 0 || nIndex >= GetColumnCount())
        return false;
    strHeading = m_Headings[nIndex];
    return true;
}

int CReportModel::GetColumnCount() const
{
    return int(m_Headings.size());
}

bool CReportModel::IsCell(int nRow, int nColumn) const
{
    return nRow >= 0 && nRow < GetItemCount() && nColumn >= 0 && nColumn < GetColumnCount();
}

void CReportModel::DeleteAllItems()
{
    if (GetItemCount() == 0)
        return;
    beginResetModel();
    ClearRows();
    endResetModel();
}

int CReportModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GetItemCount();
}

int CReportModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GetColumnCount();
}

QVariant CReportModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !IsCell(index.row(), index.column()))
        return QVariant();
    if (role == Qt::DisplayRole)
        return GetItemText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return int(m_Alignments[index.column()] | Qt::AlignVCenter);
    return GetItemExtra(index.row(), index.column(), role);
}

QVariant CReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= GetColumnCount())
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_Headings[section];
    if (role == Qt::TextAlignmentRole)
        return int(m_Alignments[section] | Qt::AlignVCenter);
    return QVariant();
}

Qt::ItemFlags CReportModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void CReportModel::CollectWidthTexts(int nColumn, int nFirst, int nLast, QStringList& texts) const
{
    for (int r = nFirst; r <= nLast; ++r)
        texts.append(GetItemText(r, nColumn));
}
