// The lookup engine: the query pattern, the one-pass search through the
// dictionary and the output of the entry found. Portable: it reaches the file
// only through the read call of the platform layer.
#ifndef KLAVEDO_LOOKUP_H
#define KLAVEDO_LOOKUP_H

#include <cstddef>
#include <cstdio>

enum { READ_BLOCK_SIZE = 32768 };
enum { MAX_ENTRY_BYTES = 8000 };
enum { HEAD_INDENT = 3 };

// Upper-cases a to z and leaves every other byte value alone; no locale.
inline unsigned char FoldByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? (unsigned char)(c - ('a' - 'A')) : c;
}

// LF, three spaces, then the folded query text; a NUL follows the bytes.
struct QueryPattern {
    unsigned char *bytes;
    size_t length;
};

// The one read buffer of a run and where the scan stands in it.
struct BlockCursor {
    unsigned char *buffer;  // READ_BLOCK_SIZE bytes
    size_t count;           // bytes the last read put into buffer
    size_t next;            // index of the next byte to examine
};

enum SearchResult { SEARCH_FOUND, SEARCH_NOT_FOUND, SEARCH_READ_ERROR };

// Builds the pattern in place: text must stand behind four writable bytes of
// the same block and end with a NUL.
QueryPattern BuildQueryPattern(char *text);

// Points the cursor at the run's static buffer, empty.
BlockCursor MakeBlockCursor();

// Reads the dictionary block after block, from where the handle stands, into
// the cursor's buffer until the pattern's first occurrence. On SEARCH_FOUND
// the cursor stands just past the last matched byte, which may be the end of
// the block; on SEARCH_NOT_FOUND a read has returned no bytes.
SearchResult FindPattern(int handle, const QueryPattern &pattern, BlockCursor &cursor);

// The block scanners behind FindPattern, all giving the same results. By
// default it uses the widest one this processor runs; the tests and the
// benchmarks pick each in turn.
enum ScanKernelKind { SCAN_KERNEL_BEST, SCAN_KERNEL_PORTABLE, SCAN_KERNEL_SSE2, SCAN_KERNEL_AVX2 };
// True when the kernel is in this build and the processor can run it.
bool ScanKernelAvailable(ScanKernelKind kind);
// Uses the kernel for the searches that follow; false, changing nothing, when
// it is not available.
bool UseScanKernel(ScanKernelKind kind);

// Writes the echo of the pattern and the entry that follows the match.
// Returns false when a read failed and the output had to end early.
bool PrintEntry(const QueryPattern &pattern, int handle, BlockCursor &cursor, FILE *out);

#endif
