// Engine internals shared by the search and its kernels: the pattern as the
// kernels see it and the kernels themselves. Not part of the public API.
#ifndef KLAVEDO_SCAN_H
#define KLAVEDO_SCAN_H

#include <cstddef>
#include <cstdint>

// The pattern with its failure table: border[i] (1 <= i < length) is the
// length of the longest proper suffix of the first i bytes that is also a
// prefix. border is null when the table could not be had; the fallback is then
// computed from the pattern alone each time it is needed.
struct ScanPattern {
    const unsigned char *bytes;
    size_t length;
    const uint32_t *border;
};

// Scans one block, continuing a partial match of *matched pattern bytes carried
// over from the blocks before. Returns the index just past the first match
// (with *matched == length), or count with *matched set to the partial match
// standing at the block's end.
typedef size_t (*ScanKernel)(const ScanPattern &pattern, const unsigned char *block,
                             size_t count, size_t *matched);

size_t ScanBlockPortable(const ScanPattern &pattern, const unsigned char *block, size_t count,
                         size_t *matched);
// Null when this build has no such kernel.
extern const ScanKernel SCAN_BLOCK_SSE2;
extern const ScanKernel SCAN_BLOCK_AVX2;

// The kernel FindPattern uses; the widest the processor runs unless
// UseScanKernel picked another.
ScanKernel ActiveScanKernel();

// Allocates and fills the failure table; null when the pattern is too long for
// 32-bit entries or the memory cannot be had.
uint32_t *BuildBorderTable(const unsigned char *bytes, size_t length);
// The same value without a table, by trying each start position in turn.
size_t BorderOnDemand(const unsigned char *bytes, size_t i);

#endif
