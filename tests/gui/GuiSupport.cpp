#include "gui/GuiSupport.h"

#include "app/resource.h"
#include "platform/CDialog.h"

#include <gtest/gtest.h>

namespace {

const DWORD child = WS_CHILD | WS_VISIBLE;

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

// clang-format off
const std::vector<DesignedControl> converterControls = {
    { -1, "STATIC", L"変換元(&S)", child | SS_LEFT | WS_GROUP, 10, 10, 30, 10 },
    { IDC_SOURCE_PATH, "EDIT", L"", child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 45, 10, 120, 12 },
    { IDC_SOURCE_BROWSE, "BUTTON", L"参照(&B)...", child | BS_PUSHBUTTON | WS_TABSTOP, 170, 10, 35, 15 },
    { -1, "STATIC", L"作成したTabrix のバージョン：", child | SS_LEFT | WS_GROUP, 45, 25, 90, 10 },
    { IDC_SOURCE_VERSION, "STATIC", L"%d.%d", child | SS_CENTER | SS_SUNKEN | WS_GROUP, 140, 25, 25, 10 },
    { -1, "STATIC", L"変換先(&D)", child | SS_LEFT | WS_GROUP, 10, 45, 30, 10 },
    { IDC_DEST_PATH, "EDIT", L"", child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 45, 45, 120, 12 },
    { IDC_DEST_BROWSE, "BUTTON", L"参照(&R)...", child | BS_PUSHBUTTON | WS_TABSTOP, 170, 45, 35, 15 },
    { -1, "STATIC", L"新しいファイルのバージョン(&V)", child | SS_LEFT | WS_GROUP, 45, 65, 90, 10 },
    { IDC_TARGET_VERSION, "COMBOBOX", L"", child | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 140, 65, 25, 55 },
    { IDOK, "BUTTON", L"OK", child | BS_DEFPUSHBUTTON | WS_TABSTOP, 50, 95, 50, 15 },
    { IDC_CLOSE, "BUTTON", L"閉じる(&C)", child | BS_PUSHBUTTON | WS_TABSTOP, 105, 95, 50, 15 },
};
// clang-format on
