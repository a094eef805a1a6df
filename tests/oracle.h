// The search and the entry output exactly as first written: one byte at a
// time, the fallback worked out anew at each mismatch, one putc per byte. Slow
// on purpose; every kernel must agree with it.
#ifndef KLAVEDO_ORACLE_H
#define KLAVEDO_ORACLE_H

#include "lookup/lookup.h"

#include <cstdio>

SearchResult OracleFindPattern(int handle, const QueryPattern &pattern, BlockCursor &cursor);
bool OraclePrintEntry(const QueryPattern &pattern, int handle, BlockCursor &cursor, FILE *out);

#endif
