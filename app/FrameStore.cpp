// SPDX-License-Identifier: GPL-3.0-or-later
// One file's frame list, kept compact.
#include "app/FrameStore.h"


namespace {

// The columns whose text depends on the row's own numbers rather than its kind.
bool IsNumberColumn(int nColumn)
{
    return nColumn == FrameRow::kColOffset || nColumn == FrameRow::kColFrame || nColumn == FrameRow::kColFrameSize
           || nColumn == FrameRow::kColCRC;
}

// Everything but the numbers: rows with equal keys share a kind. Made for every row, so the
// typed values go in as their bytes rather than formatted.
std::string KindKey(const FrameRow& row)
{
    std::string strKey = row.strBitrate;
    for (const std::string* pPart : {&row.strFormat, &row.strExtension, &row.strChannels, &row.strDialNorm}) {
        strKey += '\x1f';
        strKey += *pPart;
    }
    const int32_t values[] = {row.nSampleRateHz, row.bLFE ? 1 : 0, row.nDialNormDb};
    strKey.append(reinterpret_cast<const char*>(&row.dBitrateKbps), sizeof row.dBitrateKbps);
    strKey.append(reinterpret_cast<const char*>(values), sizeof values);
    return strKey;
}

// Whether two rows share everything a kind keeps.
bool SameKind(const FrameRow& a, const FrameRow& b)
{
    return a.strBitrate == b.strBitrate && a.strFormat == b.strFormat && a.strExtension == b.strExtension
           && a.strChannels == b.strChannels && a.strDialNorm == b.strDialNorm && a.dBitrateKbps == b.dBitrateKbps
           && a.nSampleRateHz == b.nSampleRateHz && a.bLFE == b.bLFE && a.nDialNormDb == b.nDialNormDb;
}

} // namespace

uint32_t CFrameStore::Intern(const FrameRow& row)
{
    // A stream whose rows come in every frame mostly swaps between a few kinds: the last ones
    // are tried before a key is made.
    for (uint32_t nRecent : m_RecentKinds) {
        if (nRecent < m_Kinds.size() && SameKind(m_Kinds[nRecent].row, row))
            return nRecent;
    }
    const uint32_t nKind = InternByKey(row);
    m_RecentKinds[m_nNextRecent] = nKind;
    m_nNextRecent = (m_nNextRecent + 1) % kRecentKinds;
    return nKind;
}

uint32_t CFrameStore::InternByKey(const FrameRow& row)
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
    record.dTime = row.dTime;
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
    row.dTime = record.dTime;
    return row;
}

QString CFrameStore::CellText(int nRow, int nColumn) const
{
    if (nRow < 0 || nRow >= GetCount() || nColumn < 0 || nColumn >= FrameRow::kColumns)
        return QString();
    const SRecord& record = m_Records[size_t(nRow)];
    if (record.nKind != kSkipped && !IsNumberColumn(nColumn))
        return m_Kinds[record.nKind].strCells[nColumn];
    // Made for every row as it comes, so the common numbers are formatted here; they read as
    // FrameRow::CellText has them ("%8.8X", "%8.8d", "%d bytes").
    if (record.nKind != kSkipped) {
        switch (nColumn) {
        case FrameRow::kColOffset:
            return QString::number(record.nOffset, 16).toUpper().rightJustified(8, QLatin1Char('0'));
        case FrameRow::kColFrame:
            if (record.nFrame >= 0)
                return QString::number(record.nFrame).rightJustified(8, QLatin1Char('0'));
            break;
        case FrameRow::kColFrameSize:
            return QString::number(record.nSizeOrSkipped) + QStringLiteral(" bytes");
        case FrameRow::kColCRC:
            return record.bCRC ? QStringLiteral("YES") : QStringLiteral("NO");
        default:
            break;
        }
    }
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

void CFrameStore::CollectWidthTexts(int nColumn, int nFirst, int nLast, QStringList& texts) const
{
    if (IsNumberColumn(nColumn) && nColumn != FrameRow::kColCRC) {
        for (int r = nFirst; r <= nLast; ++r)
            texts.append(CellText(r, nColumn));
        return;
    }
    // Labels, CRC and skipped stretches: few different texts, each measured once.
    std::vector<bool> seen(m_Kinds.size() + 3, false);
    for (int r = nFirst; r <= nLast; ++r) {
        const SRecord& record = m_Records[size_t(r)];
        size_t nSlot = record.nKind == kSkipped ? m_Kinds.size() : size_t(record.nKind);
        if (nColumn == FrameRow::kColCRC)
            nSlot = record.nKind == kSkipped ? m_Kinds.size() : m_Kinds.size() + 1 + (record.bCRC ? 1 : 0);
        // A skipped stretch's Format cell names its own length: each is measured.
        if (record.nKind == kSkipped && nColumn == FrameRow::kColFormat) {
            texts.append(CellText(r, nColumn));
            continue;
        }
        if (!seen[nSlot]) {
            seen[nSlot] = true;
            texts.append(CellText(r, nColumn));
        }
    }
}
