#include "cli/OutputPath.h"

#include "platform/file/FileSystem.h"

namespace {

#ifdef _WIN32
constexpr char separator = '\\';
#else
constexpr char separator = '/';
#endif

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
    return path.substr(FolderOf(std::string(path)).size());
}

std::string JoinPath(std::string_view folder, std::string_view name)
{
    std::string joined(folder);
    // A folder named with its separator at the end needs none more.
    if (!folder.empty() && !FileNameOf(std::string(folder)).empty())
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
