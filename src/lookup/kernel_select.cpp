// Which block scanner FindPattern uses: the widest this processor runs, chosen
// once, unless the caller picked one.
#include "lookup.h"
#include "scan.h"

static ScanKernel chosenKernel = nullptr;

static bool ProcessorHasAvx2()
{
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
    // Also checks that the system saves the wide registers.
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

static ScanKernel KernelFor(ScanKernelKind kind)
{
    switch (kind) {
    case SCAN_KERNEL_PORTABLE:
        return ScanBlockPortable;
    case SCAN_KERNEL_SSE2:
        return SCAN_BLOCK_SSE2;
    case SCAN_KERNEL_AVX2:
        return SCAN_BLOCK_AVX2 && ProcessorHasAvx2() ? SCAN_BLOCK_AVX2 : nullptr;
    case SCAN_KERNEL_BEST:
        if (ScanKernel avx2 = KernelFor(SCAN_KERNEL_AVX2))
            return avx2;
        if (SCAN_BLOCK_SSE2)
            return SCAN_BLOCK_SSE2;
        return ScanBlockPortable;
    }
    return nullptr;
}

bool ScanKernelAvailable(ScanKernelKind kind)
{
    return KernelFor(kind) != nullptr;
}

bool UseScanKernel(ScanKernelKind kind)
{
    ScanKernel kernel = KernelFor(kind);
    if (!kernel)
        return false;
    chosenKernel = kernel;
    return true;
}

ScanKernel ActiveScanKernel()
{
    if (!chosenKernel)
        chosenKernel = KernelFor(SCAN_KERNEL_BEST);
    return chosenKernel;
}
