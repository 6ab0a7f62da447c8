// Win32 back end of ImageMemory: a big image gets address space of its own from the top
// down, where a large-address-aware 32-bit program has a free gigabyte or two that the heap
// and the libraries have not broken up. Large pages need a privilege users do not have.
#include "platform/file/ImageMemory.h"

#include <windows.h>

namespace ImageMemory {

namespace {
// Below this the heap is as good.
constexpr std::size_t reservedFrom = std::size_t(4) << 20;
}

std::shared_ptr<std::uint8_t> Allocate(std::size_t size)
{
    if (size < reservedFrom)
        return Share(new (std::nothrow) std::uint8_t[size], std::default_delete<std::uint8_t[]>());
    void* bytes = ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE);
    return Share(static_cast<std::uint8_t*>(bytes),
        [](std::uint8_t* reserved) { ::VirtualFree(reserved, 0, MEM_RELEASE); });
}

}
