// Win32 back end of ImageMemory: the heap. Large pages need a privilege that a user's
// program does not have.
#include "platform/ImageMemory.h"

#include <new>

namespace ImageMemory {

void Release::operator()(std::uint8_t* bytes) const
{
    delete[] bytes;
}

Block Allocate(std::size_t size)
{
    return Block(new (std::nothrow) std::uint8_t[size], Release { size });
}

}
