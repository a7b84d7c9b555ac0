// What kind of input a file is, told from its first bytes.
#include "stream/InputKind.h"

#include <cstring>

const WordLayout kWordLayouts[4] = {
    {EInputKind::Words16BE, &DtsSync::k16BitBE, true, false, "16-bit BE"},
    {EInputKind::Words16LE, &DtsSync::k16BitLE, false, false, "16-bit LE"},
    {EInputKind::Words14BE, &DtsSync::k14BitBE, true, true, "14-bit BE"},
    {EInputKind::Words14LE, &DtsSync::k14BitLE, false, true, "14-bit LE"},
};

namespace {

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

EInputKind DetectWordLayout(const uint8_t* pBytes, size_t nCount)
{
    for (const WordLayout& layout : kWordLayouts) {
        if (Matches(*layout.pSync, pBytes, nCount))
            return layout.eKind;
    }
    return EInputKind::Unknown;
}

EInputKind DetectInputKind(const uint8_t* pBytes, size_t nCount)
{
    if (nCount >= 4 && std::memcmp(pBytes, DtsSync::kRiffTag, 4) == 0)
        return EInputKind::Wave;
    return DetectWordLayout(pBytes, nCount);
}

const WordLayout& LayoutOf(EInputKind eKind)
{
    for (const WordLayout& layout : kWordLayouts) {
        if (layout.eKind == eKind)
            return layout;
    }
    return kWordLayouts[0];
}
