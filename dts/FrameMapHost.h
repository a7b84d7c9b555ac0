// SPDX-License-Identifier: GPL-3.0-or-later
// A frame-loop host that passes everything on to another host and notes where each rebuilt
// frame came from, so that a copy of a movie can put the frames back into their packets.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "dts/IFrameLoopHost.h"

class CFrameMapHost : public IFrameLoopHost {
public:
    explicit CFrameMapHost(IFrameLoopHost& inner) : m_Inner(inner) {}

    // For each frame written: its offset in the input, and the output's length after it.
    // Sixteen bytes a frame: a three-hour DTS-HD track of 1 million frames holds 16 MiB.
    const std::vector<std::pair<int64_t, int64_t>>& Frames() const { return m_Frames; }

    bool IsStopSet() const override { return m_Inner.IsStopSet(); }
    void AddFrameRow(const FrameRow& row) override { m_Inner.AddFrameRow(row); }
    void SetDetectedFormat(const std::string& strFormat) override { m_Inner.SetDetectedFormat(strFormat); }
    void SetProgressPos(int nPos) override { m_Inner.SetProgressPos(nPos); }
    void SetCurrentFrame(int64_t nFrame) override { m_Inner.SetCurrentFrame(nFrame); }
    void OnFrameWritten(int64_t nInputStart, int64_t nOutputEnd) override
    {
        m_Frames.emplace_back(nInputStart, nOutputEnd);
        m_Inner.OnFrameWritten(nInputStart, nOutputEnd);
    }

private:
    IFrameLoopHost& m_Inner;
    std::vector<std::pair<int64_t, int64_t>> m_Frames;
};
