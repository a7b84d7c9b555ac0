// Output bit stream: collects bits most significant first and writes whole bytes to a file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class COutBitStream {
public:
    COutBitStream();
    virtual ~COutBitStream();
    COutBitStream(const COutBitStream&) = delete;
    COutBitStream& operator=(const COutBitStream&) = delete;

    // fileName is UTF-8. Completes and closes a file still open, then creates (or
    // truncates) fileName. True when it is open for writing.
    bool Open(const std::string& fileName);
    // A value of exactly 1 appends a one; anything else a zero.
    void PutBit(int bit);
    // Appends the low count bits of value, most significant first; count <= 0 appends nothing.
    void PutBits(uint32_t value, int count);
    // Writes a partial last byte (low bits zero) and closes. Harmless when closed.
    void Close();

    bool IsOpen() const;
    // True once a write, flush or close of the current file has failed; cleared by Open.
    // A file with a failed write is short and must not be taken as complete.
    bool HasWriteError() const;

    void Flush();
    void Clear();

private:
    // One byte: each completed byte goes to the file library at once, whose own buffering
    // keeps that cheap.
    static constexpr int kCapacity = 1;

    std::FILE* m_pFile = nullptr;
    int m_nBitIndex = 7;                    // next bit of the current byte to fill, 7..0
    int m_nByteCount = 0;                   // completed bytes in m_pBuffer
    std::unique_ptr<uint8_t[]> m_pBuffer;   // kCapacity bytes, allocated once
    bool m_bWriteError = false;
};
