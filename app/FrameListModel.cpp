// SPDX-License-Identifier: GPL-3.0-or-later
// The frame list's rows, read from the store of the file shown.
#include "app/FrameListModel.h"

#include "app/FrameStore.h"

CFrameListModel::CFrameListModel(QObject* parent)
    : CReportModel(parent)
{
}

void CFrameListModel::Show(const CFrameStore* pStore)
{
    beginResetModel();
    m_pStore = pStore;
    endResetModel();
}

void CFrameListModel::Append(CFrameStore& store, const std::vector<FrameRow>& rows)
{
    if (rows.empty())
        return;
    const bool bShown = &store == m_pStore;
    const int nFirst = store.GetCount();
    if (bShown)
        beginInsertRows(QModelIndex(), nFirst, nFirst + int(rows.size()) - 1);
    for (const FrameRow& row : rows)
        store.Append(row);
    if (bShown)
        endInsertRows();
}

QVariant CFrameListModel::GetItemExtra(int nRow, int nColumn, int role) const
{
    if (role != Qt::ToolTipRole || !m_pStore || !IsCell(nRow, nColumn) || m_pStore->TimeOf(nRow) < 0)
        return QVariant();
    const qint64 nMs = qint64(m_pStore->TimeOf(nRow) * 1000.0 + 0.5);
    return QStringLiteral("at %1:%2:%3.%4")
        .arg(nMs / 3600000)
        .arg(nMs / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(nMs / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(nMs % 1000, 3, 10, QLatin1Char('0'));
}

int CFrameListModel::GetItemCount() const
{
    return m_pStore ? m_pStore->GetCount() : 0;
}

QString CFrameListModel::GetItemText(int nRow, int nColumn) const
{
    if (!m_pStore || !IsCell(nRow, nColumn))
        return QString();
    return m_pStore->CellText(nRow, nColumn);
}

void CFrameListModel::CollectWidthTexts(int nColumn, int nFirst, int nLast, QStringList& texts) const
{
    if (m_pStore && IsCell(nFirst, nColumn) && nLast < GetItemCount())
        m_pStore->CollectWidthTexts(nColumn, nFirst, nLast, texts);
}

void CFrameListModel::ClearRows()
{
    m_pStore = nullptr;
}
