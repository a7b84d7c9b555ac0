// The rows of the frame list, kept compact: per row the numbers as numbers and the labels as
// indices into one table of interned texts; a cell's text is made when it is asked for.
#pragma once

#include <cstdint>
#include <vector>

#include "app/LabelTable.h"
#include "app/ReportModel.h"
#include "dts/FrameRow.h"

class CFrameListModel : public CReportModel {
    Q_OBJECT
public:
    // One row as kept: 48 bytes, whatever the labels say.
    struct SRecord {
        uint64_t nOffset = 0;
        int64_t nFrame = 0;
        int32_t nFrameSize = 0;
        uint32_t nBitrate = 0;  // label indices
        uint32_t nFormat = 0;
        uint32_t nChannels = 0;
        uint32_t nDialNorm = 0;
        float fTime = -1;       // seconds into the movie (FrameRow::dTime); negative: unknown
        bool bCRC = false;
    };

    explicit CFrameListModel(QObject* parent = nullptr);

    int AppendFrameRow(const FrameRow& row);
    int GetItemCount() const override;
    // The text FrameRow::CellText gives for the row as it was appended.
    QString GetItemText(int nRow, int nColumn) const override;

    const CLabelTable& GetLabels() const { return m_Labels; }

protected:
    void ClearRows() override;
    // A row's tool tip tells where its frame lies in the movie ("at 0:01:02.345").
    QVariant GetItemExtra(int nRow, int nColumn, int role) const override;

private:
    std::vector<SRecord> m_Records;
    CLabelTable m_Labels;
};
