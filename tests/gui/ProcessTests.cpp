// Kovrel.exe started as a program: it shows the converter and ends when the dialog is closed.
#include "app/resource.h"
#include "support/DriverWindows.h"

#include <gtest/gtest.h>

namespace {

TEST(KovrelProgram, ShowsTheConverterAndEndsWhenEscIsPressed)
{
    driver::Process kovrel;
    HWND dialog = driver::StartConverter(kovrel);
    ASSERT_NE(dialog, nullptr) << driver::Narrow(driver::KovrelPath());
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr) << "the converter is the program's only top-level window";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
    EXPECT_FALSE(kovrel.Ended(0));
    PostMessageA(GetDlgItem(dialog, IDC_SOURCE_PATH), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_TRUE(kovrel.Ended(30000));
}

TEST(KovrelProgram, EndsWhenTheDialogIsClosedFromTheSystemMenuOrCloseBox)
{
    driver::Process kovrel;
    HWND dialog = driver::StartConverter(kovrel);
    ASSERT_NE(dialog, nullptr) << driver::Narrow(driver::KovrelPath());
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(kovrel.Ended(30000));
}

} // namespace
