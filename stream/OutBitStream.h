// Output bit stream: collects bits most significant first and writes whole bytes to a file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class COutBitStream {
public:
    // Bytes collected before they go to the file in one write. Kept well below a megabyte, so
    // that a full disk shows while a long stream is written and not only at Close.
    static constexpr int kCapacity = 64 * 1024;

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
    // Positions above bit 31 of a count over 32 are zeros.
    void PutBits(uint32_t value, int count);
    // Appends nCount bytes, each as PutBits(byte, 8) would, at any bit position; whole-byte
    // copies when the bits put so far fill whole bytes. nCount <= 0 appends nothing.
    void PutBytes(const uint8_t* pBytes, int nCount);
    // Writes what is collected, a partial last byte included (low bits zero), and closes.
    // Harmless when closed.
    void Close();

    bool IsOpen() const;
    // True once a write, flush or close of the current file has failed; cleared by Open.
    // Bytes are written in blocks, so a failure shows when a block is written, at the latest
    // at Close. A file with a failed write is short and must not be taken as complete.
    bool HasWriteError() const;

    // Writes the collected bytes and a partial last byte, if any, then empties the buffer:
    // the bits that follow start a new byte. Without a file the bits are discarded.
    void Flush();
    // Drops everything collected and not yet written.
    void Clear();

private:
    // Writes the completed bytes of a full buffer; the bits of a byte still being filled stay.
    void WriteCompleted();

    std::FILE* m_pFile = nullptr;
    std::unique_ptr<uint8_t[]> m_pBuffer;   // kCapacity bytes, allocated once
    int m_nByteCount = 0;                   // completed bytes in m_pBuffer
    // Bits put but not yet in a completed byte, in the low m_nPendingBits bits (0..7 between calls).
    uint64_t m_nPending = 0;
    int m_nPendingBits = 0;
    bool m_bWriteError = false;
};
