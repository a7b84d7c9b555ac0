// SPDX-License-Identifier: GPL-3.0-or-later
// What kind of input a file is, told from its first bytes.
#include "dts/input/InputKind.h"

#include <cstring>

namespace {

// The four word layouts, in the order they are tried.
const WordLayout kWordLayouts[4] = {
    {EWordLayout::Words16BE, EInputKind::Words16BE, &DtsSync::k16BitBE, "16-bit BE"},
    {EWordLayout::Words16LE, EInputKind::Words16LE, &DtsSync::k16BitLE, "16-bit LE"},
    {EWordLayout::Words14BE, EInputKind::Words14BE, &DtsSync::k14BitBE, "14-bit BE"},
    {EWordLayout::Words14LE, EInputKind::Words14LE, &DtsSync::k14BitLE, "14-bit LE"},
};

bool Matches(const DtsSync::StoredSync& sync, const uint8_t* pBytes, size_t nCount)
{
    // Bytes that a short input lacks match nothing.
    if (nCount < static_cast<size_t>(sync.nLength))
        return false;
    for (int i = 0; i < sync.nLength; ++i) {
        if ((pBytes[i] & sync.mask[i]) != sync.bytes[i])
            return false;
    }
    return true;
}

} // namespace

EWordLayout DetectWordLayout(const uint8_t* pBytes, size_t nCount)
{
    for (const WordLayout& layout : kWordLayouts) {
        if (Matches(*layout.pSync, pBytes, nCount))
            return layout.eLayout;
    }
    return EWordLayout::Unknown;
}

EInputKind DetectInputKind(const uint8_t* pBytes, size_t nCount)
{
    if (nCount >= 4 && std::memcmp(pBytes, DtsSync::kRiffTag, 4) == 0)
        return EInputKind::Wave;
    const EWordLayout eLayout = DetectWordLayout(pBytes, nCount);
    return eLayout == EWordLayout::Unknown ? EInputKind::Unknown : LayoutOf(eLayout).eKind;
}

const WordLayout& LayoutOf(EWordLayout eLayout)
{
    for (const WordLayout& layout : kWordLayouts) {
        if (layout.eLayout == eLayout)
            return layout;
    }
    return kWordLayouts[0];
}

bool LooksLikeContainer(const uint8_t* pBytes, size_t nCount)
{
    auto at = [&](size_t n, const char* psz, size_t nLen) {
        return nCount >= n + nLen && std::memcmp(pBytes + n, psz, nLen) == 0;
    };
    // MPEG-TS packets of 188 bytes, or of 192 (M2TS: a 4-byte time code before each).
    auto tsAt = [&](size_t nFirst, size_t nStride) {
        return nCount > nFirst + 2 * nStride && pBytes[nFirst] == 0x47 && pBytes[nFirst + nStride] == 0x47
               && pBytes[nFirst + 2 * nStride] == 0x47;
    };
    return at(0, "\x1A\x45\xDF\xA3", 4) || at(4, "ftyp", 4) || at(4, "moov", 4) || at(4, "mdat", 4)
           || at(0, "\x00\x00\x01\xBA", 4) || tsAt(0, 188) || tsAt(4, 192);
}
