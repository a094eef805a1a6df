#include "lookup.h"
#include "../platform/platform.h"

#include <cstring>

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
        // Find where this block's share of the output stops, then write it in
        // one call: the third space at a line's start (written as the last
        // byte), the byte limit, or the block's end.
        const unsigned char *run = cursor.buffer + cursor.next;
        size_t room = cursor.count - cursor.next;
        if (room > MAX_ENTRY_BYTES - written)
            room = MAX_ENTRY_BYTES - written;
        size_t e = 0;
        while (e < room && spaces < HEAD_INDENT) {
            unsigned char x = run[e];
            if (lineStart) {
                if (x == ' ') {
                    spaces++;
                    e++;
                    continue;
                }
                lineStart = false;
            }
            if (x == '\n') {
                lineStart = true;
                spaces = 0;
                e++;
                continue;
            }
            // Inside a line nothing matters until its LF.
            const void *lf = memchr(run + e, '\n', room - e);
            e = lf ? (size_t)(static_cast<const unsigned char *>(lf) - run) : room;
        }
        fwrite(run, 1, e, out);
        cursor.next += e;
        written += e;
    }
    return true;
}
