#pragma once

// The engine suite's files: built by the shared encoder, handed to the parser in a block of
// exactly their size, written into memory.

#include "engine/RecordParser.h"
#include "support/CollectingFile.h"
#include "support/TabrixFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

using SourceFile = TabrixFields;

// The bytes copied into a heap block of exactly their size, so that a read past them is caught.
class ExactImage {
public:
    explicit ExactImage(const Bytes& bytes, std::size_t size = SIZE_MAX)
        : size(std::min(size, bytes.size()))
        , block(new std::uint8_t[this->size])
    {
        if (this->size != 0)
            std::memcpy(block.get(), bytes.data(), this->size);
    }
    FileImage Image() const { return { block.get(), size }; }

private:
    std::size_t size;
    std::unique_ptr<std::uint8_t[]> block;
};
