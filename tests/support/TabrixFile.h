#pragma once

// Tabrix files built field by field on the tests' side, little-endian as the layouts give them:
// the tests' one encoder of the layout, independent of the engine's writers. Every suite and the
// fuzzer's seed writer build their files here.

#include "engine/FormatVersion.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// The upper half of the first word that marks the new layout.
inline constexpr std::uint32_t newLayoutMark = 0xFFFF0000;
inline constexpr std::size_t blockSize = 60;

// A string list as it is stored: the signed count, then (for a count above 0) the entries.
struct StoredList {
    std::int32_t count = 0;
    std::vector<std::string> entries;

    StoredList() = default;
    StoredList(std::vector<std::string> list)
        : count(static_cast<std::int32_t>(list.size()))
        , entries(std::move(list))
    {
    }
    StoredList(std::initializer_list<std::string> list)
        : StoredList(std::vector<std::string>(list))
    {
    }
    static StoredList Negative(std::int32_t count)
    {
        StoredList list;
        list.count = count;
        return list;
    }
};

// Every stored field of one file. Strings are raw bytes and may hold NUL bytes.
struct TabrixFields {
    bool newLayout = false;
    std::uint32_t headWord = 0; // the whole first word, as stored
    FormatVersion version = 0;  // new layout only
    std::array<std::uint32_t, 9> words {};
    // Byte i of block b is blockSeeds[b] + i * blockStep: a step of 0 fills the block with its seed.
    std::array<std::uint8_t, 4> blockSeeds { 0x10, 0x50, 0x90, 0xD0 };
    std::uint8_t blockStep = 13;
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

inline std::array<std::uint8_t, blockSize> BlockOf(const TabrixFields& file, std::size_t index)
{
    std::array<std::uint8_t, blockSize> block {};
    for (std::size_t i = 0; i < blockSize; ++i)
        block[i] = static_cast<std::uint8_t>(file.blockSeeds[index] + i * file.blockStep);
    return block;
}

inline Bytes Encode(const TabrixFields& file)
{
    Bytes bytes;
    PutWord(bytes, file.headWord);
    if (file.newLayout) {
        bytes.push_back(static_cast<std::uint8_t>(file.version));
        bytes.push_back(static_cast<std::uint8_t>(file.version >> 8));
    }
    for (auto word : file.words)
        PutWord(bytes, word);
    for (std::size_t b = 0; b < file.blockSeeds.size(); ++b) {
        const auto block = BlockOf(file, b);
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    if (file.newLayout) {
        for (auto word : file.extWords)
            PutWord(bytes, word);
    }
    PutPString(bytes, file.lead);
    for (const StoredList* list : { &file.listA, &file.listB }) {
        PutWord(bytes, static_cast<std::uint32_t>(list->count));
        for (const auto& entry : list->entries)
            PutPString(bytes, entry);
    }
    if (file.newLayout) {
        for (auto word : file.tailWords)
            PutWord(bytes, word);
    }
    bytes.insert(bytes.end(), file.trailing.begin(), file.trailing.end());
    return bytes;
}

// The fields in the old layout, the head word as given.
inline Bytes OldLayout(TabrixFields file)
{
    file.newLayout = false;
    return Encode(file);
}

// The fields in the new layout with this version field; the head word's lower half under the marker.
inline TabrixFields AsNewLayout(TabrixFields file, FormatVersion version)
{
    file.newLayout = true;
    file.headWord = newLayoutMark | (file.headWord & 0xFFFF);
    file.version = version;
    return file;
}
inline Bytes NewLayout(const TabrixFields& file, FormatVersion version)
{
    return Encode(AsNewLayout(file, version));
}

inline std::string CutAtNul(const std::string& text)
{
    return text.substr(0, text.find('\0'));
}

// The file that converting source to target must give, by the conversion rules.
inline TabrixFields Converted(const TabrixFields& source, FormatVersion target)
{
    TabrixFields result = source;
    const std::uint32_t head = source.newLayout ? source.headWord & 0xFFFF : source.headWord;
    result.newLayout = target != version10;
    result.headWord = result.newLayout ? newLayoutMark | (head & 0xFFFF) : head;
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
