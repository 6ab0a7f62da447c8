#include "platform/ModulePath.h"

#include <vector>

namespace {

struct NameParts {
    size_t nameStart = 0;                      // first byte after the last folder separator
    size_t extensionStart = std::string::npos; // the last '.' of the name, if any
};

NameParts SplitName(const std::string& path)
{
    NameParts parts;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(path[i]);
        if (IsDBCSLeadByte(byte) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (byte == '\\' || byte == '/' || byte == ':') {
            parts.nameStart = i + 1;
            parts.extensionStart = std::string::npos;
        } else if (byte == '.') {
            parts.extensionStart = i;
        }
    }
    return parts;
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
    NameParts parts = SplitName(path);
    size_t end = parts.extensionStart == std::string::npos ? path.size() : parts.extensionStart;
    return path.substr(parts.nameStart, end - parts.nameStart);
}

std::string WithExtension(const std::string& path, const char* extension)
{
    NameParts parts = SplitName(path);
    std::string stem = parts.extensionStart == std::string::npos ? path : path.substr(0, parts.extensionStart);
    return stem + extension;
}
