#include "platform/ui/ModulePath.h"

#include "platform/file/FileSystem.h"

#include <vector>

namespace {

// Where the extension of path's file name starts (its last '.'), or the end of path.
std::size_t ExtensionStart(const std::string& path)
{
    const std::size_t nameStart = FolderOf(path).size();
    const std::size_t dot = path.rfind('.');
    return dot == std::string::npos || dot < nameStart ? path.size() : dot;
}

} // namespace

std::string GetModulePath(HMODULE module)
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameA(module, buffer.data(), DWORD(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        if (buffer.size() >= 32768)
            return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::string FileTitleOf(const std::string& path)
{
    const std::size_t nameStart = FolderOf(path).size();
    return path.substr(nameStart, ExtensionStart(path) - nameStart);
}

std::string WithExtension(const std::string& path, const char* extension)
{
    return path.substr(0, ExtensionStart(path)) + extension;
}
