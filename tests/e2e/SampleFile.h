#pragma once

#include "support/TabrixBytes.h"

#include <cstdint>
#include <vector>

// The sample documents of the dialog suites.

// One document in the new layout; w4 and the version are what the conversions change.
inline std::vector<std::uint8_t> NewLayoutFile(std::uint16_t version, std::uint32_t w4)
{
    TabrixBytes file;
    file.Half(0x1234).Half(0xFFFF).Half(version);
    for (std::uint32_t w = 1; w <= 9; ++w)
        file.Word(w == 4 ? w4 : 0x01000000u * w + w);
    for (std::uint8_t b = 1; b <= 4; ++b)
        file.Block(static_cast<std::uint8_t>(b * 31));
    for (std::uint32_t x = 1; x <= 4; ++x)
        file.Word(0x11111111u * x);
    file.PString("Lead \x83\x41");
    file.List({ "alpha", "", "gamma" });
    file.List({ "b" });
    file.Word(7).Word(8).Word(9);
    return file.bytes;
}

// The same kind of document in the old layout of version 1.0.
inline std::vector<std::uint8_t> OldLayoutFile(std::uint32_t head, std::uint32_t w4)
{
    TabrixBytes file;
    file.Word(head);
    for (std::uint32_t w = 1; w <= 9; ++w)
        file.Word(w == 4 ? w4 : 0x01000000u * w + w);
    for (std::uint8_t b = 1; b <= 4; ++b)
        file.Block(static_cast<std::uint8_t>(b * 31));
    file.PString("Lead \x83\x41");
    file.List({ "alpha", "", "gamma" });
    file.List({ "b" });
    return file.bytes;
}
