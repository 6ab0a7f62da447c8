// A console gets UTF-16 through WriteConsoleW, so that every character shows whatever its
// code page; a file or a pipe gets the console's output code page, JSON stays UTF-8.
#include "cli/Console.h"

#include "platform/file/WideText.h"

#include <windows.h>

namespace {

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_CHAR
        && ::GetConsoleMode(handle, &mode);
}

void WriteBytes(HANDLE handle, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD request = bytes.size() < 0x10000 ? static_cast<DWORD>(bytes.size()) : 0x10000;
        DWORD put = 0;
        if (!::WriteFile(handle, bytes.data(), request, &put, nullptr) || put == 0)
            return; // nowhere left to report it
        bytes.remove_prefix(put);
    }
}

void WriteConsoleText(HANDLE handle, std::string_view text)
{
    auto wide = ToWide(CP_UTF8, text, false);
    if (!wide)
        return;
    std::wstring_view rest = *wide;
    while (!rest.empty()) {
        DWORD request = rest.size() < 0x4000 ? static_cast<DWORD>(rest.size()) : 0x4000;
        DWORD put = 0;
        if (!::WriteConsoleW(handle, rest.data(), request, &put, nullptr) || put == 0)
            return;
        rest.remove_prefix(put);
    }
}

// Text for a file or a pipe: in the console's output code page, as other console tools write.
void WriteRedirectedText(HANDLE handle, std::string_view text)
{
    UINT codePage = ::GetConsoleOutputCP();
    if (codePage == 0)
        codePage = ::GetACP();
    if (codePage == CP_UTF8) {
        WriteBytes(handle, text);
        return;
    }
    auto wide = ToWide(CP_UTF8, text, false);
    auto bytes = wide ? FromWide(codePage, *wide, false) : std::nullopt;
    WriteBytes(handle, bytes ? std::string_view(*bytes) : text);
}

// Messages into a file or pipe take the console's code page; data goes out as it is.
enum class Redirected { AsText, AsBytes };

void WriteText(DWORD which, std::string_view text, Redirected redirected = Redirected::AsText)
{
    HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return;
    if (IsConsole(handle))
        WriteConsoleText(handle, text);
    else if (redirected == Redirected::AsBytes)
        WriteBytes(handle, text);
    else
        WriteRedirectedText(handle, text);
}

}

StandardConsole::StandardConsole()
    : errIsTerminal(IsConsole(::GetStdHandle(STD_ERROR_HANDLE)))
    , language(PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::Japanese : Language::English)
{
}

StandardConsole::~StandardConsole() = default;

void StandardConsole::Out(std::string_view text)
{
    WriteText(STD_OUTPUT_HANDLE, text);
}

void StandardConsole::OutData(std::string_view text)
{
    WriteText(STD_OUTPUT_HANDLE, text, Redirected::AsBytes);
}

void StandardConsole::Err(std::string_view text)
{
    WriteText(STD_ERROR_HANDLE, text);
}
