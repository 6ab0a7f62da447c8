// POSIX back end of ImageMemory: a big image is an anonymous mapping whose pages the system
// makes ready in one go (MAP_POPULATE where there is one), so that reading a file of tens of
// megabytes does not take one page fault per 4 KiB. Huge pages are not asked for: where the
// system compacts memory to make them, a fault can stall for a tenth of a second.
#include "platform/file/ImageMemory.h"

#include <sys/mman.h>

namespace ImageMemory {

namespace {
// Below this the heap is as good.
constexpr std::size_t mappedFrom = std::size_t(4) << 20;
#ifdef MAP_POPULATE
constexpr int populate = MAP_POPULATE;
#else
constexpr int populate = 0;
#endif
}

std::shared_ptr<std::uint8_t> Allocate(std::size_t size)
{
    if (size < mappedFrom)
        return Share(new (std::nothrow) std::uint8_t[size], std::default_delete<std::uint8_t[]>());
    void* bytes = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | populate, -1, 0);
    if (bytes == MAP_FAILED)
        return {};
    return Share(static_cast<std::uint8_t*>(bytes), [size](std::uint8_t* mapped) { ::munmap(mapped, size); });
}

}
