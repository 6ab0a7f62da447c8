#pragma once

// Builds the bytes of a Tabrix file field by field, little-endian, as the layouts give them:
// the tests' own encoder, independent of the engine's writers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TabrixBytes {
public:
    TabrixBytes& Word(std::uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<std::uint8_t>(value >> shift));
        return *this;
    }
    TabrixBytes& Half(std::uint16_t value)
    {
        bytes.push_back(static_cast<std::uint8_t>(value));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
        return *this;
    }
    TabrixBytes& Fill(std::size_t count, std::uint8_t value)
    {
        bytes.insert(bytes.end(), count, value);
        return *this;
    }
    // 60 opaque bytes that differ from block to block.
    TabrixBytes& Block(std::uint8_t seed)
    {
        for (int i = 0; i < 60; ++i)
            bytes.push_back(static_cast<std::uint8_t>(seed + i * 7));
        return *this;
    }
    TabrixBytes& PString(const std::string& text)
    {
        bytes.push_back(static_cast<std::uint8_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    TabrixBytes& List(const std::vector<std::string>& entries)
    {
        Word(static_cast<std::uint32_t>(entries.size()));
        for (const std::string& entry : entries)
            PString(entry);
        return *this;
    }

    std::vector<std::uint8_t> bytes;
};
