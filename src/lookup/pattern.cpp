#include "lookup.h"

#include <cstring>

QueryPattern BuildQueryPattern(char *text)
{
    // The four bytes in front of the text take the LF and the head indent,
    // so the pattern needs no second copy of the text.
    unsigned char *p = reinterpret_cast<unsigned char *>(text) - 4;
    p[0] = '\n';
    p[1] = p[2] = p[3] = ' ';
    size_t length = strlen(text);
    for (size_t k = 0; k < length; k++)
        p[4 + k] = FoldByte(p[4 + k]);
    QueryPattern pattern = {p, length + 4};
    return pattern;
}
