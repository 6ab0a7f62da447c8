#include "platform/file/WideText.h"

#include <climits>
#include <windows.h>

std::optional<std::wstring> ToWide(unsigned codePage, std::string_view bytes, bool strict)
{
    if (bytes.empty())
        return std::wstring();
    if (bytes.size() > INT_MAX)
        return std::nullopt;
    DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
    int size = static_cast<int>(bytes.size());
    int needed = ::MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    if (needed <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    if (::MultiByteToWideChar(codePage, flags, bytes.data(), size, wide.data(), needed) != needed)
        return std::nullopt;
    return wide;
}

std::optional<std::string> FromWide(unsigned codePage, std::wstring_view text, bool strict)
{
    if (text.empty())
        return std::string();
    if (text.size() > INT_MAX)
        return std::nullopt;
    int size = static_cast<int>(text.size());
    // UTF-8 and UTF-7 take neither flag nor the used-default test.
    bool utf = codePage == CP_UTF8 || codePage == CP_UTF7;
    DWORD flags = strict && !utf ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = strict && !utf ? &usedDefault : nullptr;
    int needed = ::WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, usedDefaultOut);
    if (needed <= 0 || usedDefault)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    if (::WideCharToMultiByte(codePage, flags, text.data(), size, bytes.data(), needed, nullptr, usedDefaultOut)
            != needed
        || usedDefault)
        return std::nullopt;
    return bytes;
}

std::optional<std::wstring> FullPathOf(const std::wstring& path)
{
    DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return std::nullopt;
    std::wstring full(needed, L'\0');
    DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return std::nullopt;
    full.resize(length);
    return full;
}
