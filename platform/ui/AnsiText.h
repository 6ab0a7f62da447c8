#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Texts and paths in the process's ANSI code page: UTF-8 where Windows honours the manifest's
// activeCodePage (10 version 1903 and later), else the system's code page, 932 on a Japanese
// Windows. The program's own resource texts are UTF-16 and pass any of them; the engine's
// messages are Shift-JIS and must be converted.

bool IsUtf8CodePage();

// The bytes of a path buffer that held `units` bytes on a code page of single and double bytes:
// the same there, so nothing changes; in UTF-8 three bytes for every UTF-16 unit (a surrogate
// pair, two units, takes four) and the terminator, so that as many UTF-16 units fit.
DWORD PathBufferBytes(DWORD units);

// UTF-16 units of an ANSI text; the system's path limit counts them.
std::size_t Utf16Length(std::string_view text);

// The longest start of text of at most maxBytes that ends at a character boundary.
std::string CutAtCharacter(std::string_view text, std::size_t maxBytes);

// Shift-JIS (code page 932) bytes in the ANSI code page; unchanged where that is 932.
std::string AnsiFromShiftJis(std::string_view shiftJis);
