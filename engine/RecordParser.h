#pragma once

#include "engine/TabrixRecord.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The bytes of a whole file, in memory.
struct FileImage {
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
};

// The bytes of a whole file in memory that the record may keep: its lists then refer to their
// strings where they lie, and the memory goes when the last list that refers to it is emptied.
struct SharedImage {
    std::shared_ptr<std::uint8_t> bytes;
    std::size_t size = 0;
};

// Reads the PString at position into text. Gives the position after it, or nothing when the
// string runs past the end of the image or its memory cannot be obtained; text then stays.
std::optional<std::size_t> ReadPString(FileImage image, std::size_t position, std::string& text);

// Fills record from a file image: 1 when the record was filled, 0 when parsing failed.
// Appends to the lists, also the entries read before a failure. A file that ends before its
// last field fails; bytes after it are ignored. A list's strings with a NUL byte are cut there
// inside the image, the entries after them moved down over the bytes cut off.
// Raises CMemoryException when no memory is left for a list's entries.
int ParseRecord(SharedImage image, TabrixRecord& record);
// The same on a copy of an image that the caller keeps; 0 also when there is no memory for it.
int ParseRecord(FileImage image, TabrixRecord& record);
