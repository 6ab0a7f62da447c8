// Kovrel.exe started as a program: it shows the converter and ends when the dialog is closed.
#include "app/resource.h"
#include "gui/GuiSupport.h"
#include "gui/KovrelModule.h"
#include "support/DriverWindows.h"

#include <gtest/gtest.h>

namespace {

const std::wstring converterTitle = L"Tabrix ファイルコンバータ";

// Kovrel.exe started from beside the tests; its converter dialog once visible, or null.
HWND StartAndWaitForDialog(driver::Process& kovrel)
{
    if (!kovrel.Start(KovrelPath()))
        return nullptr;
    const std::string title = Narrow(converterTitle);
    return driver::WaitForProcessDialog(kovrel.Id(), [&](HWND w) { return driver::Text(w) == title; }, 60000);
}

TEST(KovrelProgram, ShowsTheConverterAndEndsWhenEscIsPressed)
{
    driver::Process kovrel;
    HWND dialog = StartAndWaitForDialog(kovrel);
    ASSERT_NE(dialog, nullptr) << KovrelPath();
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr) << "the converter is the program's only top-level window";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
    EXPECT_FALSE(kovrel.Ended(0));
    PostMessageA(GetDlgItem(dialog, IDC_SOURCE_PATH), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_TRUE(kovrel.Ended(30000));
}

TEST(KovrelProgram, EndsWhenTheDialogIsClosedFromTheSystemMenuOrCloseBox)
{
    driver::Process kovrel;
    HWND dialog = StartAndWaitForDialog(kovrel);
    ASSERT_NE(dialog, nullptr) << KovrelPath();
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(kovrel.Ended(30000));
}

} // namespace
