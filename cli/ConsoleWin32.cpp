// A console gets UTF-16 through WriteConsoleW, so that every character shows whatever its
// code page; a file or a pipe gets the console's output code page, JSON stays UTF-8.
#include "cli/Console.h"

#include "platform/file/FileErrorCause.h"
#include "platform/file/WideText.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace {

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_CHAR
        && ::GetConsoleMode(handle, &mode);
}

// The error of a write that failed; one that took nothing without an error has failed all the same.
DWORD WriteError()
{
    DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

// ERROR_SUCCESS, or the error of the write that failed.
DWORD WriteBytes(HANDLE handle, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD request = bytes.size() < 0x10000 ? static_cast<DWORD>(bytes.size()) : 0x10000;
        DWORD put = 0;
        if (!::WriteFile(handle, bytes.data(), request, &put, nullptr) || put == 0)
            return WriteError();
        bytes.remove_prefix(put);
    }
    return ERROR_SUCCESS;
}

DWORD WriteConsoleText(HANDLE handle, std::string_view text)
{
    auto wide = ToWide(CP_UTF8, text, false);
    if (!wide)
        return ERROR_SUCCESS;
    std::wstring_view rest = *wide;
    while (!rest.empty()) {
        DWORD request = rest.size() < 0x4000 ? static_cast<DWORD>(rest.size()) : 0x4000;
        DWORD put = 0;
        if (!::WriteConsoleW(handle, rest.data(), request, &put, nullptr) || put == 0)
            return WriteError();
        rest.remove_prefix(put);
    }
    return ERROR_SUCCESS;
}

// Text for a file or a pipe: in the console's output code page, as other console tools write.
DWORD WriteRedirectedText(HANDLE handle, std::string_view text)
{
    UINT codePage = ::GetConsoleOutputCP();
    if (codePage == 0)
        codePage = ::GetACP();
    if (codePage == CP_UTF8)
        return WriteBytes(handle, text);
    auto wide = ToWide(CP_UTF8, text, false);
    auto bytes = wide ? FromWide(codePage, *wide, false) : std::nullopt;
    return WriteBytes(handle, bytes ? std::string_view(*bytes) : text);
}

// Messages into a file or pipe take the console's code page; data goes out as it is.
enum class Redirected { AsText, AsBytes };

DWORD WriteTo(HANDLE handle, std::string_view text, Redirected redirected)
{
    // A program started without the stream (detached, or with it closed) cannot write to it.
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return ERROR_INVALID_HANDLE;
    if (IsConsole(handle))
        return WriteConsoleText(handle, text);
    if (redirected == Redirected::AsBytes)
        return WriteBytes(handle, text);
    return WriteRedirectedText(handle, text);
}

// A reader that closed its end of the pipe: Windows says ERROR_NO_DATA, Wine ERROR_PIPE_NOT_CONNECTED.
bool ReaderGone(DWORD error)
{
    return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
}

// What a write that failed with error ends the run with.
WriteFailure FailureOf(DWORD error, FileErrorCause cause, bool onErr)
{
    // An absent stream is no file that was not found: 9, as a closed descriptor gives on POSIX.
    const ConvStatus status = error == ERROR_INVALID_HANDLE ? CannotOpen : StatusFromCause(cause);
    return WriteFailure { status, ReaderGone(error), onErr };
}

// Nothing, or why the text did not arrive.
std::optional<WriteFailure> WriteText(DWORD which, std::string_view text, Redirected redirected = Redirected::AsText)
{
    const DWORD error = WriteTo(::GetStdHandle(which), text, redirected);
    if (error == ERROR_SUCCESS)
        return std::nullopt;
    return FailureOf(error, CauseFromWin32Error(error), which == STD_ERROR_HANDLE);
}

// The stream as raw bytes: the runtime's own reads and writes of it translate no line ends either.
FileSystem::Handle BinaryStream(FILE* stream, DWORD which)
{
    ::_setmode(::_fileno(stream), _O_BINARY);
    const HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return FileSystem::noHandle;
    return reinterpret_cast<FileSystem::Handle>(handle);
}

}

WriteFailure OutputFailure(const FileError& error)
{
    return FailureOf(static_cast<DWORD>(error.osError), error.cause, false);
}

StandardConsole::StandardConsole()
    : errIsTerminal(IsConsole(::GetStdHandle(STD_ERROR_HANDLE)))
    , language(PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::Japanese : Language::English)
{
}

StandardConsole::~StandardConsole() = default;

void StandardConsole::Out(std::string_view text)
{
    if (!failure)
        Keep(WriteText(STD_OUTPUT_HANDLE, text));
}

void StandardConsole::OutData(std::string_view text)
{
    if (!failure)
        Keep(WriteText(STD_OUTPUT_HANDLE, text, Redirected::AsBytes));
}

void StandardConsole::Err(std::string_view text)
{
    if (!failure || !failure->onErr)
        Keep(WriteText(STD_ERROR_HANDLE, text));
}

FileSystem::Handle StandardConsole::StandardInput()
{
    return BinaryStream(stdin, STD_INPUT_HANDLE);
}

FileSystem::Handle StandardConsole::StandardOutput()
{
    return BinaryStream(stdout, STD_OUTPUT_HANDLE);
}
