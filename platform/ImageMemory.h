#pragma once

// Memory for the image of a whole file, read in one request. A big image is backed by large
// pages where the system has them: reading and parsing a file of tens of megabytes then
// costs a handful of page faults instead of one per 4 KiB.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ImageMemory {

struct Release {
    std::size_t size = 0;
    void operator()(std::uint8_t* bytes) const;
};

using Block = std::unique_ptr<std::uint8_t[], Release>;

// size bytes, or an empty block when they cannot be had. Never raises.
Block Allocate(std::size_t size);

}
