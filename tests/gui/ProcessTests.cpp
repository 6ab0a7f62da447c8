// Kovrel.exe started as a program: it shows the converter and ends when the dialog is closed.
#include "app/resource.h"
#include "gui/GuiSupport.h"
#include "gui/KovrelModule.h"

#include <gtest/gtest.h>

namespace {

const std::wstring converterTitle = L"Tabrix ファイルコンバータ";

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchConverter(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) && ClassOf(window) == L"#32770"
        && WindowText(window) == converterTitle) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

class KovrelProcess {
public:
    KovrelProcess()
    {
        STARTUPINFOA startup {};
        startup.cb = sizeof startup;
        std::string commandLine(1, '"');
        commandLine += KovrelPath();
        commandLine += '"';
        started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    }
    ~KovrelProcess()
    {
        if (!started)
            return;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    KovrelProcess(const KovrelProcess&) = delete;
    KovrelProcess& operator=(const KovrelProcess&) = delete;

    // Its converter dialog once visible, or null after timeoutMs.
    HWND WaitForDialog(DWORD timeoutMs)
    {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            Search search { process.dwProcessId, nullptr };
            EnumWindows(MatchConverter, reinterpret_cast<LPARAM>(&search));
            if (search.found)
                return search.found;
            if (WaitForSingleObject(process.hProcess, 100) != WAIT_TIMEOUT)
                return nullptr;
        }
        return nullptr;
    }

    bool EndsWithin(DWORD timeoutMs) { return WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0; }

    BOOL started = FALSE;
    PROCESS_INFORMATION process {};
};

TEST(KovrelProgram, ShowsTheConverterAndEndsWhenEscIsPressed)
{
    KovrelProcess kovrel;
    ASSERT_TRUE(kovrel.started) << KovrelPath();
    HWND dialog = kovrel.WaitForDialog(60000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr) << "the converter is the program's only top-level window";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
    EXPECT_FALSE(kovrel.EndsWithin(0));
    PostMessageA(GetDlgItem(dialog, IDC_SOURCE_PATH), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_TRUE(kovrel.EndsWithin(30000));
}

TEST(KovrelProgram, EndsWhenTheDialogIsClosedFromTheSystemMenuOrCloseBox)
{
    KovrelProcess kovrel;
    ASSERT_TRUE(kovrel.started) << KovrelPath();
    HWND dialog = kovrel.WaitForDialog(60000);
    ASSERT_NE(dialog, nullptr);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(kovrel.EndsWithin(30000));
}

} // namespace
