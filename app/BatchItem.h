// SPDX-License-Identifier: GPL-3.0-or-later
// One row of the batch list as the run keeps it: the file (or one DTS track of a movie file),
// its size, and what its last run left: state, Detected Format, outcome and frame list.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>

#include "app/FrameStore.h"
#include "dts/FileJob.h"
#include "dts/InputItems.h"

struct SBatchItem {
    QString strPath;               // the file
    InputItem input;               // what is walked: the file, or one of its tracks
    uint64_t nSize = 0;
    QString strState;              // as the State column shows it
    QString strDetectedFormat;
    bool bEnded = false;           // its last run reached the file's end, a failure or a stop
    CFileJob::Result result;       // with bEnded: how it ended
    QString strOutputPath;         // the rebuilt stream kept, if any
    std::unique_ptr<CFrameStore> pFrames = std::make_unique<CFrameStore>();
};
