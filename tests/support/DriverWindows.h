#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>

// Finding another process's windows and giving them input, every wait bounded.
namespace driver {

constexpr DWORD defaultTimeout = 20000;
// The converter dialog's title.
inline const std::wstring converterTitle = L"Tabrix ファイルコンバータ";

// Polls until condition holds or timeoutMs passed; true when it held.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = defaultTimeout);

// The first visible top-level dialog (#32770) of the process that matches, or null.
HWND FindProcessDialog(DWORD processId, const std::function<bool(HWND)>& matches);
HWND WaitForProcessDialog(DWORD processId, const std::function<bool(HWND)>& matches, DWORD timeoutMs = defaultTimeout);

std::string ClassName(HWND window);
// The text through WM_GETTEXT, which edit controls of other processes need; "" on timeout.
// Texts come from the program as UTF-16: its code page may not be this process's.
std::wstring WideText(HWND window);
void SetWideText(HWND window, const std::wstring& text);
void SetText(HWND window, const std::string& text);
// Types text into an edit control character by character, as the keyboard would.
void Type(HWND edit, const std::string& text);
// Clicks a button as the mouse would, without waiting for what the click starts.
void Click(HWND button);
// Presses a key on a control without waiting for what it starts.
void PressKey(HWND control, UINT virtualKey);

// The Edit inside the file-name box (control 0x47C) of an open or save dialog, or null.
HWND FileNameEdit(HWND fileDialog);

// Text of this process's code page (932 under the tests) to UTF-16 and back.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& wide);
// "Z:\..." for a path of the Unix side.
std::string WindowsPathOf(const std::string& unixPath);
// Kovrel.exe, built next to the test executables.
std::wstring KovrelPath();

// A program started as its own process, ended on the way out should a test leave it running.
class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    // Starts the program, arguments after its quoted name, in folder (empty: this process's).
    bool Start(const std::filesystem::path& program, const std::filesystem::path& folder = {},
        const std::wstring& arguments = {});
    bool Ended(DWORD timeoutMs) const { return WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0; }
    DWORD Id() const { return info.dwProcessId; }

private:
    PROCESS_INFORMATION info {};
    bool started = false;
};

// Starts Kovrel.exe in folder; its converter dialog once it shows, or null.
HWND StartConverter(Process& kovrel, const std::filesystem::path& folder = {}, const std::wstring& arguments = {});

}
