#include "lookup.h"
#include "scan.h"
#include "../platform/platform.h"

#include <cstdlib>

// Zero-filled static storage: the run's only read buffer.
static unsigned char blockBuffer[READ_BLOCK_SIZE];

BlockCursor MakeBlockCursor()
{
    BlockCursor cursor = {blockBuffer, 0, 0};
    return cursor;
}

SearchResult FindPattern(int handle, const QueryPattern &pattern, BlockCursor &cursor)
{
    ScanKernel scan = ActiveScanKernel();
    // The failure table is built once from the pattern; without it each
    // fallback would be worked out anew, at a cost that grows with the square
    // of the query's length.
    uint32_t *border = BuildBorderTable(pattern.bytes, pattern.length);
    const ScanPattern scanPattern = {pattern.bytes, pattern.length, border};
    const size_t m = pattern.length;
    size_t matched = 0;  // pattern bytes matched; the only state kept across reads
    SearchResult result;
    for (;;) {
        long n = ReadDictionary(handle, cursor.buffer, READ_BLOCK_SIZE);
        cursor.next = 0;
        if (n < 0) {
            cursor.count = 0;
            result = SEARCH_READ_ERROR;
            break;
        }
        cursor.count = (size_t)n;
        size_t j = m > 0 ? scan(scanPattern, cursor.buffer, cursor.count, &matched) : 0;
        if (matched == m) {
            cursor.next = j;
            result = SEARCH_FOUND;
            break;
        }
        if (n == 0) {
            result = SEARCH_NOT_FOUND;
            break;
        }
    }
    free(border);
    return result;
}
