// SPDX-License-Identifier: GPL-3.0-or-later
// Byte source over an open standard file, optionally ending after a given number of bytes.
#pragma once

#include <cstdint>
#include <cstdio>

#include "stream/IByteSource.h"

class CFileByteSource : public IByteSource {
public:
    // The file stays owned by the caller and is read from its current position; null detaches.
    // nLimit >= 0 ends the source after that many bytes.
    void Attach(std::FILE* pFile, int64_t nLimit = -1);
    // Bytes handed out before the file's: those already read from a file that cannot be
    // positioned back (a pipe) to tell its kind. At most kMaxPrefix; cleared by Attach.
    static constexpr int kMaxPrefix = 16;
    void SetPrefix(const uint8_t* pBytes, int nCount);

    int Read(uint8_t* pBytes, int nCount) override;
    // The file's own error flag: it outlives a new Attach to the same file.
    bool HasReadError() const override { return m_pFile != nullptr && std::ferror(m_pFile) != 0; }

private:
    std::FILE* m_pFile = nullptr;
    int64_t m_nLeft = -1;   // bytes still to hand out, or -1 for the whole file
    uint8_t m_Prefix[kMaxPrefix] = {};
    int m_nPrefixAt = 0;    // the next prefix byte to hand out
    int m_nPrefixEnd = 0;
};
