#include "platform/ui/AnsiText.h"

#include "platform/file/WideText.h"

namespace {

constexpr UINT shiftJisCodePage = 932;
constexpr DWORD utf8BytesPerUnit = 3;

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
    auto wide = ToWide(CP_ACP, text, false);
    return wide ? wide->size() : 0;
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
    auto wide = ToWide(shiftJisCodePage, shiftJis, false);
    auto text = wide ? FromWide(CP_ACP, *wide, false) : std::nullopt;
    return text ? *text : std::string();
}
