#include "cli/OutputPath.h"

#include "cli/TextCodec.h"

namespace {

#ifdef _WIN32
constexpr char separator = '\\';
bool IsSeparator(char c)
{
    return c == '\\' || c == '/' || c == ':';
}
#else
constexpr char separator = '/';
bool IsSeparator(char c)
{
    return c == '/';
}
#endif

// The offset after the last separator, and whether the path ends in one. A separator byte
// that is the second byte of a double-byte character is part of that character.
struct SeparatorScan {
    std::size_t nameStart = 0;
    bool endsInSeparator = false;
};

SeparatorScan ScanSeparators(std::string_view path)
{
    SeparatorScan scan;
    for (std::size_t i = 0; i < path.size(); ++i) {
        scan.endsInSeparator = false;
        if (IsPathLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (IsSeparator(path[i])) {
            scan.nameStart = i + 1;
            scan.endsInSeparator = true;
        }
    }
    return scan;
}

char FoldCase(char c)
{
#ifdef _WIN32
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
#else
    return c;
#endif
}

}

std::string_view FileNamePart(std::string_view path)
{
    return path.substr(ScanSeparators(path).nameStart);
}

std::string JoinPath(std::string_view folder, std::string_view name)
{
    std::string joined(folder);
    if (!folder.empty() && !ScanSeparators(folder).endsInSeparator)
        joined += separator;
    joined += name;
    return joined;
}

std::string FileNameKey(std::string_view name)
{
    std::string key(name);
    for (char& c : key)
        c = FoldCase(c);
    return key;
}

bool SameFileName(std::string_view a, std::string_view b)
{
    return FileNameKey(a) == FileNameKey(b);
}
