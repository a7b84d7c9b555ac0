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
