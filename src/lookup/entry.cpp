#include "lookup.h"
#include "../platform/platform.h"

bool PrintEntry(const QueryPattern &pattern, int handle, BlockCursor &cursor, FILE *out)
{
    // The head word is echoed as it was searched for, folded to upper case.
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
