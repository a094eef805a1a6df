// The kernel for x86 processors with AVX2: thirty-two bytes at a time. This one
// source is compiled for AVX2; it runs only when the processor says it can.
#include "scan.h"

#if defined(__AVX2__)

#include "scan_loop.h"
#include "sse2_bytes.h"

#include <immintrin.h>

namespace {

inline __m256i Load32(const unsigned char *at)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
}

// 0x20 in every byte of q that is 'A' to 'Z'; bytes from 0x80 up compare as
// negative and so are never letters.
inline __m256i LetterBits32(__m256i q)
{
    __m256i atLeastA = _mm256_cmpgt_epi8(q, _mm256_set1_epi8('A' - 1));
    __m256i atMostZ = _mm256_cmpgt_epi8(_mm256_set1_epi8('Z' + 1), q);
    return _mm256_and_si256(_mm256_and_si256(atLeastA, atMostZ), _mm256_set1_epi8(0x20));
}

struct Avx2Ops {
    static size_t FindStart(const Probe &probe, const unsigned char *block, size_t from, size_t end)
    {
        const __m256i lf = _mm256_set1_epi8('\n');
        const __m256i secondOr = _mm256_set1_epi8((char)probe.secondOr);
        const __m256i secondIs = _mm256_set1_epi8((char)probe.secondIs);
        const __m256i lastOr = _mm256_set1_epi8((char)probe.lastOr);
        const __m256i lastIs = _mm256_set1_epi8((char)probe.lastIs);
        const unsigned char *second = block + probe.second;
        const unsigned char *last = block + probe.last;
        size_t j = from;
        for (; j + 32 <= end; j += 32) {
            __m256i a = _mm256_cmpeq_epi8(Load32(block + j), lf);
            __m256i b = _mm256_cmpeq_epi8(_mm256_or_si256(Load32(second + j), secondOr), secondIs);
            __m256i c = _mm256_cmpeq_epi8(_mm256_or_si256(Load32(last + j), lastOr), lastIs);
            unsigned hits = (unsigned)_mm256_movemask_epi8(_mm256_and_si256(_mm256_and_si256(a, b), c));
            if (hits)
                return j + (unsigned)__builtin_ctz(hits);
        }
        for (; j < end; j++)
            if (ProbeHits(probe, block + j))
                return j;
        return end;
    }

    static size_t MatchRun(const unsigned char *text, const unsigned char *p, size_t len)
    {
        size_t d = 0;
        for (; d + 32 <= len; d += 32) {
            __m256i q = Load32(p + d);
            __m256i lower = LetterBits32(q);
            __m256i same = _mm256_cmpeq_epi8(_mm256_or_si256(Load32(text + d), lower), _mm256_or_si256(q, lower));
            unsigned mask = (unsigned)_mm256_movemask_epi8(same);
            if (mask != 0xFFFFFFFFu)
                return d + (unsigned)__builtin_ctz(~mask);
        }
        if (d + 16 <= len) {
            unsigned mask = SameMask16(text + d, p + d);
            if (mask != 0xFFFFu)
                return d + FirstBit(~mask & 0xFFFFu);
            d += 16;
        }
        while (d < len && ByteMatches(text[d], p[d]))
            d++;
        return d;
    }
};

size_t ScanBlockAvx2(const ScanPattern &pattern, const unsigned char *block, size_t count,
                     size_t *matched)
{
    return ScanBlockWith<Avx2Ops>(pattern, block, count, matched);
}

}  // namespace

const ScanKernel SCAN_BLOCK_AVX2 = ScanBlockAvx2;

#else

const ScanKernel SCAN_BLOCK_AVX2 = nullptr;

#endif
