// Text conversions through the system's code page tables.
#include "cli/TextCodec.h"

#include "platform/file/WideText.h"

#include <windows.h>

std::optional<std::string> DecodeCp932(std::string_view bytes)
{
    auto wide = ToWide(932, bytes, true);
    if (!wide)
        return std::nullopt;
    auto back = FromWide(932, *wide, true);
    if (!back || *back != bytes)
        return std::nullopt;
    auto text = FromWide(CP_UTF8, *wide, false);
    if (!text)
        return std::nullopt;
    return text;
}

std::string ArgumentToUtf8(std::string_view argument)
{
    auto wide = ToWide(CP_ACP, argument, false);
    if (!wide)
        return std::string(argument);
    auto text = FromWide(CP_UTF8, *wide, false);
    return text ? *text : std::string(argument);
}
