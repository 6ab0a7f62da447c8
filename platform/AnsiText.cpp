#include "platform/AnsiText.h"

#include <climits>

namespace {

constexpr UINT shiftJisCodePage = 932;
constexpr DWORD utf8BytesPerUnit = 3;

std::wstring ToUtf16(UINT codePage, std::string_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    int size = static_cast<int>(text.size());
    int units = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (units <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), units);
    return wide;
}

std::string FromUtf16(UINT codePage, std::wstring_view wide)
{
    if (wide.empty() || wide.size() > INT_MAX)
        return {};
    int units = static_cast<int>(wide.size());
    int size = WideCharToMultiByte(codePage, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), units, text.data(), size, nullptr, nullptr);
    return text;
}

bool IsUtf8Continuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

} // namespace

bool IsUtf8CodePage()
{
    return GetACP() == CP_UTF8;
}

DWORD PathBufferBytes(DWORD units)
{
    return IsUtf8CodePage() ? units * utf8BytesPerUnit + 1 : units;
}

std::size_t Utf16Length(std::string_view text)
{
    return ToUtf16(CP_ACP, text).size();
}

std::string CutAtCharacter(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return std::string(text);
    std::size_t end = 0;
    if (IsUtf8CodePage()) {
        end = maxBytes;
        while (end > 0 && IsUtf8Continuation(static_cast<unsigned char>(text[end])))
            --end;
    } else {
        // A code page of single and double bytes: whole characters, a lead byte with its trail.
        while (end < maxBytes) {
            std::size_t width = IsDBCSLeadByte(static_cast<BYTE>(text[end])) ? 2 : 1;
            if (end + width > maxBytes)
                break;
            end += width;
        }
    }
    return std::string(text.substr(0, end));
}

std::string AnsiFromShiftJis(std::string_view shiftJis)
{
    if (GetACP() == shiftJisCodePage)
        return std::string(shiftJis);
    return FromUtf16(CP_ACP, ToUtf16(shiftJisCodePage, shiftJis));
}
