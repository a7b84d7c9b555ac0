// The frame list's compact rows and the texts made from them on demand.
#include "app/FrameListModel.h"

CFrameListModel::CFrameListModel(QObject* parent)
    : CReportModel(parent)
{
}

int CFrameListModel::AppendFrameRow(const FrameRow& row)
{
    SRecord record;
    record.nOffset = row.nOffset;
    record.nFrame = row.nFrame;
    record.nFrameSize = row.nFrameSize;
    record.nBitrate = m_Labels.Intern(row.strBitrate);
    record.nFormat = m_Labels.Intern(row.strFormat);
    record.nChannels = m_Labels.Intern(row.strChannels);
    record.nDialNorm = m_Labels.Intern(row.strDialNorm);
    record.bCRC = row.bCRC;
    record.fTime = float(row.dTime);
    const int nRow = GetItemCount();
    beginInsertRows(QModelIndex(), nRow, nRow);
    m_Records.push_back(record);
    endInsertRows();
    return nRow;
}

QVariant CFrameListModel::GetItemExtra(int nRow, int nColumn, int role) const
{
    if (role != Qt::ToolTipRole || !IsCell(nRow, nColumn) || m_Records[size_t(nRow)].fTime < 0)
        return QVariant();
    const qint64 nMs = qint64(double(m_Records[size_t(nRow)].fTime) * 1000.0 + 0.5);
    return QStringLiteral("at %1:%2:%3.%4")
        .arg(nMs / 3600000)
        .arg(nMs / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(nMs / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(nMs % 1000, 3, 10, QLatin1Char('0'));
}

int CFrameListModel::GetItemCount() const
{
    return int(m_Records.size());
}

QString CFrameListModel::GetItemText(int nRow, int nColumn) const
{
    if (!IsCell(nRow, nColumn))
        return QString();
    const SRecord& record = m_Records[size_t(nRow)];
    switch (nColumn) {
    case 2:
        return m_Labels.Text(record.nBitrate);
    case 3:
        return m_Labels.Text(record.nFormat);
    case 4:
        return m_Labels.Text(record.nChannels);
    case 6:
        return m_Labels.Text(record.nDialNorm);
    default:
        break;
    }
    // The numbers are formatted by the row itself, so the list and the command line agree.
    FrameRow numbers;
    numbers.nOffset = record.nOffset;
    numbers.nFrame = record.nFrame;
    numbers.nFrameSize = record.nFrameSize;
    numbers.bCRC = record.bCRC;
    return QString::fromStdString(numbers.CellText(nColumn));
}

void CFrameListModel::ClearRows()
{
    // The labels are kept: the next file very likely uses the same ones.
    m_Records.clear();
    m_Records.shrink_to_fit();
}
