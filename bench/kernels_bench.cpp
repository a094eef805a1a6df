// Each search kernel alone on a dictionary block in memory: bytes per second
// of a search that finds nothing, the kernel's share of a whole-file lookup.
#include "lookup/lookup.h"
#include "lookup/scan.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

static std::string Block()
{
    std::string b;
    unsigned long long s = 1;
    while (b.size() < READ_BLOCK_SIZE) {
        b += "\n   ";
        for (int k = 0; k < 40; k++) {
            s = s * 6364136223846793005ull + 1442695040888963407ull;
            unsigned r = (unsigned)(s >> 33) % 20;
            b += r < 3 ? ' ' : r == 3 ? '\n' : (char)('a' + r);
        }
    }
    b.resize(READ_BLOCK_SIZE);
    return b;
}

static void Scan(benchmark::State &state, ScanKernelKind kind, const char *query)
{
    if (!UseScanKernel(kind)) {
        state.SkipWithError("kernel not available here");
        return;
    }
    std::string block = Block();
    std::string p = std::string("\n   ") + query;
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(p.data());
    uint32_t *border = BuildBorderTable(bytes, p.size());
    ScanPattern pattern = {bytes, p.size(), border};
    ScanKernel scan = ActiveScanKernel();
    for (auto _ : state) {
        size_t matched = 0;
        benchmark::DoNotOptimize(scan(pattern, reinterpret_cast<const unsigned char *>(block.data()),
                                      block.size(), &matched));
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)block.size());
    free(border);
}

BENCHMARK_CAPTURE(Scan, portable, SCAN_KERNEL_PORTABLE, "QLAST");
BENCHMARK_CAPTURE(Scan, sse2, SCAN_KERNEL_SSE2, "QLAST");
BENCHMARK_CAPTURE(Scan, avx2, SCAN_KERNEL_AVX2, "QLAST");
BENCHMARK_CAPTURE(Scan, avx2_common_letters, SCAN_KERNEL_AVX2, "KAK");

BENCHMARK_MAIN();
