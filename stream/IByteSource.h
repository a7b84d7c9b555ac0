// SPDX-License-Identifier: GPL-3.0-or-later
// Where the bit reader takes its bytes from: a plain file, words in any layout, WAVE data, memory.
#pragma once

#include <cstdint>

class IByteSource {
public:
    virtual ~IByteSource() = default;
    // Up to nCount bytes into pBytes: the number placed, or <= 0 when nothing more comes (the
    // end of the input or a read error; HasReadError tells which).
    virtual int Read(uint8_t* pBytes, int nCount) = 0;
    // True once a read of the underlying file has failed.
    virtual bool HasReadError() const { return false; }
};
