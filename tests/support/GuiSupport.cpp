#include "support/GuiSupport.h"

#include "app/resource.h"
#include "platform/ui/CDialog.h"

#include <gtest/gtest.h>

namespace {

struct ModalState {
    std::vector<ModalStep> steps;
    size_t next = 0;
    DWORD start = 0;
    DWORD timeoutMs = 0;
    bool busy = false;
    bool timedOut = false;
};
ModalState* activeRun = nullptr;

BOOL CALLBACK EndThreadDialog(HWND window, LPARAM)
{
    if (driver::ClassName(window) == "#32770")
        EndDialog(window, -2);
    return TRUE;
}

void CALLBACK DriveSteps(HWND, UINT, UINT_PTR, DWORD)
{
    ModalState* state = activeRun;
    if (!state || state->busy)
        return;
    state->busy = true;
    if (GetTickCount() - state->start > state->timeoutMs) {
        if (!state->timedOut) {
            state->timedOut = true;
            EnumThreadWindows(GetCurrentThreadId(), EndThreadDialog, 0);
        }
    } else if (state->next < state->steps.size()) {
        if (state->steps[state->next]())
            ++state->next;
    }
    state->busy = false;
}

} // namespace

ModalOutcome RunModalLoop(const std::function<INT_PTR()>& run, std::vector<ModalStep> steps, DWORD timeoutMs)
{
    ModalState state;
    state.steps = std::move(steps);
    state.start = GetTickCount();
    state.timeoutMs = timeoutMs;
    ModalState* outer = activeRun;
    activeRun = &state;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, DriveSteps);
    ModalOutcome outcome;
    outcome.result = run();
    KillTimer(nullptr, timer);
    activeRun = outer;
    outcome.timedOut = state.timedOut;
    outcome.stepsDone = state.next;
    return outcome;
}

ModalStep WhenShown(CDialog& dialog, std::function<void(HWND)> inspect)
{
    return [&dialog, inspect] {
        HWND window = dialog.GetSafeHwnd();
        if (!window || !IsWindowVisible(window))
            return false;
        if (inspect)
            inspect(window);
        return true;
    };
}

ModalStep Post(CDialog& dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return [&dialog, message, wParam, lParam] {
        PostMessageA(dialog.GetSafeHwnd(), message, wParam, lParam);
        return true;
    };
}

void ShowAndCancel(CDialog& dialog, std::function<void(HWND)> inspect)
{
    auto outcome = RunModalLoop([&] { return dialog.DoModal(); },
        { WhenShown(dialog, std::move(inspect)), Post(dialog, WM_COMMAND, IDCANCEL) });
    EXPECT_FALSE(outcome.timedOut) << "steps done: " << outcome.stepsDone;
    EXPECT_EQ(outcome.result, IDCANCEL);
}

HWND FindOwnDialog(const std::function<bool(HWND)>& matches)
{
    return driver::FindProcessDialog(GetCurrentProcessId(), matches);
}

HWND FindOwnDialog(const std::wstring& title)
{
    return FindOwnDialog([&](HWND window) { return WideText(window) == title; });
}
