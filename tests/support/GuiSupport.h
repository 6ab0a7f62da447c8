#pragma once

#include "support/DriverWindows.h"
#include "support/TestApp.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

using driver::Narrow;
using driver::Widen;
using driver::WideText;

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

// A visible dialog of this process that matches, or has this title; null when none shows.
HWND FindOwnDialog(const std::function<bool(HWND)>& matches);
HWND FindOwnDialog(const std::wstring& title);
