#include "gui/GuiSupport.h"

#include "platform/CDialog.h"

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
    if (ClassOf(window) == L"#32770")
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

struct FindRequest {
    const wchar_t* className;
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    auto* request = reinterpret_cast<FindRequest*>(parameter);
    if (ClassOf(window) == request->className && WindowText(window) == *request->title) {
        request->found = window;
        return FALSE;
    }
    return TRUE;
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

HWND FindThreadWindow(const wchar_t* className, const std::wstring& title)
{
    FindRequest request { className, &title, nullptr };
    EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

std::wstring WindowText(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::wstring text(size_t(length) + 1, L'\0');
    int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(size_t(copied > 0 ? copied : 0));
    return text;
}

std::wstring Widen(const std::string& ansi)
{
    if (ansi.empty())
        return {};
    int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), wide.data(), length);
    return wide;
}

std::string Narrow(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(size_t(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), ansi.data(), length, nullptr, nullptr);
    return ansi;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}
