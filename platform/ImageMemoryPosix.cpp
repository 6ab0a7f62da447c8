// POSIX back end of ImageMemory: a big image is an anonymous mapping with transparent huge
// pages asked for, so that reading a file of tens of megabytes costs a handful of page faults
// instead of one per 4 KiB.
#include "platform/ImageMemory.h"

#include <sys/mman.h>

namespace ImageMemory {

namespace {
// Below this the heap is as good: huge pages are 2 MiB.
constexpr std::size_t mappedFrom = std::size_t(4) << 20;
}

std::shared_ptr<std::uint8_t> Allocate(std::size_t size)
{
    if (size < mappedFrom)
        return Share(new (std::nothrow) std::uint8_t[size], std::default_delete<std::uint8_t[]>());
    void* bytes = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (bytes == MAP_FAILED)
        return {};
#ifdef MADV_HUGEPAGE
    // Only advice: without huge pages the mapping works as it is.
    ::madvise(bytes, size, MADV_HUGEPAGE);
#endif
    return Share(static_cast<std::uint8_t*>(bytes), [size](std::uint8_t* mapped) { ::munmap(mapped, size); });
}

}
