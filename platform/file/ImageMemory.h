#pragma once

// Memory for the image of a whole file, read in one request and kept by the record that was
// parsed from it. A big image gets memory of its own from the system (see the back ends).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace ImageMemory {

// size bytes, not cleared, or an empty pointer when they cannot be had. Never raises.
std::shared_ptr<std::uint8_t> Allocate(std::size_t size);

// bytes in a shared pointer that gives them back with release: empty for no bytes, and when
// the pointer's own memory cannot be had (the bytes are then given back at once).
template<typename Release>
std::shared_ptr<std::uint8_t> Share(std::uint8_t* bytes, Release release) noexcept
{
    if (!bytes)
        return {};
    try {
        return std::shared_ptr<std::uint8_t>(bytes, release);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}
