#pragma once

// Windows only: between a code page's bytes and UTF-16, for the dialog's texts and tbxconv's console.

#include <optional>
#include <string>
#include <string_view>

// strict: fail on bytes that do not decode instead of putting a default character in.
std::optional<std::wstring> ToWide(unsigned codePage, std::string_view bytes, bool strict);
// strict: fail when a character has no code of its own in the code page (no best fit).
std::optional<std::string> FromWide(unsigned codePage, std::wstring_view text, bool strict);
// The full path that Windows makes of path (from the current folder); nothing when it cannot.
std::optional<std::wstring> FullPathOf(const std::wstring& path);
