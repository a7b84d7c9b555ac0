// Output bit stream: collects bits most significant first and writes whole bytes to a file.
#pragma once

#include <cstdint>
#include <cstdio>
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
    // --- private members are the stream implementation's own ---
};
