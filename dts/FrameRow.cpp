// SPDX-License-Identifier: GPL-3.0-or-later
// Cell texts of a frame-list row, exactly as the dialog and the command line show them.
#include "dts/FrameRow.h"

#include <cinttypes>
#include <cstdio>

const char* const kFrameListHeadings[FrameRow::kColumns] = {
    "Offset", "Frame", "Bitrate", "Format", "Channels", "FrameSize", "DiagNorm", "CRC"};

std::string FrameRow::CellText(int column) const
{
    char text[64];
    if (nSkippedBytes > 0 && column != kColOffset) {
        if (column != kColFormat)
            return std::string();
        std::snprintf(text, sizeof text, "skipped %" PRId64 " bytes", nSkippedBytes);
        return text;
    }
    switch (column) {
    case kColOffset:
        // Eight upper-case hex digits below 4 GiB; larger offsets simply grow more digits.
        std::snprintf(text, sizeof text, "%8.8" PRIX64, nOffset);
        return text;
    case kColFrame:
        std::snprintf(text, sizeof text, "%8.8" PRId64, nFrame);
        return text;
    case kColBitrate:
        return strBitrate;
    case kColFormat:
        return strFormat;
    case kColChannels:
        return strChannels;
    case kColFrameSize:
        std::snprintf(text, sizeof text, "%d bytes", static_cast<int>(nFrameSize));
        return text;
    case kColDialNorm:
        return strDialNorm;
    case kColCRC:
        return bCRC ? "YES" : "NO";
    default:
        return std::string();
    }
}
