// The kernel for x86 processors with SSE2 (every x86-64): sixteen bytes at a time.
#include "scan.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)

#include "scan_loop.h"
#include "sse2_bytes.h"

namespace {

struct Sse2Ops {
    static size_t FindStart(const Probe &probe, const unsigned char *block, size_t from, size_t end)
    {
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i secondOr = _mm_set1_epi8((char)probe.secondOr);
        const __m128i secondIs = _mm_set1_epi8((char)probe.secondIs);
        const __m128i lastOr = _mm_set1_epi8((char)probe.lastOr);
        const __m128i lastIs = _mm_set1_epi8((char)probe.lastIs);
        size_t j = from;
        for (; j + 16 <= end; j += 16) {
            __m128i a = _mm_cmpeq_epi8(Load16(block + j), lf);
            __m128i b = _mm_cmpeq_epi8(_mm_or_si128(Load16(block + j + probe.second), secondOr), secondIs);
            __m128i c = _mm_cmpeq_epi8(_mm_or_si128(Load16(block + j + probe.last), lastOr), lastIs);
            unsigned hits = (unsigned)_mm_movemask_epi8(_mm_and_si128(_mm_and_si128(a, b), c));
            if (hits)
                return j + FirstBit(hits);
        }
        for (; j < end; j++)
            if (ProbeHits(probe, block + j))
                return j;
        return end;
    }

    static size_t MatchRun(const unsigned char *text, const unsigned char *p, size_t len)
    {
        size_t d = 0;
        for (; d + 16 <= len; d += 16) {
            unsigned mask = SameMask16(text + d, p + d);
            if (mask != 0xFFFFu)
                return d + FirstBit(~mask & 0xFFFFu);
        }
        while (d < len && ByteMatches(text[d], p[d]))
            d++;
        return d;
    }
};

size_t ScanBlockSse2(const ScanPattern &pattern, const unsigned char *block, size_t count,
                     size_t *matched)
{
    return ScanBlockWith<Sse2Ops>(pattern, block, count, matched);
}

}  // namespace

const ScanKernel SCAN_BLOCK_SSE2 = ScanBlockSse2;

#else

const ScanKernel SCAN_BLOCK_SSE2 = nullptr;

#endif
