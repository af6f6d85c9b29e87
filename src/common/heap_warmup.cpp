#include "common/heap_warmup.h"

#include <algorithm>
#include <cstdint>

#if defined(__GLIBC__) && defined(__linux__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14; older kernels refuse it and nothing happens
#endif
#endif

namespace mirvane {

#if defined(__GLIBC__) && defined(__linux__)

namespace {
constexpr std::size_t kMaxWarmup = std::size_t(32) << 20;
constexpr int kDefaultThreshold = 128 * 1024; // the allocator's own trim and mmap thresholds
} // namespace

void WarmHeapFor(std::size_t bytes) {
    bytes = std::min(bytes, kMaxWarmup);
    if (bytes < 1024 * 1024)
        return; // a short list faults in less time than this takes
    // The block must come from the main heap (not a separate mapping), and freeing it must
    // leave its pages in the heap's free top, where the small blocks that follow are cut.
    mallopt(M_MMAP_THRESHOLD, int(kMaxWarmup + 1));
    mallopt(M_TRIM_THRESHOLD, int(2 * kMaxWarmup));
    void *block = malloc(bytes);
    if (!block)
        return;
    const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const auto from = (std::uintptr_t(block) + page - 1) & ~(page - 1);
    const auto to = (std::uintptr_t(block) + bytes) & ~(page - 1);
    if (to > from) {
        // Huge pages where the kernel allows them (a hint: refused, it is 4 KiB pages).
        madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
        madvise(reinterpret_cast<void *>(from), to - from, MADV_POPULATE_WRITE);
    }
    free(block);
}

void HeapWarmupDone() {
    // Large blocks get mappings of their own again, so they go back to the system when freed.
    mallopt(M_MMAP_THRESHOLD, kDefaultThreshold);
    mallopt(M_TRIM_THRESHOLD, kDefaultThreshold);
    malloc_trim(0);
}

#else

void WarmHeapFor(std::size_t) {}
void HeapWarmupDone() {}

#endif

} // namespace mirvane
