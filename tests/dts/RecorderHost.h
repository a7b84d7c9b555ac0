// A frame-loop host for tests: records what the loop tells the window and answers with set
// options. bRebuild is the test's own switch: the loop is handed an output stream or none.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dts/IFrameLoopHost.h"

class CRecorderHost : public IFrameLoopHost {
public:
    bool bRebuild = false;
    bool bRemoveCRC = false;
    bool bRemoveDialNorm = false;
    // Called at every dispatch with the number of dispatches so far; may set bStop.
    std::function<void(int)> onDispatch;

    bool bStop = false;
    int nWaitDepth = 0;
    int nWaitBegins = 0;
    int nClears = 0;
    int nDispatches = 0;
    std::vector<int> progress;
    std::vector<FrameRow> rows;
    std::vector<std::string> detectedFormats;
    int64_t nCurrentFrame = -1;

    void BeginWaitCursor() override { ++nWaitDepth; ++nWaitBegins; }
    void EndWaitCursor() override { --nWaitDepth; }
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int nPos) override { progress.push_back(nPos); }
    void ClearStop() override { bStop = false; }
    bool IsStopSet() const override { return bStop; }
    void ClearFrameList() override { ++nClears; rows.clear(); }
    void DispatchPendingMessage() override
    {
        ++nDispatches;
        if (onDispatch)
            onDispatch(nDispatches);
    }
    bool IsRemoveDialNormTicked() override { return bRemoveDialNorm; }
    bool IsRemoveCRCTicked() override { return bRemoveCRC; }
    void SetDetectedFormat(const std::string& s) override { detectedFormats.push_back(s); }
    void SetCurrentFrame(int64_t nFrame) override { nCurrentFrame = nFrame; }
    void AddFrameRow(const FrameRow& row) override { rows.push_back(row); }
};
