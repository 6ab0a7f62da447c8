#pragma once

#include <cstdint>

// Major number in the high byte, minor number in the low byte.
using FormatVersion = std::uint16_t;

inline constexpr FormatVersion version10 = 0x0100;
inline constexpr FormatVersion version11 = 0x0101;
inline constexpr FormatVersion version12 = 0x0102;
