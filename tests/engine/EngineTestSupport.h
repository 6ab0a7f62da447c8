#pragma once

// Tabrix files built byte by byte on the test's side, the bytes a conversion must give,
// and a file that keeps what a writer writes, in memory.

#include "engine/FormatVersion.h"
#include "engine/RecordParser.h"
#include "platform/CFile.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace engine_support {

using Bytes = std::vector<std::uint8_t>;

// A string list as it is stored: the signed count, then (for a count above 0) the entries.
struct StoredList {
    std::int32_t count = 0;
    std::vector<std::string> entries;

    static StoredList Of(std::vector<std::string> entries)
    {
        return { static_cast<std::int32_t>(entries.size()), std::move(entries) };
    }
    static StoredList Negative(std::int32_t count) { return { count, {} }; }
};

// Every stored field of one file. Strings are raw bytes and may hold NUL bytes.
struct SourceFile {
    bool newLayout = false;
    std::uint32_t headWord = 0;  // the whole first word, as stored
    std::uint16_t version = 0;   // new layout only
    std::array<std::uint32_t, 9> words {};
    std::array<std::uint8_t, 4> blockSeeds { 0x10, 0x50, 0x90, 0xD0 };
    std::array<std::uint32_t, 4> extWords {};  // new layout only
    std::array<std::uint32_t, 3> tailWords {}; // new layout only
    std::string lead;
    StoredList listA;
    StoredList listB;
    Bytes trailing; // after the last field
};

inline void PutWord(Bytes& bytes, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void PutPString(Bytes& bytes, const std::string& text)
{
    bytes.push_back(static_cast<std::uint8_t>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
}

inline void PutList(Bytes& bytes, const StoredList& list)
{
    PutWord(bytes, static_cast<std::uint32_t>(list.count));
    for (const auto& entry : list.entries)
        PutPString(bytes, entry);
}

// 60 bytes that differ inside a block and from block to block, zeros and 0xFF among them.
inline void PutBlock(Bytes& bytes, std::uint8_t seed)
{
    for (int i = 0; i < 60; ++i)
        bytes.push_back(static_cast<std::uint8_t>(seed + i * 13));
}

inline Bytes Encode(const SourceFile& file)
{
    Bytes bytes;
    PutWord(bytes, file.headWord);
    if (file.newLayout) {
        bytes.push_back(static_cast<std::uint8_t>(file.version));
        bytes.push_back(static_cast<std::uint8_t>(file.version >> 8));
    }
    for (auto word : file.words)
        PutWord(bytes, word);
    for (auto seed : file.blockSeeds)
        PutBlock(bytes, seed);
    if (file.newLayout) {
        for (auto word : file.extWords)
            PutWord(bytes, word);
    }
    PutPString(bytes, file.lead);
    PutList(bytes, file.listA);
    PutList(bytes, file.listB);
    if (file.newLayout) {
        for (auto word : file.tailWords)
            PutWord(bytes, word);
    }
    bytes.insert(bytes.end(), file.trailing.begin(), file.trailing.end());
    return bytes;
}

inline std::string CutAtNul(const std::string& text)
{
    return text.substr(0, text.find('\0'));
}

// The file that converting source to target must give, by the conversion rules.
inline SourceFile Converted(const SourceFile& source, FormatVersion target)
{
    SourceFile result = source;
    const std::uint32_t head = source.newLayout ? source.headWord & 0xFFFF : source.headWord;
    result.newLayout = target != version10;
    result.headWord = result.newLayout ? 0xFFFF0000u | (head & 0xFFFF) : head;
    result.version = target;
    if (target != version12) {
        std::uint32_t& w4 = result.words[3];
        w4 = w4 == 5 ? 4 : w4 == 6 ? 3 : w4;
    }
    if (!source.newLayout) {
        result.extWords = { 0, 0, 0, 0 };
        result.tailWords = { 2, 1, 2 };
    }
    result.lead = CutAtNul(source.lead);
    for (StoredList* list : { &result.listA, &result.listB }) {
        if (list->count < 0)
            list->count = 0;
        for (auto& entry : list->entries)
            entry = CutAtNul(entry);
    }
    result.trailing.clear();
    return result;
}

// The bytes copied into a heap block of exactly their size, so that a read past them is caught.
class ExactImage {
public:
    ExactImage(const Bytes& bytes, std::size_t size)
        : block(new std::uint8_t[size])
        , size(size)
    {
        if (size != 0)
            std::memcpy(block.get(), bytes.data(), size);
    }
    explicit ExactImage(const Bytes& bytes)
        : ExactImage(bytes, bytes.size())
    {
    }
    FileImage Image() const { return { block.get(), size }; }

private:
    std::unique_ptr<std::uint8_t[]> block;
    std::size_t size;
};

// Keeps every byte written. Can fail the write that would pass byte failAfter, or the flush.
class CollectingFile : public CFile {
public:
    void Write(const void* buffer, std::size_t count) override
    {
        ++writeCalls;
        if (count == 0)
            return;
        if (failing && bytes.size() + count > failAfter) {
            ++failedWrites;
            throw CFileException(cause, -1, "collected");
        }
        auto* data = static_cast<const std::uint8_t*>(buffer);
        bytes.insert(bytes.end(), data, data + count);
    }
    void Flush() override
    {
        ++flushCalls;
        if (failFlush)
            throw CFileException(cause, -1, "collected");
    }

    void FailAfter(std::size_t byteCount, FileErrorCause withCause)
    {
        failing = true;
        failAfter = byteCount;
        cause = withCause;
    }

    Bytes bytes;
    int writeCalls = 0;
    int failedWrites = 0;
    int flushCalls = 0;
    bool failFlush = false;
    FileErrorCause cause = FileErrorCause::None;

private:
    bool failing = false;
    std::size_t failAfter = 0;
};

}
