// SPDX-License-Identifier: GPL-3.0-or-later
// The inner loops of the word layouts: a portable form, and vector forms picked at run time.
#include "stream/WordKernels.h"

#include <cstring>

// The x86 forms are compiled with a target attribute each, so the build needs no -m flag and
// the program still starts on a processor without them; MSVC keeps to the portable form.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define KESTRUNE_KERNELS_X86 1
#include <immintrin.h>
#define KESTRUNE_TARGET(isa) __attribute__((target(isa)))
#elif defined(__GNUC__) && defined(__aarch64__)
// Every aarch64 processor has NEON.
#define KESTRUNE_KERNELS_NEON 1
#include <arm_neon.h>
#endif

namespace {

// Bits 14 and 15 are padding in the 14-bit packing and are never looked at.
constexpr uint64_t kPayloadMask = 0x3FFF;

// Compilers turn these byte-wise forms into single loads and stores (with a byte swap).
inline uint64_t LoadBigEndian64(const uint8_t* p)
{
    uint64_t nValue = 0;
    for (int i = 0; i < 8; ++i)
        nValue = (nValue << 8) | p[i];
    return nValue;
}

inline uint64_t LoadLittleEndian64(const uint8_t* p)
{
    uint64_t nValue = 0;
    for (int i = 7; i >= 0; --i)
        nValue = (nValue << 8) | p[i];
    return nValue;
}

inline void StoreBigEndian64(uint8_t* p, uint64_t nValue)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(nValue >> (56 - 8 * i));
}

// The 56 payload bits of four stored words, the first word's highest, from one 8-byte load.
template <bool bBigEndian>
inline uint64_t FourWords(const uint8_t* p)
{
    if constexpr (bBigEndian) {
        uint64_t x = LoadBigEndian64(p);  // words 0..3 from the top
        // Close the two-bit gaps within each half, then the four-bit gap between the halves.
        x = (x & 0x00003FFF00003FFF) | ((x & 0x3FFF00003FFF0000) >> 2);
        return (x & 0x0FFFFFFF) | ((x >> 4) & 0x00FFFFFFF0000000);
    } else {
        const uint64_t x = LoadLittleEndian64(p);  // words 0..3 from the bottom
        return ((x & kPayloadMask) << 42) | (((x >> 16) & kPayloadMask) << 28)
               | (((x >> 32) & kPayloadMask) << 14) | ((x >> 48) & kPayloadMask);
    }
}

template <bool bBigEndian>
void UnpackScalar(const uint8_t* pIn, size_t nGroups, uint8_t* pOut)
{
    // Each group but the last is stored as eight bytes, the eighth overwritten by the next group.
    for (; nGroups > 1; --nGroups, pIn += 8, pOut += 7)
        StoreBigEndian64(pOut, FourWords<bBigEndian>(pIn) << 8);
    if (nGroups == 1) {
        const uint64_t nGroup = FourWords<bBigEndian>(pIn);
        for (int i = 0; i < 7; ++i)
            pOut[i] = static_cast<uint8_t>(nGroup >> (48 - 8 * i));
    }
}

void SwapScalar(uint8_t* pBytes, size_t nWords)
{
    // Whole words are swapped as 16-bit values, which compilers turn into vector code.
    for (size_t i = 0; i < nWords; ++i) {
        uint16_t nWord;
        std::memcpy(&nWord, pBytes + 2 * i, 2);
        nWord = static_cast<uint16_t>((nWord << 8) | (nWord >> 8));
        std::memcpy(pBytes + 2 * i, &nWord, 2);
    }
}

#ifdef KESTRUNE_KERNELS_X86

// Two groups (16 stored bytes) into 14 stream bytes at the bottom of the register.
template <bool bBigEndian>
KESTRUNE_TARGET("ssse3") inline __m128i UnpackTwoGroupsSsse3(__m128i v)
{
    if constexpr (bBigEndian)
        v = _mm_shuffle_epi8(v, _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14));
    v = _mm_and_si128(v, _mm_set1_epi16(0x3FFF));
    // Each pair of words into 28 bits of a 32-bit lane: the first word times 2^14 plus the second.
    v = _mm_madd_epi16(v, _mm_set1_epi32(0x00014000));
    // Each pair of those into 56 bits of a 64-bit lane; bits 60..63 get junk no byte takes.
    v = _mm_or_si128(_mm_slli_epi64(v, 28), _mm_srli_epi64(v, 32));
    // Bytes 6..0 of each 64-bit lane, most significant first.
    return _mm_shuffle_epi8(v, _mm_setr_epi8(6, 5, 4, 3, 2, 1, 0, 14, 13, 12, 11, 10, 9, 8, -128, -128));
}

template <bool bBigEndian>
KESTRUNE_TARGET("ssse3") void UnpackSsse3(const uint8_t* pIn, size_t nGroups, uint8_t* pOut)
{
    // A store writes 16 bytes for 14: it needs a further group after it to write over its excess.
    for (; nGroups >= 3; nGroups -= 2, pIn += 16, pOut += 14) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pIn));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut), UnpackTwoGroupsSsse3<bBigEndian>(v));
    }
    UnpackScalar<bBigEndian>(pIn, nGroups, pOut);
}

