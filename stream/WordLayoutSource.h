// SPDX-License-Identifier: GPL-3.0-or-later
// Turns words stored in any of the four layouts into stream bytes, most significant bit first:
// 16-bit big-endian words pass as they are, little-endian ones are swapped, 14-bit words are
// unpacked.
#pragma once

#include <cstdint>

#include "stream/IByteSource.h"
#include "stream/IWordSource.h"
#include "stream/WordLayout.h"
#include "stream/Unpacker14.h"
#include "stream/WordKernels.h"

class CWordLayoutSource : public IByteSource, private IWordSource {
public:
    // Starts over on pRaw (the words as stored; not owned; null detaches) in layout eKind,
    // forgetting every partly used word.
    void Reset(EWordLayout eLayout, IByteSource* pRaw);
    // The inner loops to swap and unpack with: CWordKernels::Best() unless a test picks others.
    void SetKernels(const CWordKernels& kernels);

    int Read(uint8_t* pBytes, int nCount) override;
    bool HasReadError() const override { return m_pRaw != nullptr && m_pRaw->HasReadError(); }

private:
    // IWordSource, for the unpacker.
    int ReadWords(uint8_t* pBytes, int nMaxWords) override;
    bool IsBigEndian() const override { return ::IsBigEndian(m_eLayout); }

    IByteSource* m_pRaw = nullptr;
    EWordLayout m_eLayout = EWordLayout::Words16BE;
    const CWordKernels* m_pKernels = &CWordKernels::Best();
    CUnpacker14 m_Unpacker;
};
