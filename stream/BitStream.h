// Input bit stream: recognises a plain 16-bit, a 14-bit packed or a WAVE input by its
// first eight bytes and hands out the DTS stream it carries, most significant bit first.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "stream/EOFBSException.h"
#include "stream/FileWordSource.h"
#include "stream/Unpacker14.h"
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
    static constexpr int kBufferSize = 2048;

    // Marks the current byte used up so that the next bit read refills the buffer.
    void ResetPosition();
    // Fills the byte buffer from the input; throws EOFBSException when nothing more comes.
    void Refill();

    int64_t m_nBytePos = 0;                  // bytes wholly handed out, plus the starting offset
    std::FILE* m_pFile = nullptr;
    int m_nBitIndex = -1;                    // next bit of the current byte, 7..0; -1 when used up
    int m_nByteIndex = kBufferSize - 1;      // position of the current byte in m_pBuffer
    int m_nValidLength = kBufferSize;        // bytes the last refill delivered
    std::unique_ptr<uint8_t[]> m_pBuffer;    // kBufferSize bytes, allocated once
    bool m_bWave = false;                    // the open input is a RIFF WAVE file
    CWaveSource m_WaveSource;
    bool m_b16Bit = true;                    // plain file: 16-bit stream rather than 14-bit packed
    CUnpacker14 m_Unpacker;                  // plain 14-bit files
    CFileWordSource m_WordSource{true};      // plain 14-bit files store big-endian words
};
