#pragma once

#include <array>
#include <cstdint>
#include <string>

// Major number in the high byte, minor number in the low byte; stored little-endian in files
// of the new layout, so the minor byte comes first.
using FormatVersion = std::uint16_t;

constexpr FormatVersion MakeVersion(std::uint8_t major, std::uint8_t minor)
{
    return static_cast<FormatVersion>(major << 8 | minor);
}
constexpr std::uint8_t VersionMajor(FormatVersion version)
{
    return static_cast<std::uint8_t>(version >> 8);
}
constexpr std::uint8_t VersionMinor(FormatVersion version)
{
    return static_cast<std::uint8_t>(version & 0xFF);
}

inline constexpr FormatVersion version10 = MakeVersion(1, 0);
inline constexpr FormatVersion version11 = MakeVersion(1, 1);
inline constexpr FormatVersion version12 = MakeVersion(1, 2);
// The versions that a save can write, oldest first.
inline constexpr std::array<FormatVersion, 3> knownVersions { version10, version11, version12 };

constexpr bool IsKnownVersion(FormatVersion version)
{
    for (FormatVersion known : knownVersions)
        if (known == version)
            return true;
    return false;
}

// "major.minor", the version as users read and type it ("1.2").
inline std::string VersionText(FormatVersion version)
{
    return std::to_string(VersionMajor(version)) + "." + std::to_string(VersionMinor(version));
}
