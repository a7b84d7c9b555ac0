// SPDX-License-Identifier: GPL-3.0-or-later
// One row of the frame list: a point where the stream's format changes.
#pragma once

#include <cstdint>
#include <string>

struct FrameRow {
    uint64_t nOffset = 0;     // byte position of the frame's start, as the input stream counts it
    int64_t nFrame = 0;       // frame index within its file, from 0
    std::string strBitrate;   // FormatBitRateLabel
    std::string strFormat;    // FormatStreamTypeLabel, plus " + " and the extension's kind
    std::string strExtension; // what the substreams after the frame carry ("DTS-HD MA"), or empty
    std::string strChannels;  // FormatChannelLabel, plus "+LFE"
    int32_t nFrameSize = 0;   // bytes from the frame's start to the end of its body
    std::string strDialNorm;  // FormatDialNormLabel
    bool bCRC = false;        // the frame as read carries a header CRC
    // A row for a stretch of damage or junk instead of a frame: its length in bytes (nOffset
    // says where it starts; the Format cell says "skipped N bytes", the others are empty).
    int64_t nSkippedBytes = 0;

    // The labels' values as numbers, for typed reports.
    double dBitrateKbps = -1; // BitRateKbps: negative where the label is not a number
    int32_t nSampleRateHz = 0; // SampleRateHz: 0 for an invalid code
    bool bLFE = false;        // the channel label ends in "+LFE"
    int32_t nDialNormDb = 0;  // DialNormDb: <= 0
    // Where the frame (or stretch) lies in the movie, in seconds: the container packet's time,
    // else the samples of the frames before it over their sample rate. Negative: unknown.
    double dTime = -1;

    // The frame list's columns, in order: the window, its exports and the text report address
    // cells by these.
    enum EColumn { kColOffset, kColFrame, kColBitrate, kColFormat, kColChannels, kColFrameSize, kColDialNorm, kColCRC };
    static constexpr int kColumns = kColCRC + 1;
    // The cell texts exactly as the frame list shows them, in column order.
    std::string CellText(int column) const;
};

// The headings of the frame list, in column order.
extern const char* const kFrameListHeadings[FrameRow::kColumns];
