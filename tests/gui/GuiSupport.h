#pragma once

#include "support/TestApp.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>


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

class CDialog;
// A step that waits until the dialog's window is visible, then calls inspect with it.
ModalStep WhenShown(CDialog& dialog, std::function<void(HWND)> inspect = {});
// A step that posts the message to the dialog.
ModalStep Post(CDialog& dialog, UINT message, WPARAM wParam, LPARAM lParam = 0);
// Runs the dialog modally, inspects it once it shows, then cancels it: fails the test when the
// dialog does not come up or does not end with IDCANCEL.
void ShowAndCancel(CDialog& dialog, std::function<void(HWND)> inspect);

// A top-level window of this thread with this class and title (UTF-16), or null.
HWND FindThreadWindow(const wchar_t* className, const std::wstring& title);
// Text in UTF-16 of a window, and ANSI (code page 932 under the tests) text turned into UTF-16.
std::wstring WindowText(HWND window);
std::wstring Widen(const std::string& ansi);
std::string Narrow(const std::wstring& wide);
std::wstring ClassOf(HWND window);
