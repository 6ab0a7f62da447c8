#include "engine/RecordParser.h"

#include "platform/file/CFileException.h"
#include "platform/file/ImageMemory.h"

#include <cstring>
#include <new>

namespace {

constexpr std::size_t oldFixedPart = 280;
constexpr std::size_t newFixedPart = 298;

// The parse position in the image; every read checks what is left first.
struct ImageReader {
    SharedImage image;
    std::size_t position = 0;

    std::size_t Remaining() const { return image.size - position; }
    std::uint8_t* At() const { return image.bytes.get() + position; }

    bool ReadWord(std::uint32_t& value)
    {
        if (Remaining() < 4)
            return false;
        const std::uint8_t* p = At();
        value = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
        position += 4;
        return true;
    }

    bool ReadHalf(std::uint16_t& value)
    {
        if (Remaining() < 2)
            return false;
        const std::uint8_t* p = At();
        value = static_cast<std::uint16_t>(p[0] | p[1] << 8);
        position += 2;
        return true;
    }

    template<std::size_t N>
    bool ReadWords(std::array<std::uint32_t, N>& words)
    {
        for (auto& word : words) {
            if (!ReadWord(word))
                return false;
        }
        return true;
    }

    bool ReadBlock(TabrixRecord::Block& block)
    {
        if (Remaining() < block.size())
            return false;
        std::memcpy(block.data(), At(), block.size());
        position += block.size();
        return true;
    }

    bool ReadString(std::string& text)
    {
        auto next = ReadPString(FileImage { image.bytes.get(), image.size }, position, text);
        if (!next)
            return false;
        position = *next;
        return true;
    }
};

bool ReadFixedPart(ImageReader& reader, bool newLayout, TabrixRecord& record)
{
    for (auto& word : record.words) {
        if (!reader.ReadWord(word))
            return false;
    }
    for (auto& block : record.blocks) {
        if (!reader.ReadBlock(block))
            return false;
    }
    if (newLayout)
        return reader.ReadWords(record.extWords);
    record.extWords = oldLayoutExtWords;
    return true;
}

// Walks the list's entries and appends them to list as one run of the image. An entry ends at
// its first NUL byte: its length byte is rewritten, and it and every entry after it move down
// over the bytes cut off, so that the run stays a run of PStrings. Entries read before the
// file ends are appended too.
bool ReadList(ImageReader& reader, StringList& list)
{
    std::uint32_t raw = 0;
    if (!reader.ReadWord(raw))
        return false;
    auto count = static_cast<std::int32_t>(raw);
    if (count <= 0)
        return true;
    // Every entry takes at least its length byte: a count the rest cannot hold fails at once.
    if (static_cast<std::size_t>(count) > reader.Remaining())
        return false;
    std::uint8_t* const run = reader.At();
    std::uint8_t* kept = run;
    std::size_t read = 0;
    for (; read < static_cast<std::size_t>(count); ++read) {
        if (reader.Remaining() == 0)
            break;
        const std::uint8_t* entry = reader.At();
        const std::size_t length = entry[0];
        if (length > reader.Remaining() - 1)
            break;
        const void* nul = length == 0 ? nullptr : std::memchr(entry + 1, 0, length);
        const std::size_t keptLength
            = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - entry - 1) : length;
        if (kept != entry || keptLength != length) {
            std::memmove(kept + 1, entry + 1, keptLength);
            kept[0] = static_cast<std::uint8_t>(keptLength);
        }
        kept += 1 + keptLength;
        reader.position += 1 + length;
    }
    // No room for the entries themselves is not a bad file: it leaves the parse as the framework's failure.
    try {
        list.AppendRun(reader.image.bytes, run, static_cast<std::size_t>(kept - run), read);
    } catch (const std::bad_alloc&) {
        throw CMemoryException();
    }
    return read == static_cast<std::size_t>(count);
}

}

std::optional<std::size_t> ReadPString(FileImage image, std::size_t position, std::string& text)
{
    if (position >= image.size)
        return std::nullopt;
    std::size_t length = image.bytes[position];
    if (length > image.size - position - 1)
        return std::nullopt;
    const std::uint8_t* start = image.bytes + position + 1;
    // The string ends at its first NUL byte; the position still passes all its bytes.
    const void* nul = std::memchr(start, 0, length);
    std::size_t kept = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - start) : length;
    try {
        text.assign(reinterpret_cast<const char*>(start), kept);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return position + 1 + length;
}

int ParseRecord(FileImage image, TabrixRecord& record)
{
    SharedImage copy { ImageMemory::Allocate(image.size), image.size };
    if (!copy.bytes)
        return 0;
    if (image.size != 0)
        std::memcpy(copy.bytes.get(), image.bytes, image.size);
    return ParseRecord(std::move(copy), record);
}

int ParseRecord(SharedImage image, TabrixRecord& record)
{
    ImageReader reader { std::move(image) };
    std::uint32_t first = 0;
    if (!reader.ReadWord(first))
        return 0;
    bool newLayout = first >= newLayoutMarker;
    if (reader.image.size < (newLayout ? newFixedPart : oldFixedPart))
        return 0;
    if (newLayout) {
        record.head = first & ~newLayoutMarker;
        if (!reader.ReadHalf(record.version))
            return 0;
    } else {
        record.head = first;
        record.version = version10;
    }
    if (!ReadFixedPart(reader, newLayout, record))
        return 0;
    if (!reader.ReadString(record.leadString))
        return 0;
    if (!ReadList(reader, record.listA) || !ReadList(reader, record.listB))
        return 0;
    if (newLayout)
        return reader.ReadWords(record.tailWords) ? 1 : 0;
    record.tailWords = oldLayoutTailWords;
    return 1;
}
