// SPDX-License-Identifier: GPL-3.0-or-later
// The frame list's rows: the compact store of one file of the batch, shown as cells whose text
// is made when it is asked for. The store belongs to its batch row; the model only shows it.
#pragma once

#include <vector>

#include "app/ReportModel.h"
#include "dts/FrameRow.h"

class CFrameStore;

class CFrameListModel : public CReportModel {
    Q_OBJECT
public:
    explicit CFrameListModel(QObject* parent = nullptr);

    // Shows pStore (null: nothing); it must outlive the showing or be replaced first.
    void Show(const CFrameStore* pStore);
    const CFrameStore* GetShown() const { return m_pStore; }
    // Appends rows to store, as inserted rows when it is the one shown.
    void Append(CFrameStore& store, const std::vector<FrameRow>& rows);

    int GetItemCount() const override;
    // The text FrameRow::CellText gives for the row as it was appended.
    QString GetItemText(int nRow, int nColumn) const override;
    void CollectWidthTexts(int nColumn, int nFirst, int nLast, QStringList& texts) const override;

protected:
    void ClearRows() override;
    // A row's tool tip tells where its frame lies in the movie ("at 0:01:02.345").
    QVariant GetItemExtra(int nRow, int nColumn, int role) const override;

private:
    const CFrameStore* m_pStore = nullptr;
};
