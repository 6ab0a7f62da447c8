#pragma once

// The engine suite's files: built by the shared encoder, handed to the parser in a block of
// exactly their size, written into memory by each of the three writers.

#include "engine/RecordParser.h"
#include "engine/RecordWriters.h"
#include "support/CollectingFile.h"
#include "support/TabrixFile.h"

#include <gtest/gtest.h>

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

inline int Parse(const Bytes& bytes, TabrixRecord& record)
{
    return ParseRecord(ExactImage(bytes).Image(), record);
}

inline TabrixRecord Parsed(const Bytes& bytes)
{
    TabrixRecord record;
    EXPECT_EQ(Parse(bytes, record), 1);
    return record;
}

struct Writer {
    const char* name;
    FormatVersion version;
    ConvStatus (*write)(CFile&, const TabrixRecord&);
};

inline const Writer writers[] = {
    { "1.0", version10, WriteVersion10 },
    { "1.1", version11, WriteVersion11 },
    { "1.2", version12, WriteVersion12 },
};
