// POSIX back end of ImageMemory: an anonymous mapping with transparent huge pages asked for.
#include "platform/ImageMemory.h"

#include <new>
#include <sys/mman.h>

namespace ImageMemory {

namespace {
// Below this the heap is as good: huge pages are 2 MiB.
constexpr std::size_t mappedFrom = std::size_t(4) << 20;
}

void Release::operator()(std::uint8_t* bytes) const
{
    if (size >= mappedFrom)
        ::munmap(bytes, size);
    else
        delete[] bytes;
}

Block Allocate(std::size_t size)
{
    if (size < mappedFrom)
        return Block(new (std::nothrow) std::uint8_t[size], Release { size });
    void* bytes = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (bytes == MAP_FAILED)
        return Block(nullptr, Release { size });
#ifdef MADV_HUGEPAGE
    // Only advice: without huge pages the mapping works as it is.
    ::madvise(bytes, size, MADV_HUGEPAGE);
#endif
    return Block(static_cast<std::uint8_t*>(bytes), Release { size });
}

}
