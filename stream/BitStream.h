// Input bit stream: recognises a plain 16-bit, a 14-bit packed or a WAVE input by its
// first eight bytes and hands out the DTS stream it carries, most significant bit first.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "stream/EOFBSException.h"
#include "stream/WaveSource.h"

class CBitStream {
public:
    CBitStream();
    virtual ~CBitStream();
    CBitStream(const CBitStream&) = delete;
    CBitStream& operator=(const CBitStream&) = delete;

    // fileName is UTF-8. True when the file is open and its first bit is ready.
    bool Open(const std::string& fileName);
    void Close();

    // 0 or 1; throws EOFBSException when no bit is left.
    int GetBit();
    // The next count bits, first bit most significant. count <= 0 reads nothing and
    // returns 0; above 32 only the last 32 bits read are kept.
    uint32_t GetBits(int count);
    // Bytes wholly handed out since Open, plus the WAVE sync offset for WAVE inputs.
    // 64-bit: streams of several GiB are common.
    int64_t GetBytePos() const;

    bool IsOpen() const;

private:
    // --- private members are the stream implementation's own ---
};
