// SPDX-License-Identifier: GPL-3.0-or-later
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

    // Completes and closes a file still open, then writes to pFile (standard output, or a file
    // its caller opened), which Close closes and Commit only completes: what was written there
    // cannot be taken back. False, and nothing open, for null.
    bool Open(std::FILE* pFile);
    // strFinalPath is UTF-8. Closes a file still open, then writes to a new temporary file in
    // the folder of strFinalPath, which Commit puts in place; until then nothing at strFinalPath
    // changes, and Close (or the end of the stream) removes the temporary file. Where the system
    // allows, the temporary file has no name until Commit, so that not even a killed process
    // leaves it behind. Fails, with the cause in strCause, where a folder, a link, a fifo or a
    // device holds the final name.
    bool OpenReplacing(const std::string& strFinalPath, std::string& strCause);
    // After OpenReplacing: the output takes the permission bits of the open file pInput, so that
    // a private input does not give a readable copy.
    void TakePermissionsOf(std::FILE* pInput);
    // After OpenReplacing: writes what is collected, puts it on the disk, closes, and renames the
    // temporary file over the final path (after Open: writes and closes, false when a write
    // failed). False when a write failed (HasWriteError) or the rename failed (the cause in
    // strCause); the temporary file is then removed and the final path left as it was.
    bool Commit(std::string& strCause);
    // A value of exactly 1 appends a one; anything else a zero.
    void PutBit(int bit);
    // Appends the low count bits of value, most significant first; count <= 0 appends nothing.
    // Positions above bit 31 of a count over 32 are zeros.
    void PutBits(uint32_t value, int count);
    // Appends nCount bytes, each as PutBits(byte, 8) would, at any bit position; whole-byte
    // copies when the bits put so far fill whole bytes. nCount <= 0 appends nothing.
    void PutBytes(const uint8_t* pBytes, int nCount);
    // Writes what is collected, a partial last byte included (low bits zero), and closes; a
    // temporary file not committed is removed. Harmless when closed.
    void Close();

    bool IsOpen() const { return m_pFile != nullptr; }
    // The open file, for a writer of its own that puts no bits (a movie copy written by the
    // container library); null when closed.
    std::FILE* GetFile() const { return m_pFile; }
    // Whole bytes put since the last open: where the next byte will stand in the file.
    int64_t GetBytePos() const { return m_nBytesWritten + m_nByteCount; }
    // True once a write, flush or close of the current file has failed; cleared by the next open.
    // Bytes are written in blocks, so a failure shows when a block is written, at the latest
    // at Close. A file with a failed write is short and must not be taken as complete.
    bool HasWriteError() const { return m_bWriteError; }

    // Writes the collected bytes and a partial last byte, if any, then empties the buffer:
    // the bits that follow start a new byte. Without a file the bits are discarded.
    void Flush();
    // Drops everything collected and not yet written.
    void Clear();

private:
    // Makes pFile the file written to, from its first byte; false for null.
    bool Attach(std::FILE* pFile);
    // Writes the completed bytes of a full buffer; the bits of a byte still being filled stay.
    void WriteCompleted();
    // Writes what is collected and closes the file, keeping it.
    void CloseFile();

    std::string m_strTempPath;              // the temporary file of OpenReplacing, until Commit or Close
    std::string m_strFinalPath;             // ...and the name it is to take
    bool m_bGivenFile = false;              // writing to a file the caller opened (Open)
    bool m_bUnnamed = false;                // the temporary file has no name yet

    std::FILE* m_pFile = nullptr;
    std::unique_ptr<uint8_t[]> m_pBuffer;   // kCapacity bytes, allocated once
    int m_nByteCount = 0;                   // completed bytes in m_pBuffer
    int64_t m_nBytesWritten = 0;            // bytes handed to the file since it was opened
    // Bits put but not yet in a completed byte, in the low m_nPendingBits bits (0..7 between calls).
    uint64_t m_nPending = 0;
    int m_nPendingBits = 0;
    bool m_bWriteError = false;
};
