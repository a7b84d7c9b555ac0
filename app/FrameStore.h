// SPDX-License-Identifier: GPL-3.0-or-later
// The frame list of one file, kept compact: per row the numbers as numbers and what rows
// share (labels, typed values) once, as a "kind" the row names by index. Skipped stretches
// are rows of their own. Every row can be given back whole, for the reports.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "dts/FrameRow.h"

class CFrameStore {
public:
    // One row as kept: 48 bytes, whatever its labels say.
    struct SRecord {
        uint64_t nOffset = 0;
        int64_t nFrame = 0;
        int64_t nSizeOrSkipped = 0; // the frame's size, or for a skipped stretch its length
        uint32_t nKind = 0;         // index into the kinds; kSkipped for a skipped stretch
        double dTime = -1;          // seconds into the movie (FrameRow::dTime); negative: unknown
        bool bCRC = false;
    };
    static constexpr uint32_t kSkipped = UINT32_MAX;

    void Append(const FrameRow& row);
    int GetCount() const { return int(m_Records.size()); }
    // The row as it was appended.
    FrameRow Row(int nRow) const;
    // Where the row's frame lies in the movie, in seconds; negative where that is unknown.
    double TimeOf(int nRow) const { return m_Records[size_t(nRow)].dTime; }
    // The cell's text, as FrameRow::CellText gives it; labels are made once per kind.
    QString CellText(int nRow, int nColumn) const;
    // The texts of a column in rows nFirst to nLast that can decide its width: a kind's label
    // once, the numbers of every row.
    void CollectWidthTexts(int nColumn, int nFirst, int nLast, QStringList& texts) const;
    // How many different kinds of rows were seen, and the bytes the store holds, for the budget.
    int GetKindCount() const { return int(m_Kinds.size()); }
    size_t GetBytes() const;

private:
    struct SKind {
        FrameRow row;          // its labels and typed values; the numbers are the record's
        QString strCells[FrameRow::kColumns];
    };
    uint32_t Intern(const FrameRow& row);
    uint32_t InternByKey(const FrameRow& row);

    std::vector<SRecord> m_Records;
    std::vector<SKind> m_Kinds;
    std::unordered_map<std::string, uint32_t> m_KindIndex;
    static constexpr size_t kRecentKinds = 4;
    uint32_t m_RecentKinds[kRecentKinds] = {kSkipped, kSkipped, kSkipped, kSkipped};
    size_t m_nNextRecent = 0;
};
