#include "oracle.h"
#include "platform/platform.h"

// Length of the longest proper suffix of the first i pattern bytes that is
// also a prefix of the pattern, found by trying each start position in turn.
static size_t OracleBorder(const unsigned char *p, size_t i)
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

SearchResult OracleFindPattern(int handle, const QueryPattern &pattern, BlockCursor &cursor)
{
    const unsigned char *p = pattern.bytes;
    const size_t m = pattern.length;
    size_t i = 0;
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
                i = OracleBorder(p, i);
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

bool OraclePrintEntry(const QueryPattern &pattern, int handle, BlockCursor &cursor, FILE *out)
{
    fwrite(pattern.bytes, 1, pattern.length, out);
    size_t written = 0;
    bool lineStart = false;
    int spaces = 0;
    while (written < MAX_ENTRY_BYTES && spaces < HEAD_INDENT) {
        if (cursor.next == cursor.count) {
            long n = ReadDictionary(handle, cursor.buffer, READ_BLOCK_SIZE);
            cursor.next = 0;
            cursor.count = n > 0 ? (size_t)n : 0;
            if (n < 0)
                return false;
            if (n == 0)
                break;
        }
        unsigned char x = cursor.buffer[cursor.next];
        if (lineStart) {
            if (x == ' ')
                spaces++;
            else
                lineStart = false;
        }
        if (x == '\n') {
            lineStart = true;
            spaces = 0;
        }
        putc(x, out);
        cursor.next++;
        written++;
    }
    return true;
}
