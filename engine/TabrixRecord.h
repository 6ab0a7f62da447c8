#pragma once

#include "engine/FormatVersion.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The content of one Tabrix file, the same fields whatever version wrote it.
struct TabrixRecord {
    static constexpr std::size_t blockSize = 60;
    using Block = std::array<std::uint8_t, blockSize>;

    std::uint32_t head = 0;
    std::array<std::uint32_t, 9> words {};   // W1..W9
    std::array<Block, 4> blocks {};          // B1..B4
    std::array<std::uint32_t, 4> extWords {}; // X1..X4
    std::array<std::uint32_t, 3> tailWords {}; // T1..T3
    std::string leadString;
    std::vector<std::string> listA;
    std::vector<std::string> listB;
    FormatVersion version = 0;
};
