// The kernel for any processor: eight bytes at a time in a 64-bit word.
#include "scan_loop.h"

#include <cstdint>
#include <cstring>

namespace {

const uint64_t ONES = 0x0101010101010101ull;
const uint64_t LOW7 = 0x7F7F7F7F7F7F7F7Full;
const uint64_t HIGH = 0x8080808080808080ull;

inline uint64_t LoadWord(const unsigned char *at)
{
    uint64_t w;
    memcpy(&w, at, sizeof w);
    return w;
}

// 0x80 in every byte of x that is zero, 0 elsewhere; exact, no borrow between bytes.
inline uint64_t ZeroBytes(uint64_t x)
{
    return ~(((x & LOW7) + LOW7) | x | LOW7);
}

// 0x20 in every byte of q that is 'A' to 'Z', 0 elsewhere.
inline uint64_t LetterBits(uint64_t q)
{
    uint64_t h = q & LOW7;
    uint64_t atLeastA = h + ONES * (0x80 - 'A');
    uint64_t pastZ = h + ONES * (0x80 - 'Z' - 1);
    return ((atLeastA & ~pastZ & ~q) & HIGH) >> 2;
}

struct PortableOps {
    static size_t FindStart(const Probe &probe, const unsigned char *block, size_t from, size_t end)
    {
        const uint64_t lf = ONES * '\n';
        const uint64_t secondOr = ONES * probe.secondOr, secondIs = ONES * probe.secondIs;
        const uint64_t lastOr = ONES * probe.lastOr, lastIs = ONES * probe.lastIs;
        size_t j = from;
        for (; j + 8 <= end; j += 8) {
            uint64_t hits = ZeroBytes(LoadWord(block + j) ^ lf) &
                            ZeroBytes((LoadWord(block + j + probe.second) | secondOr) ^ secondIs) &
                            ZeroBytes((LoadWord(block + j + probe.last) | lastOr) ^ lastIs);
            if (hits) {
                // Byte order differs between processors; look at the eight in order.
                for (size_t k = 0; k < 8; k++)
                    if (ProbeHits(probe, block + j + k))
                        return j + k;
            }
        }
        for (; j < end; j++)
            if (ProbeHits(probe, block + j))
                return j;
        return end;
    }

    static size_t MatchRun(const unsigned char *text, const unsigned char *p, size_t len)
    {
        size_t d = 0;
        for (; d + 8 <= len; d += 8) {
            uint64_t q = LoadWord(p + d);
            uint64_t lower = LetterBits(q);
            if ((LoadWord(text + d) | lower) != (q | lower))
                break;
        }
        while (d < len && ByteMatches(text[d], p[d]))
            d++;
        return d;
    }
};

}  // namespace

size_t ScanBlockPortable(const ScanPattern &pattern, const unsigned char *block, size_t count,
                         size_t *matched)
{
    return ScanBlockWith<PortableOps>(pattern, block, count, matched);
}