template <bool bBigEndian>
KESTRUNE_TARGET("avx2") inline __m256i UnpackFourGroupsAvx2(__m256i v)
{
    // As UnpackTwoGroupsSsse3, in each 128-bit lane.
    if constexpr (bBigEndian) {
        v = _mm256_shuffle_epi8(v, _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14,
                                                    1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14));
    }
    v = _mm256_and_si256(v, _mm256_set1_epi16(0x3FFF));
    v = _mm256_madd_epi16(v, _mm256_set1_epi32(0x00014000));
    v = _mm256_or_si256(_mm256_slli_epi64(v, 28), _mm256_srli_epi64(v, 32));
    return _mm256_shuffle_epi8(v, _mm256_setr_epi8(6, 5, 4, 3, 2, 1, 0, 14, 13, 12, 11, 10, 9, 8, -128, -128,
                                                   6, 5, 4, 3, 2, 1, 0, 14, 13, 12, 11, 10, 9, 8, -128, -128));
}

template <bool bBigEndian>
KESTRUNE_TARGET("avx2") void UnpackAvx2(const uint8_t* pIn, size_t nGroups, uint8_t* pOut)
{
    // Each lane holds 14 bytes of its own: two 16-byte stores, the second over the first's excess.
    for (; nGroups >= 5; nGroups -= 4, pIn += 32, pOut += 28) {
        const __m256i v = UnpackFourGroupsAvx2<bBigEndian>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pIn)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut), _mm256_castsi256_si128(v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + 14), _mm256_extracti128_si256(v, 1));
    }
    UnpackScalar<bBigEndian>(pIn, nGroups, pOut);
}

KESTRUNE_TARGET("avx2") void SwapAvx2(uint8_t* pBytes, size_t nWords)
{
    const __m256i swap = _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14,
                                          1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
    size_t i = 0;
    for (; i + 16 <= nWords; i += 16) {
        auto* p = reinterpret_cast<__m256i*>(pBytes + 2 * i);
        _mm256_storeu_si256(p, _mm256_shuffle_epi8(_mm256_loadu_si256(p), swap));
    }
    SwapScalar(pBytes + 2 * i, nWords - i);
}

#endif  // KESTRUNE_KERNELS_X86

#ifdef KESTRUNE_KERNELS_NEON

template <bool bBigEndian>
inline uint8x16_t UnpackTwoGroupsNeon(uint8x16_t b)
{
    if constexpr (bBigEndian)
        b = vrev16q_u8(b);
    const uint32x4_t d = vreinterpretq_u32_u16(vandq_u16(vreinterpretq_u16_u8(b), vdupq_n_u16(0x3FFF)));
    // Each pair of words into a 32-bit lane: the first shifted up 14 over the second (bits 30
    // and 31 get junk from the second word, which the next insert drops: it keeps 28 bits).
    const uint64x2_t p = vreinterpretq_u64_u32(vsliq_n_u32(vshrq_n_u32(d, 16), d, 14));
    // Each pair of those into 56 bits of a 64-bit lane; bits 56..63 get junk no byte takes.
    const uint64x2_t q = vsliq_n_u64(vshrq_n_u64(p, 32), p, 28);
    static const uint8_t kGather[16] = {6, 5, 4, 3, 2, 1, 0, 14, 13, 12, 11, 10, 9, 8, 0xFF, 0xFF};
    return vqtbl1q_u8(vreinterpretq_u8_u64(q), vld1q_u8(kGather));
}

template <bool bBigEndian>
void UnpackNeon(const uint8_t* pIn, size_t nGroups, uint8_t* pOut)
{
    for (; nGroups >= 3; nGroups -= 2, pIn += 16, pOut += 14)
        vst1q_u8(pOut, UnpackTwoGroupsNeon<bBigEndian>(vld1q_u8(pIn)));
    UnpackScalar<bBigEndian>(pIn, nGroups, pOut);
}

void SwapNeon(uint8_t* pBytes, size_t nWords)
{
    size_t i = 0;
    for (; i + 8 <= nWords; i += 8)
        vst1q_u8(pBytes + 2 * i, vrev16q_u8(vld1q_u8(pBytes + 2 * i)));
    SwapScalar(pBytes + 2 * i, nWords - i);
}

#endif  // KESTRUNE_KERNELS_NEON

constexpr CWordKernels kScalar("scalar", UnpackScalar<true>, UnpackScalar<false>, SwapScalar);
#ifdef KESTRUNE_KERNELS_X86
// The compiler's own vector form of the swap is as fast as a byte shuffle of the same width.
constexpr CWordKernels kSsse3("ssse3", UnpackSsse3<true>, UnpackSsse3<false>, SwapScalar);
constexpr CWordKernels kAvx2("avx2", UnpackAvx2<true>, UnpackAvx2<false>, SwapAvx2);
#endif
#ifdef KESTRUNE_KERNELS_NEON
constexpr CWordKernels kNeon("neon", UnpackNeon<true>, UnpackNeon<false>, SwapNeon);
#endif

}  // namespace

std::vector<const CWordKernels*> CWordKernels::Available()
{
    std::vector<const CWordKernels*> kernels{&kScalar};
#ifdef KESTRUNE_KERNELS_X86
    // Needed where this runs before the constructors of the runtime library have.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("ssse3"))
        kernels.push_back(&kSsse3);
    if (__builtin_cpu_supports("avx2"))
        kernels.push_back(&kAvx2);
#endif
#ifdef KESTRUNE_KERNELS_NEON
    kernels.push_back(&kNeon);
#endif
    return kernels;
}

const CWordKernels& CWordKernels::Best()
{
    static const CWordKernels& best = *Available().back();
    return best;
}
