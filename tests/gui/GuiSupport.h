#pragma once

#include "app/ConverterApp.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The tests' application object: the converter's own (message map included), with the system's
// message box and help call recorded instead of shown unless a test asks for the real ones.
class TestApp : public ConverterApp {
public:
    struct MessageBoxCall {
        HWND owner;
        std::string text;
        std::string caption;
        UINT type;
    };
    struct HelpCall {
        HWND owner;
        std::string helpFile;
        UINT command;
    };

    std::vector<MessageBoxCall> messageBoxes;
    std::vector<HelpCall> helpCalls;
    bool showRealMessageBoxes = false;
    BOOL helpResult = FALSE;

    void Forget()
    {
        messageBoxes.clear();
        helpCalls.clear();
    }

protected:
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override;
    BOOL CallWinHelp(HWND owner, const char* helpFile, UINT command, ULONG_PTR data) override;
};

TestApp& GetTestApp();

// Runs a modal loop (run) while a timer calls the steps in turn on the same thread, every
// 20 ms: a step returns true when it is done. After timeoutMs every dialog of the thread is
// ended and timedOut is set, so a hang fails the test instead of blocking it.
struct ModalOutcome {
    INT_PTR result = 0;
    bool timedOut = false;
    size_t stepsDone = 0;
};
using ModalStep = std::function<bool()>;
ModalOutcome RunModalLoop(const std::function<INT_PTR()>& run, std::vector<ModalStep> steps, DWORD timeoutMs = 20000);

// A top-level window of this thread with this class and title (UTF-16), or null.
HWND FindThreadWindow(const wchar_t* className, const std::wstring& title);
// Text in UTF-16 of a window, and ANSI (code page 932 under the tests) text turned into UTF-16.
std::wstring WindowText(HWND window);
std::wstring Widen(const std::string& ansi);
std::string Narrow(const std::wstring& wide);
std::wstring ClassOf(HWND window);
