// One file's frame list, kept compact.
#include "app/FrameStore.h"

#include <cstdio>

namespace {

// The columns whose text depends on the row's own numbers rather than its kind.
bool IsNumberColumn(int nColumn)
{
    return nColumn == 0 || nColumn == 1 || nColumn == 5 || nColumn == 7;
}

// Everything but the numbers: rows with equal keys share a kind.
std::string KindKey(const FrameRow& row)
{
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "%.17g|%d|%d|%d", row.dBitrateKbps, int(row.nSampleRateHz), int(row.bLFE),
                  int(row.nDialNormDb));
    std::string strKey = row.strBitrate;
    for (const std::string* pPart : {&row.strFormat, &row.strExtension, &row.strChannels, &row.strDialNorm}) {
        strKey += '\x1f';
        strKey += *pPart;
    }
    return strKey + '\x1f' + numbers;
}

} // namespace

uint32_t CFrameStore::Intern(const FrameRow& row)
{
    std::string strKey = KindKey(row);
    const auto it = m_KindIndex.find(strKey);
    if (it != m_KindIndex.end())
        return it->second;
    SKind kind;
    kind.row = row;
    for (int c = 0; c < FrameRow::kColumns; ++c) {
        if (!IsNumberColumn(c))
            kind.strCells[c] = QString::fromStdString(row.CellText(c));
    }
    const auto nKind = uint32_t(m_Kinds.size());
    m_Kinds.push_back(std::move(kind));
    m_KindIndex.emplace(std::move(strKey), nKind);
    return nKind;
}

void CFrameStore::Append(const FrameRow& row)
{
    SRecord record;
    record.nOffset = row.nOffset;
    record.nFrame = row.nFrame;
    if (row.nSkippedBytes > 0) {
        record.nKind = kSkipped;
        record.nSizeOrSkipped = row.nSkippedBytes;
    } else {
        record.nKind = Intern(row);
        record.nSizeOrSkipped = row.nFrameSize;
        record.bCRC = row.bCRC;
    }
    m_Records.push_back(record);
}

FrameRow CFrameStore::Row(int nRow) const
{
    const SRecord& record = m_Records[size_t(nRow)];
    FrameRow row;
    if (record.nKind == kSkipped) {
        row.nSkippedBytes = record.nSizeOrSkipped;
    } else {
        row = m_Kinds[record.nKind].row;
        row.nFrameSize = int32_t(record.nSizeOrSkipped);
        row.bCRC = record.bCRC;
    }
    row.nOffset = record.nOffset;
    row.nFrame = record.nFrame;
    return row;
}

QString CFrameStore::CellText(int nRow, int nColumn) const
{
    if (nRow < 0 || nRow >= GetCount() || nColumn < 0 || nColumn >= FrameRow::kColumns)
        return QString();
    const SRecord& record = m_Records[size_t(nRow)];
    if (record.nKind != kSkipped && !IsNumberColumn(nColumn))
        return m_Kinds[record.nKind].strCells[nColumn];
    // The numbers, and every cell of a skipped stretch, are formatted by the row itself, so the
    // list and the command line agree.
    FrameRow numbers;
    numbers.nOffset = record.nOffset;
    numbers.nFrame = record.nFrame;
    if (record.nKind == kSkipped)
        numbers.nSkippedBytes = record.nSizeOrSkipped;
    else
        numbers.nFrameSize = int32_t(record.nSizeOrSkipped);
    numbers.bCRC = record.bCRC;
    return QString::fromStdString(numbers.CellText(nColumn));
}

size_t CFrameStore::GetBytes() const
{
    size_t nBytes = sizeof(*this) + m_Records.capacity() * sizeof(SRecord);
    for (const SKind& kind : m_Kinds) {
        nBytes += sizeof(SKind) + 2 * sizeof(void*) + sizeof(std::string) + sizeof(uint32_t);
        for (const QString& strCell : kind.strCells)
            nBytes += size_t(strCell.capacity()) * sizeof(QChar);
    }
    return nBytes;
}
