// The block scan shared by every kernel: Knuth-Morris-Pratt over one block,
// with the kernel's wide compares doing the two hot jobs, skipping to the next
// place where a match could start and extending a partial match. Included only
// by the kernel sources; everything here has internal linkage so that a kernel
// built for a wider instruction set never lends its copy to another one.
#ifndef KLAVEDO_SCAN_LOOP_H
#define KLAVEDO_SCAN_LOOP_H

#include "scan.h"

#include <cstring>

namespace {

// Pattern bytes are folded already: a pattern letter is upper case and takes
// either case from the file; every other byte must be equal.
inline bool ByteMatches(unsigned char c, unsigned char p)
{
    unsigned char folded = (c >= 'a' && c <= 'z') ? (unsigned char)(c - ('a' - 'A')) : c;
    return folded == p;
}

inline bool IsUpperLetter(unsigned char c)
{
    return c >= 'A' && c <= 'Z';
}

// Three pattern bytes tried at once before a start is verified: the LF at 0,
// the byte at offset 4 (the query's first) and the last one. A pattern letter
// is compared as lower case with 0x20 OR-ed into the file byte; any other byte
// is compared plainly, so that '@' never meets '`', nor 0xC0 0xE0.
struct Probe {
    size_t second, last;           // offsets of the second and third byte
    unsigned char secondOr, secondIs;
    unsigned char lastOr, lastIs;
};

inline Probe MakeProbe(const ScanPattern &pattern)
{
    Probe probe;
    const size_t m = pattern.length;
    probe.second = m > 4 ? 4 : m - 1;
    probe.last = m - 1;
    unsigned char s = pattern.bytes[probe.second];
    unsigned char l = pattern.bytes[probe.last];
    probe.secondOr = IsUpperLetter(s) ? 0x20 : 0;
    probe.secondIs = (unsigned char)(s | probe.secondOr);
    probe.lastOr = IsUpperLetter(l) ? 0x20 : 0;
    probe.lastIs = (unsigned char)(l | probe.lastOr);
    return probe;
}

inline bool ProbeHits(const Probe &probe, const unsigned char *at)
{
    return at[0] == '\n' && (at[probe.second] | probe.secondOr) == probe.secondIs &&
           (at[probe.last] | probe.lastOr) == probe.lastIs;
}

inline size_t NextBorder(const ScanPattern &pattern, size_t i)
{
    return pattern.border ? pattern.border[i] : BorderOnDemand(pattern.bytes, i);
}

// Ops supplies two routines:
//   FindStart(probe, block, from, end): the first position in [from, end)
//     where the probe hits, or end; the whole pattern fits behind each of them.
//   MatchRun(text, pattern, len): how many of the first len bytes match.
template <typename Ops>
size_t ScanBlockWith(const ScanPattern &pattern, const unsigned char *block, size_t count,
                     size_t *matched)
{
    const unsigned char *p = pattern.bytes;
    const size_t m = pattern.length;
    const Probe probe = MakeProbe(pattern);
    // Before fitEnd the whole pattern fits inside the block, so a start that
    // fails the probe can be passed over: it can neither match nor leave a
    // partial match standing at the block's end.
    const size_t fitEnd = count >= m ? count - m + 1 : 0;
    size_t i = *matched;
    size_t j = 0;
    while (j < count) {
        if (i == 0) {
            if (j < fitEnd)
                j = Ops::FindStart(probe, block, j, fitEnd);
            if (j >= fitEnd) {
                // Near the end only the LF can be asked for: the match may run
                // on into the next block.
                const void *lf = memchr(block + j, '\n', count - j);
                if (!lf)
                    break;
                j = (size_t)(static_cast<const unsigned char *>(lf) - block);
            }
        } else if (!ByteMatches(block[j], p[i])) {
            // Compare the same file byte again against the shorter prefix.
            i = NextBorder(pattern, i);
            continue;
        }
        size_t room = count - j < m - i ? count - j : m - i;
        size_t run = Ops::MatchRun(block + j, p + i, room);
        i += run;
        j += run;
        if (i == m) {
            *matched = m;
            return j;
        }
        if (j < count)
            i = NextBorder(pattern, i);
    }
    *matched = i;
    return count;
}

}  // namespace

#endif
