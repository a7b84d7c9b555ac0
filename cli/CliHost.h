// The frame loop's host on the command line: records rows and draws a progress bar on stderr.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "dts/IFrameLoopHost.h"

class CCliHost : public IFrameLoopHost {
public:
    struct Options {
        bool bRebuild = false;
        bool bRemoveCRC = false;
        bool bRemoveDialNorm = false;
    };

    // progressOut: where the bar is drawn, or null for none.
    CCliHost(const Options& options, std::FILE* progressOut);

    // Starts a new file: forgets the rows and the detected format of the last one.
    void BeginFile(const std::string& strLabel);
    // Clears the progress bar line, if one was drawn.
    void EndFile();

    const std::vector<FrameRow>& Rows() const { return m_Rows; }
    bool HasDetectedFormat() const { return m_bHasDetectedFormat; }
    const std::string& DetectedFormat() const { return m_strDetectedFormat; }

    // Set from the Ctrl-C handler; unlike the dialog's flag, a new file does not clear it.
    static void RequestStop();
    static bool StopRequested();

    // IFrameLoopHost
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void SetProgressRange(int nLower, int nUpper) override;
    void SetProgressPos(int nPos) override;
    void ClearStop() override {}
    bool IsStopSet() const override;
    void ClearFrameList() override;
    void DispatchPendingMessage() override {}
    bool IsRebuildStreamTicked() override { return m_Options.bRebuild; }
    bool IsRemoveDialNormTicked() override { return m_Options.bRemoveDialNorm; }
    bool IsRemoveCRCTicked() override { return m_Options.bRemoveCRC; }
    void SetDetectedFormat(int nBatchRow, const std::string& strFormat) override;
    void SetCurrentFrame(int64_t nFrame) override;
    void AddFrameRow(const FrameRow& row) override;

private:
    void DrawProgress();

    Options m_Options;
    std::FILE* m_pProgressOut;
    std::string m_strLabel;
    std::vector<FrameRow> m_Rows;
    bool m_bHasDetectedFormat = false;
    std::string m_strDetectedFormat;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nPos = -1;
    int64_t m_nFrame = 0;
    bool m_bProgressDrawn = false;
};
