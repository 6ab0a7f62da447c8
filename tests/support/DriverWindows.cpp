#include "support/DriverWindows.h"

#include <algorithm>
#include <vector>

namespace driver {

namespace {
constexpr UINT messageTimeout = 5000;

struct DialogSearch {
    DWORD processId;
    const std::function<bool(HWND)>* matches;
    HWND found;
};

BOOL CALLBACK CheckTopLevel(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window) || ClassName(window) != "#32770")
        return TRUE;
    if (!(*search->matches)(window))
        return TRUE;
    search->found = window;
    return FALSE;
}
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(50);
    }
}

HWND FindProcessDialog(DWORD processId, const std::function<bool(HWND)>& matches)
{
    DialogSearch search { processId, &matches, nullptr };
    EnumWindows(CheckTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForProcessDialog(DWORD processId, const std::function<bool(HWND)>& matches, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitFor([&] { return (found = FindProcessDialog(processId, matches)) != nullptr; }, timeoutMs);
    return found;
}

std::string ClassName(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::wstring WideText(HWND window)
{
    DWORD_PTR length = 0;
    if (!window || !SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, messageTimeout, &length))
        return {};
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
            SMTO_ABORTIFHUNG, messageTimeout, &copied))
        return {};
    return std::wstring(buffer.data(), std::min<std::size_t>(copied, length));
}

void SetWideText(HWND window, const std::wstring& text)
{
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, messageTimeout,
        &ignored);
}

void SetText(HWND window, const std::string& text)
{
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, messageTimeout,
        &ignored);
}

void Type(HWND edit, const std::string& text)
{
    for (char c : text)
        PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void Click(HWND button)
{
    PostMessageA(button, BM_CLICK, 0, 0);
}

void PressKey(HWND control, UINT virtualKey)
{
    PostMessageA(control, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(control, WM_KEYUP, virtualKey, 0xC0000001);
}

HWND FileNameEdit(HWND fileDialog)
{
    HWND box = GetDlgItem(fileDialog, 0x47C);
    if (!box)
        return nullptr;
    if (ClassName(box) == "Edit")
        return box;
    // A ComboBoxEx32 holds a ComboBox, which holds the Edit.
    HWND combo = FindWindowExA(box, nullptr, "ComboBox", nullptr);
    HWND edit = FindWindowExA(combo ? combo : box, nullptr, "Edit", nullptr);
    return edit;
}

std::string WindowsPathOf(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::wstring Widen(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    wide.resize(size_t(
        std::max(0, MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), int(wide.size())))));
    return wide;
}

std::string Narrow(const std::wstring& wide)
{
    std::string text(wide.size() * 4, '\0');
    text.resize(size_t(std::max(0,
        WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), text.data(), int(text.size()), nullptr,
            nullptr))));
    return text;
}

std::wstring KovrelPath()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::filesystem::path(self).replace_filename(L"Kovrel.exe").wstring();
}

Process::~Process()
{
    if (!started)
        return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

bool Process::Start(const std::filesystem::path& program, const std::filesystem::path& folder,
    const std::wstring& arguments)
{
    std::wstring command = L"\"" + program.wstring() + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
        folder.empty() ? nullptr : folder.c_str(), &startup, &info);
    return started;
}

HWND StartConverter(Process& kovrel, const std::filesystem::path& folder, const std::wstring& arguments)
{
    if (!kovrel.Start(KovrelPath(), folder, arguments))
        return nullptr;
    return WaitForProcessDialog(
        kovrel.Id(), [](HWND w) { return WideText(w) == converterTitle; }, 60000);
}

}
