// SPDX-License-Identifier: GPL-3.0-or-later
// What a bit reader needs of its input: the byte source to read, and positioning that source
// again at a stored offset in a word layout when a walk goes back.
#pragma once

#include <cstdint>

#include "stream/IByteSource.h"
#include "stream/ITrackSource.h"
#include "stream/WordLayout.h"

class IStreamInput {
public:
    virtual ~IStreamInput() = default;

    // Where the stream's bytes come from; null when closed.
    virtual IByteSource* GetSource() const = 0;
    // The stream offset of the source's first byte (a WAVE file's first sync, else 0).
    virtual int64_t GetStartOffset() const = 0;
    // The word layout the source reads in.
    virtual EWordLayout GetLayout() const = 0;
    // True where the source's bytes sit at their stored offsets in the current layout, so that a
    // reader may go back within what it buffered.
    virtual bool KeepsStoredOffsets() const = 0;
    // True where nOffset in eLayout is one Reposition could be asked for at all.
    virtual bool MayReposition(int64_t nOffset, EWordLayout eLayout) const = 0;
    // Makes the source hand out the stored words from nOffset on in eLayout; false where the
    // input cannot be positioned there.
    virtual bool Reposition(int64_t nOffset, EWordLayout eLayout) = 0;
    // The container's track the source is, for its times and how far the container was read;
    // null for every other input.
    virtual const ITrackSource* GetTrack() const { return nullptr; }
};
