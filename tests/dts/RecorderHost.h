// SPDX-License-Identifier: GPL-3.0-or-later
// A frame-loop host for tests: records what the loop tells the window and answers with set
// options. bRebuild is the test's own switch: the loop is handed an output stream or none.
// WalkFile runs the loop over a file with it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dts/FrameLoop.h"
#include "dts/IFrameLoopHost.h"
#include "stream/BitStream.h"
#include "stream/OutBitStream.h"
#include "support/FileBitStream.h"
#include "support/OutputFiles.h"
#include "support/TestFiles.h"

class CRecorderHost : public IFrameLoopHost {
public:
    bool bRebuild = false;
    // The removals the walk is given when it starts (the loop's, or the job's options).
    bool bRemoveCRC = false;
    bool bRemoveDialNorm = false;
    // Called at the top of every frame with the number of frames started so far; may set bStop.
    std::function<void(int)> onFrame;

    bool bStop = false;
    int nFrameStarts = 0;
    std::vector<int> progress;
    std::vector<FrameRow> rows;
    std::vector<std::string> detectedFormats;
    int64_t nCurrentFrame = -1;

    bool IsStopSet() const override { return bStop; }
    void SetProgressPos(int nPos) override
    {
        // The first report is the file's start, before any frame.
        if (!progress.empty() && onFrame)
            onFrame(++nFrameStarts);
        progress.push_back(nPos);
    }
    void SetDetectedFormat(const std::string& s) override { detectedFormats.push_back(s); }
    void SetCurrentFrame(int64_t nFrame) override { nCurrentFrame = nFrame; }
    void AddFrameRow(const FrameRow& row) override { rows.push_back(row); }
};

// One walk of the frame loop over a file: what the host recorded, the frame count, and the
// output read back when rebuilding.
struct LoopRun {
    CRecorderHost host;
    int64_t nFrames = 0;
    std::optional<CutShortFrame> cutShort;  // the loop's report of a last frame cut short
    std::vector<uint8_t> output;
};

// Walks the file at path with run.host's options (an output stream only when host.bRebuild), and
// checks what every walk must leave: the output still open for whoever opened it.
inline void WalkFile(LoopRun& run, const std::string& path)
{
    CTempDir dir;
    const std::string out = dir.Path("out.dts");
    CFileBitStream inStream;
    COutBitStream outStream;
    ASSERT_TRUE(inStream.Open(path)) << path;
    if (run.host.bRebuild) {
        ASSERT_TRUE(OpenOutputFile(outStream, out));
    }
    CFrameLoop loop(run.host, inStream, run.host.bRebuild ? &outStream : nullptr);
    loop.SetRemovals(CFrameLoop::Removals{run.host.bRemoveCRC, run.host.bRemoveDialNorm});
    run.nFrames = loop.ParseFile(static_cast<int64_t>(std::filesystem::file_size(path)), inStream.GetInputKind());
    run.cutShort = loop.GetCutShort();
    EXPECT_EQ(outStream.IsOpen(), run.host.bRebuild) << "the loop leaves the output to whoever opened it";
    outStream.Close();
    inStream.Close();
    if (run.host.bRebuild)
        run.output = ReadFileBytes(out);
}

// Writes bytes to a file named pszName and walks it with Rebuild Stream ticked and nothing else.
inline LoopRun WalkRebuilding(const std::vector<uint8_t>& bytes, const char* pszName = "in.dts")
{
    CTempDir dir;
    LoopRun run;
    run.host.bRebuild = true;
    WalkFile(run, dir.Write(pszName, bytes));
    return run;
}
