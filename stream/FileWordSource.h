// Word source over an open standard file, taking each pair of bytes in the order the file stores them.
#pragma once

#include <cstdint>
#include <cstdio>

#include "stream/IWordSource.h"

class CFileWordSource : public IWordSource {
public:
    explicit CFileWordSource(bool bBigEndian);

    // The file stays owned by the caller; null detaches.
    void Attach(std::FILE* pFile);

    int ReadWords(uint8_t* pBytes, int nMaxWords) override;
    bool IsBigEndian() const override { return m_bBigEndian; }

private:
    std::FILE* m_pFile = nullptr;
    bool m_bBigEndian;
};
