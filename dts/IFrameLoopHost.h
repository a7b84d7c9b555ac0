// SPDX-License-Identifier: GPL-3.0-or-later
// What the frame loop tells whoever shows its walk: the window, the command line, and tests'
// recorders. The options of a walk are no part of it: they are fixed before the walk starts.
#pragma once

#include <cstdint>
#include <string>

#include "dts/FrameRow.h"

class IFrameLoopHost {
public:
    virtual ~IFrameLoopHost() = default;

    // What every host decides.

    // The stop flag, polled at the top of every frame and by the long steps before the first.
    // The loop may run on another thread than the one that sets it: keep it atomic there.
    virtual bool IsStopSet() const = 0;
    // One row of the file being walked, in order: a change of format or a skipped stretch.
    virtual void AddFrameRow(const FrameRow& row) = 0;
    // The file's stream type, from its first row.
    virtual void SetDetectedFormat(const std::string& strFormat) = 0;

    // What a host may ignore.

    // The percentage of the input read, 0 to 100: 0 at the start of a file, then at the top of
    // every frame; a host may skip repeated values.
    virtual void SetProgressPos(int /*nPos*/) {}
    // The index of the frame just handled. Called for every frame, so the host formats it
    // only when it shows it.
    virtual void SetCurrentFrame(int64_t /*nFrame*/) {}
    // A frame that starts at input offset nInputStart was rebuilt; the output now ends at
    // nOutputEnd. A copy of a movie uses this to put each frame back into its packet.
    virtual void OnFrameWritten(int64_t /*nInputStart*/, int64_t /*nOutputEnd*/) {}
};
