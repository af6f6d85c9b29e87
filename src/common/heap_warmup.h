#pragma once
// Making room on the heap in one step before a burst of many small allocations.
//
// Reading a long playlist allocates two strings per row: tens of thousands of small blocks
// that land on fresh heap pages. Each fresh page costs a page fault when first written, and
// on a virtual machine a fault costs about 10 µs: for 50,000 rows the faults took longer than
// the parsing. Asking the kernel for the pages in one call costs a tenth of that, and asking
// for huge pages there also spares most of the address-translation misses that follow.

#include <cstddef>

namespace mirvane {

// Grows the heap by about `bytes` with its pages already present, so that the next
// allocations up to that size take no page fault. Keeps those pages until HeapWarmupDone().
// Limits: at most 32 MiB (larger requests are cut); glibc on Linux only (a no-op elsewhere).
// Thread: any, but meant for start-up; it changes process-wide allocator settings.
// Outcome: nothing to check; a refusal by the kernel leaves the heap as it was.
void WarmHeapFor(std::size_t bytes);

// Gives back to the system what the warm-up left unused and restores the allocator's
// thresholds for mappings and trimming. Call after the burst.
void HeapWarmupDone();

} // namespace mirvane
