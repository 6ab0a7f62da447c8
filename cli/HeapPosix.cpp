// With glibc on Linux the heap is put on transparent huge pages: a big file's strings then
// cost a page fault per 2 MiB instead of one per 4 KiB, which halves a big conversion.
#include "cli/Heap.h"

#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__) && defined(__linux__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {
constexpr std::size_t hugePage = std::size_t(2) << 20;
// Address space only: pages count as memory when a string is put there.
constexpr std::size_t heapRoom = std::size_t(256) << 20;
}

void PrepareHeap()
{
    // Allocations up to 32 MiB come from the heap (a list of 400,000 entries is 13 MB), and
    // freed memory stays for the next file of a batch.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * heapRoom));
    mallopt(M_TOP_PAD, static_cast<int>(heapRoom));
    auto start = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    // One allocation that the heap's start cannot hold grows it by the room asked for above.
    void* volatile probe = std::malloc(4 << 20);
    std::free(probe);
    auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    mallopt(M_TOP_PAD, 128 << 10);
    start = (start + hugePage - 1) & ~std::uintptr_t(hugePage - 1);
    // Only advice: without huge pages the heap works as it is.
    if (end > start)
        ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}
#else
void PrepareHeap()
{
}
#endif
