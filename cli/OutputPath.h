#pragma once

#include <string>
#include <string_view>

// The file name of a path, without its folders (and drive, on Windows).
std::string_view FileNamePart(std::string_view path);

// folder and name joined by one separator; a folder that ends in one gets no second.
std::string JoinPath(std::string_view folder, std::string_view name);

// The same text for exactly the file names that are one file in a folder.
std::string FileNameKey(std::string_view name);

// Whether two file names would be the same file in one folder.
bool SameFileName(std::string_view a, std::string_view b);
