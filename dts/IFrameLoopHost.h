// What the frame loop needs of the window that shows it: the dialog implements this,
// the command line implements it, and tests implement it with a recorder.
#pragma once

#include <cstdint>
#include <string>

#include "dts/FrameRow.h"

class IFrameLoopHost {
public:
    virtual ~IFrameLoopHost() = default;

    // What every host decides.

    // The stop flag: tested at the top of every frame.
    virtual bool IsStopSet() const = 0;
    // The two removal options, read anew for every frame.
    virtual bool IsRemoveDialNormTicked() = 0;
    virtual bool IsRemoveCRCTicked() = 0;
    // Removes every row of the frame list (at the start of a file).
    virtual void ClearFrameList() = 0;
    // Appends one row at the end of the frame list.
    virtual void AddFrameRow(const FrameRow& row) = 0;
    // The file's stream type, from its first row.
    virtual void SetDetectedFormat(const std::string& strFormat) = 0;

    // What a host may ignore.

    // Wait cursor on at the start of a file, off at every exit.
    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}
    virtual void SetProgressRange(int /*nLower*/, int /*nUpper*/) {}
    // Called at the top of every frame; a host may skip repeated values.
    virtual void SetProgressPos(int /*nPos*/) {}
    // Clears the stop flag at the start of a file (the dialog's; the command line keeps its own).
    virtual void ClearStop() {}
    // Lets the window handle pending events (Quit, check boxes...), or returns at once.
    virtual void DispatchPendingMessage() {}
    // The index of the frame just handled. Called for every frame, so the host formats it
    // ("%d") only when it shows it.
    virtual void SetCurrentFrame(int64_t /*nFrame*/) {}
    // A frame that starts at input offset nInputStart was rebuilt; the output now ends at
    // nOutputEnd. A copy of a movie uses this to put each frame back into its packet.
    virtual void OnFrameWritten(int64_t /*nInputStart*/, int64_t /*nOutputEnd*/) {}
};
