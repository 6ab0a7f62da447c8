#pragma once

#include <optional>
#include <string>
#include <string_view>

// Text conversions of the command-line tool. Its own output is UTF-8 inside the program;
// the console layer turns it into what the terminal shows.

// The UTF-8 form of Shift-JIS (code page 932) bytes, or nothing when they do not decode, or
// when their text would not encode back to the very same bytes (two codes for one character).
std::optional<std::string> DecodeCp932(std::string_view bytes);

// The UTF-8 form of a command-line argument or path as the system passes it to the program.
std::string ArgumentToUtf8(std::string_view argument);
