#include "engine/RecordWriters.h"

#include "platform/file/CFile.h"

namespace {

enum class Layout { Old, New };

void WriteWord(CFile& file, std::uint32_t value)
{
    const std::uint8_t bytes[4]
        = { std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16), std::uint8_t(value >> 24) };
    file.Write(bytes, sizeof bytes);
}

void WriteHalf(CFile& file, std::uint16_t value)
{
    const std::uint8_t bytes[2] = { std::uint8_t(value), std::uint8_t(value >> 8) };
    file.Write(bytes, sizeof bytes);
}

// The list's runs are PStrings already: each goes out in one write.
void WriteList(CFile& file, const StringList& list)
{
    WriteWord(file, static_cast<std::uint32_t>(list.size()));
    for (const auto& run : list.Runs())
        file.Write(run.bytes, run.size);
}

// 1.0 and 1.1 know no W4 of 5 or 6: they stand for 4 and 3 there.
std::uint32_t MappedW4(std::uint32_t value)
{
    if (value == 5)
        return 4;
    if (value == 6)
        return 3;
    return value;
}

void WriteFields(CFile& file, const TabrixRecord& record, Layout layout, FormatVersion version, bool mapW4)
{
    if (layout == Layout::New) {
        WriteWord(file, newLayoutMarker | (record.head & ~newLayoutMarker));
        WriteHalf(file, version);
    } else {
        WriteWord(file, record.head);
    }
    for (std::size_t i = 0; i < record.words.size(); ++i)
        WriteWord(file, i == 3 && mapW4 ? MappedW4(record.words[i]) : record.words[i]);
    for (const auto& block : record.blocks)
        file.Write(block.data(), block.size());
    if (layout == Layout::New) {
        for (auto word : record.extWords)
            WriteWord(file, word);
    }
    WritePString(file, record.leadString);
    WriteList(file, record.listA);
    WriteList(file, record.listB);
    if (layout == Layout::New) {
        for (auto word : record.tailWords)
            WriteWord(file, word);
    }
    // The last buffered bytes, inside the writer, so that their failure is the writer's status.
    file.Flush();
}

ConvStatus Write(CFile& file, const TabrixRecord& record, Layout layout, FormatVersion version, bool mapW4)
{
    try {
        WriteFields(file, record, layout, version, mapW4);
    } catch (const CFileException& failure) {
        return StatusFromCause(failure.cause);
    }
    return Success;
}

}

void WritePString(CFile& file, std::string_view text)
{
    // A PString holds at most 255 bytes; a longer string would make the rest of the file unreadable.
    const std::size_t kept = text.size() < maxStringLength ? text.size() : maxStringLength;
    const std::uint8_t length = static_cast<std::uint8_t>(kept);
    file.Write(&length, 1);
    file.Write(text.data(), kept);
}

ConvStatus WriteVersion10(CFile& file, const TabrixRecord& record)
{
    return Write(file, record, Layout::Old, version10, true);
}

ConvStatus WriteVersion11(CFile& file, const TabrixRecord& record)
{
    return Write(file, record, Layout::New, version11, true);
}

ConvStatus WriteVersion12(CFile& file, const TabrixRecord& record)
{
    return Write(file, record, Layout::New, version12, false);
}

ConvStatus WriteVersion(CFile& file, const TabrixRecord& record, FormatVersion version)
{
    switch (version) {
    case version10:
        return WriteVersion10(file, record);
    case version11:
        return WriteVersion11(file, record);
    case version12:
        return WriteVersion12(file, record);
    default:
        return BadFormat;
    }
}
