#include "platform/ui/ShellFiles.h"

#include "platform/file/WideText.h"

#include <shellapi.h>

#include <vector>

namespace {

// The text of DragQueryFileW's file index, or "" when there is none.
std::wstring DroppedName(HDROP drop, UINT index)
{
    UINT length = DragQueryFileW(drop, index, nullptr, 0);
    if (length == 0)
        return {};
    std::vector<wchar_t> name(std::size_t(length) + 1, L'\0');
    UINT copied = DragQueryFileW(drop, index, name.data(), length + 1);
    return std::wstring(name.data(), copied <= length ? copied : length);
}

std::wstring ShortNameOf(const std::wstring& path)
{
    DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0)
        return {};
    std::vector<wchar_t> name(needed, L'\0');
    DWORD copied = GetShortPathNameW(path.c_str(), name.data(), needed);
    return copied > 0 && copied < needed ? std::wstring(name.data(), copied) : std::wstring();
}

} // namespace

std::string AnsiPathOf(const std::wstring& path)
{
    if (path.empty())
        return {};
    // Strict: a best-fit character would name another file.
    if (auto ansi = FromWide(CP_ACP, path, true))
        return *ansi;
    std::wstring shortName = ShortNameOf(path);
    if (shortName.empty())
        return {};
    auto ansi = FromWide(CP_ACP, shortName, true);
    return ansi ? *ansi : std::string();
}

DroppedFile TakeFirstDroppedFile(HDROP drop)
{
    DroppedFile file { {}, { 0, 0 } };
    if (!drop)
        return file;
    DragQueryPoint(drop, &file.point);
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0)
        file.path = AnsiPathOf(DroppedName(drop, 0));
    DragFinish(drop);
    return file;
}

std::string FirstCommandLineFile()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return {};
    // A name relative to the current folder becomes the full path a browse would give.
    std::string path
        = count > 1 && arguments[1][0] ? AnsiPathOf(FullPathOf(arguments[1]).value_or(arguments[1])) : std::string();
    LocalFree(arguments);
    return path;
}
