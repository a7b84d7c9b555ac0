// SPDX-License-Identifier: GPL-3.0-or-later
// The entry point of the kestrune-media module: the one symbol CLazyContainerSupport looks up.
#include "media/MediaContainerSupport.h"

extern "C" __attribute__((visibility("default"))) IContainerSupport* KestruneMediaContainerSupport()
{
    static CMediaContainerSupport support;
    return &support;
}
