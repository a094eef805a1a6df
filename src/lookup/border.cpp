#include "scan.h"

#include <cstdlib>

uint32_t *BuildBorderTable(const unsigned char *bytes, size_t length)
{
    if (length > UINT32_MAX || length > SIZE_MAX / sizeof(uint32_t))
        return nullptr;
    uint32_t *border = static_cast<uint32_t *>(malloc(length * sizeof(uint32_t)));
    if (!border)
        return nullptr;
    border[0] = 0;
    if (length > 1)
        border[1] = 0;
    // border[q + 1] from border[q]: extend the longest border of the first q
    // bytes by bytes[q], or fall back through shorter borders until one extends.
    size_t b = 0;
    for (size_t q = 1; q + 1 < length; q++) {
        while (b > 0 && bytes[q] != bytes[b])
            b = border[b];
        if (bytes[q] == bytes[b])
            b++;
        border[q + 1] = (uint32_t)b;
    }
    return border;
}

size_t BorderOnDemand(const unsigned char *bytes, size_t i)
{
    size_t b = 0;
    for (size_t q = 1; q < i; q++) {
        if (bytes[q] == bytes[b]) {
            b++;
        } else if (b > 0) {
            q -= b;
            b = 0;
        }
    }
    return b;
}
