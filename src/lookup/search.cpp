#include "lookup.h"
#include "../platform/platform.h"

// Zero-filled static storage: the run's only read buffer.
static unsigned char blockBuffer[READ_BLOCK_SIZE];

BlockCursor MakeBlockCursor()
{
    BlockCursor cursor = {blockBuffer, 0, 0};
    return cursor;
}

// Length of the longest proper suffix of the first i pattern bytes that is
// also a prefix of the pattern, found by trying each start position in turn.
static size_t Border(const unsigned char *p, size_t i)
{
    size_t b = 0;
    for (size_t q = 1; q < i; q++) {
        if (p[q] == p[b]) {
            b++;
        } else if (b > 0) {
            q -= b;
            b = 0;
        }
    }
    return b;
}

SearchResult FindPattern(int handle, const QueryPattern &pattern, BlockCursor &cursor)
{
    const unsigned char *p = pattern.bytes;
    const size_t m = pattern.length;
    size_t i = 0;  // pattern bytes matched; the only state kept across reads
    for (;;) {
        long n = ReadDictionary(handle, cursor.buffer, READ_BLOCK_SIZE);
        cursor.next = 0;
        if (n < 0) {
            cursor.count = 0;
            return SEARCH_READ_ERROR;
        }
        cursor.count = (size_t)n;
        const unsigned char *b = cursor.buffer;
        size_t j = 0;
        while (j < cursor.count && i < m) {
            if (FoldByte(b[j]) == p[i]) {
                i++;
                j++;
            } else if (i == 0) {
                j++;
            } else {
                // Compare the same file byte again against the shorter prefix.
                i = Border(p, i);
            }
        }
        if (i == m) {
            cursor.next = j;
            return SEARCH_FOUND;
        }
        if (n == 0)
            return SEARCH_NOT_FOUND;
    }
}
