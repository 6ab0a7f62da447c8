#include "engine/RecordParser.h"

#include "platform/CFileException.h"

#include <cstring>
#include <new>

namespace {

constexpr std::uint32_t newLayoutMarker = 0xFFFF0000;
constexpr std::size_t oldFixedPart = 280;
constexpr std::size_t newFixedPart = 298;

// The parse position in the image; every read checks what is left first.
struct ImageReader {
    FileImage image;
    std::size_t position = 0;

    std::size_t Remaining() const { return image.size - position; }

    bool ReadWord(std::uint32_t& value)
    {
        if (Remaining() < 4)
            return false;
        const std::uint8_t* p = image.bytes + position;
        value = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
        position += 4;
        return true;
    }

    bool ReadHalf(std::uint16_t& value)
    {
        if (Remaining() < 2)
            return false;
        const std::uint8_t* p = image.bytes + position;
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
        std::memcpy(block.data(), image.bytes + position, block.size());
        position += block.size();
        return true;
    }

    bool ReadString(std::string& text)
    {
        auto next = ReadPString(image, position, text);
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
    record.extWords = { 0, 0, 0, 0 };
    return true;
}

bool ReadList(ImageReader& reader, std::vector<std::string>& list)
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
    // Room for the whole list at once spares the copies of a growing list; it is only a saving,
    // so a count too big for memory still reads entry by entry and fails where the memory ends.
    try {
        list.reserve(list.size() + static_cast<std::size_t>(count));
    } catch (const std::exception&) {
    }
    for (std::int32_t i = 0; i < count; ++i) {
        std::string text;
        if (!reader.ReadString(text))
            return false;
        // No room for the entry itself is not a bad file: it leaves the parse as the framework's failure.
        try {
            list.push_back(std::move(text));
        } catch (const std::bad_alloc&) {
            throw CMemoryException();
        }
    }
    return true;
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
    ImageReader reader { image };
    std::uint32_t first = 0;
    if (!reader.ReadWord(first))
        return 0;
    bool newLayout = first >= newLayoutMarker;
    if (image.size < (newLayout ? newFixedPart : oldFixedPart))
        return 0;
    if (newLayout) {
        record.head = first & 0xFFFF;
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
    record.tailWords = { 2, 1, 2 };
    return 1;
}
