// Sixteen-byte helpers shared by the x86 kernels. Included only by kernel
// sources, inside their SSE2 (or wider) sections; internal linkage, so that a
// kernel built for a wider instruction set never lends its copy to another.
#ifndef KLAVEDO_SSE2_BYTES_H
#define KLAVEDO_SSE2_BYTES_H

#include <emmintrin.h>

namespace {

inline unsigned FirstBit(unsigned mask)
{
#if defined(__GNUC__) || defined(__clang__)
    return (unsigned)__builtin_ctz(mask);
#else
    unsigned k = 0;
    while (!(mask & 1u)) {
        mask >>= 1;
        k++;
    }
    return k;
#endif
}

inline __m128i Load16(const unsigned char *at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
}

// 0x20 in every byte of q that is 'A' to 'Z'; bytes from 0x80 up compare as
// negative and so are never letters.
inline __m128i LetterBits16(__m128i q)
{
    __m128i atLeastA = _mm_cmpgt_epi8(q, _mm_set1_epi8('A' - 1));
    __m128i atMostZ = _mm_cmplt_epi8(q, _mm_set1_epi8('Z' + 1));
    return _mm_and_si128(_mm_and_si128(atLeastA, atMostZ), _mm_set1_epi8(0x20));
}

// A bit for each of the sixteen text bytes that matches its (folded) pattern byte.
inline unsigned SameMask16(const unsigned char *text, const unsigned char *p)
{
    __m128i q = Load16(p);
    __m128i lower = LetterBits16(q);
    return (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(Load16(text), lower), _mm_or_si128(q, lower)));
}

}  // namespace

#endif
