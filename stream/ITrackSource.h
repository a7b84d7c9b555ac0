// SPDX-License-Identifier: GPL-3.0-or-later
// One track of a movie container as a byte source: its packets' payloads back to back, as an
// extractor would write them, with the time of each packet.
#pragma once

#include <cstdint>

#include "stream/IByteSource.h"

class ITrackSource : public IByteSource {
public:
    // Makes the next Read start at track byte nOffset. Only a recent stretch is kept for going
    // back (a search for the next frame goes back by a frame at most); false outside it.
    virtual bool SeekTo(int64_t nOffset) = 0;
    // The time in seconds of the packet that holds track byte nOffset; negative where the
    // container gives none.
    virtual double TimeAt(int64_t nOffset) const = 0;
    // How far into the container file reading has come, in bytes: the progress of a walk.
    virtual int64_t GetFilePos() const = 0;
};
