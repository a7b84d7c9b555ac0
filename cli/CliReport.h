// SPDX-License-Identifier: GPL-3.0-or-later
// The report kestrune-cli prints: rows are written as the walk finds them, so memory does not
// grow with their number; what is known only at a file's end follows them.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "dts/FileJob.h"
#include "dts/FrameLoop.h"
#include "dts/FrameRow.h"
#include "dts/InputItems.h"
#include "dts/StreamSummary.h"

class CCliReport {
public:
    // What is known of a file once its walk has ended.
    struct FileSummary {
        std::string strState;                       // "done", "error: cannot open input"...
        std::string strError;                       // the cause of a failure, empty when done
        std::optional<std::string> strDetectedFormat;
        int64_t nFrames = 0;
        std::string strInputKind;                   // "16-bit BE", "14-bit LE in WAVE"...; empty when not opened
        std::optional<std::string> strOutput;       // the output written and kept
        CStreamSummary::Values stream;              // empty kind where no frame was walked
        std::optional<CutShortFrame> cutShort;      // the last frame, where the input's end cut it
        std::string strCutShort;                    // the same in words, or empty

        // What the result of a walk says; the detected format and the output are the caller's.
        static FileSummary Of(const CFileJob::Result& result)
        {
            FileSummary summary;
            summary.strState = CFileJob::StateText(result.eState);
            summary.strError = result.strError;
            summary.nFrames = result.nFrames;
            summary.strInputKind = result.strInputKind;
            summary.stream = result.stream;
            summary.cutShort = result.cutShort;
            summary.strCutShort = result.CutShortText();
            return summary;
        }
    };

    explicit CCliReport(std::ostream& out) : m_Out(out) {}
    virtual ~CCliReport() = default;

    // item: the file, or one track of a movie file.
    virtual void BeginFile(const InputItem& item, std::optional<uint64_t> nSize) = 0;
    virtual void AddRow(const FrameRow& row) = 0;
    virtual void EndFile(const FileSummary& summary) = 0;
    // After the last file.
    virtual void Finish() {}

    // False once a write to the report's stream has failed (a closed pipe, a full disk).
    bool IsGood() const { return static_cast<bool>(m_Out); }

protected:
    std::ostream& m_Out;
};
