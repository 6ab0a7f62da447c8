#pragma once

#include <windows.h>

#include <string>

// The full path of a loaded module (null: the executable), any length.
std::string GetModulePath(HMODULE module);
// "C:\dir\Name.exe" -> "Name": no folder, no extension. Double-byte aware, so that a
// trail byte 0x5C of the ANSI code page is not taken for a backslash.
std::string FileTitleOf(const std::string& path);
// The path with its extension replaced by (or, without one, extended by) extension.
std::string WithExtension(const std::string& path, const char* extension);
