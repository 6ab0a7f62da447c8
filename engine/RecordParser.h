#pragma once

#include "engine/TabrixRecord.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The bytes of a whole file, in memory.
struct FileImage {
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
};

// Reads the PString at position into text. Gives the position after it, or nothing when the
// string runs past the end of the image or its memory cannot be obtained; text then stays.
std::optional<std::size_t> ReadPString(FileImage image, std::size_t position, std::string& text);

// Fills record from a file image: 1 when the record was filled, 0 when parsing failed.
// Appends to the lists. A file that ends before its last field fails; bytes after it are ignored.
// Raises CMemoryException when no memory is left for a list entry.
int ParseRecord(FileImage image, TabrixRecord& record);
