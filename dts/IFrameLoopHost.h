// What the frame loop needs of the window that shows it: the dialog implements this,
// the command line implements it, and tests implement it with a recorder.
#pragma once

#include <cstdint>
#include <string>

#include "dts/FrameRow.h"

class IFrameLoopHost {
public:
    virtual ~IFrameLoopHost() = default;

    // Wait cursor on at the start of a file, off at every exit.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    virtual void SetProgressRange(int nLower, int nUpper) = 0;
    // Called at the top of every frame; a host may skip repeated values.
    virtual void SetProgressPos(int nPos) = 0;

    // The stop flag m_bStop: cleared at the start of a file, tested at the top of every frame.
    virtual void ClearStop() = 0;
    virtual bool IsStopSet() const = 0;

    // Removes every row of the frame list.
    virtual void ClearFrameList() = 0;
    // Lets the window handle one pending event (Quit, check boxes...), or returns at once.
    virtual void DispatchPendingMessage() = 0;

    // The three check boxes, read anew for every frame.
    virtual bool IsRebuildStreamTicked() = 0;
    virtual bool IsRemoveDialNormTicked() = 0;
    virtual bool IsRemoveCRCTicked() = 0;

    // The "Detected Format" cell of batch-list row nBatchRow.
    virtual void SetDetectedFormat(int nBatchRow, const std::string& strFormat) = 0;
    // The current-frame text: the index of the frame just handled, shown in decimal ("%d").
    // Called for every frame, so it takes the number and the host formats it when it shows it.
    virtual void SetCurrentFrame(int64_t nFrame) = 0;
    // Appends one row at the end of the frame list.
    virtual void AddFrameRow(const FrameRow& row) = 0;
};
