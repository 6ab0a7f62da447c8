// Finds and drives the program's dialogs from outside, for scripts/screenshot. Runs under Wine
// beside Kovrel.exe and speaks to its windows only through messages, as a user's clicks would.
//
//   screenshot-helper wait TITLE SECONDS     waits for the dialog, lets it paint, prints its
//                                            screen rectangle as WIDTHxHEIGHT+X+Y
//   screenshot-helper gone TITLE SECONDS     waits until no visible dialog has that title
//   screenshot-helper syscommand TITLE ID    posts WM_SYSCOMMAND ID to the dialog
//   screenshot-helper close TITLE            posts WM_CLOSE to the dialog
//
// Exit status 0 on success, 1 on a usage error, 2 when the dialog is not there (in time).
// Titles are taken from the wide command line so that they do not depend on the code page.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t dialogClass[] = L"#32770";
constexpr DWORD pollIntervalMs = 50;
constexpr UINT messageTimeoutMs = 5000;

HWND FindVisibleDialog(const std::wstring& title)
{
    HWND window = FindWindowW(dialogClass, title.c_str());
    return window && IsWindowVisible(window) ? window : nullptr;
}

HWND WaitForDialog(const std::wstring& title, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = FindVisibleDialog(title))
            return window;
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(pollIntervalMs);
    }
}

// Active, as a program just started by the user is; the dialog's thread has handled everything
// queued before this, and has painted all of it.
bool SettleDialog(HWND window)
{
    // Without a window manager the keyboard focus follows the pointer: it must be over the dialog.
    RECT rectangle {};
    if (GetWindowRect(window, &rectangle))
        SetCursorPos((rectangle.left + rectangle.right) / 2, rectangle.top + GetSystemMetrics(SM_CYCAPTION) / 2);
    SetForegroundWindow(window);
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, messageTimeoutMs, &ignored))
        return false;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, messageTimeoutMs, &ignored) != 0;
}

bool ReadSeconds(const wchar_t* text, unsigned long& seconds)
{
    wchar_t* end = nullptr;
    seconds = std::wcstoul(text, &end, 10);
    if (end == text || *end != L'\0' || seconds == 0 || seconds > 600) {
        std::fprintf(stderr, "screenshot-helper: SECONDS must be 1 to 600\n");
        return false;
    }
    return true;
}

int Wait(const std::wstring& title, const wchar_t* secondsText)
{
    unsigned long seconds = 0;
    if (!ReadSeconds(secondsText, seconds))
        return 1;
    HWND window = WaitForDialog(title, static_cast<DWORD>(seconds * 1000));
    if (!window) {
        std::fprintf(stderr, "screenshot-helper: no dialog with that title after %lu s\n", seconds);
        return 2;
    }
    if (!SettleDialog(window)) {
        std::fprintf(stderr, "screenshot-helper: the dialog does not answer\n");
        return 2;
    }
    RECT rectangle {};
    if (!GetWindowRect(window, &rectangle)) {
        std::fprintf(stderr, "screenshot-helper: the dialog went away\n");
        return 2;
    }
    std::printf("%ldx%ld+%ld+%ld\n", rectangle.right - rectangle.left, rectangle.bottom - rectangle.top,
        rectangle.left, rectangle.top);
    return 0;
}

int WaitGone(const std::wstring& title, const wchar_t* secondsText)
{
    unsigned long seconds = 0;
    if (!ReadSeconds(secondsText, seconds))
        return 1;
    DWORD start = GetTickCount();
    while (FindVisibleDialog(title)) {
        if (GetTickCount() - start >= seconds * 1000) {
            std::fprintf(stderr, "screenshot-helper: the dialog is still there after %lu s\n", seconds);
            return 2;
        }
        Sleep(pollIntervalMs);
    }
    return 0;
}

int Post(const std::wstring& title, UINT message, WPARAM wParam)
{
    HWND window = FindVisibleDialog(title);
    if (!window) {
        std::fprintf(stderr, "screenshot-helper: no dialog with that title\n");
        return 2;
    }
    return PostMessageW(window, message, wParam, 0) ? 0 : 2;
}

int SysCommand(const std::wstring& title, const wchar_t* idText)
{
    wchar_t* end = nullptr;
    unsigned long id = std::wcstoul(idText, &end, 10);
    if (end == idText || *end != L'\0' || id > 0xFFFF) {
        std::fprintf(stderr, "screenshot-helper: ID must be a number up to 65535\n");
        return 1;
    }
    return Post(title, WM_SYSCOMMAND, static_cast<WPARAM>(id));
}

int Usage()
{
    std::fprintf(stderr, "usage: screenshot-helper wait|gone TITLE SECONDS | syscommand TITLE ID | close TITLE\n");
    return 1;
}

int Run(int count, wchar_t** arguments)
{
    if (count < 3)
        return Usage();
    std::wstring command = arguments[1];
    std::wstring title = arguments[2];
    if (command == L"wait" && count == 4)
        return Wait(title, arguments[3]);
    if (command == L"gone" && count == 4)
        return WaitGone(title, arguments[3]);
    if (command == L"syscommand" && count == 4)
        return SysCommand(title, arguments[3]);
    if (command == L"close" && count == 3)
        return Post(title, WM_CLOSE, 0);
    return Usage();
}

}

int main()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) {
        std::fprintf(stderr, "screenshot-helper: cannot read the command line\n");
        return 1;
    }
    int status = Run(count, arguments);
    LocalFree(arguments);
    return status;
}
