// Starts Kovrel.exe as its own process and drives it through its real windows, as a user would.
#include "SampleFile.h"
#include "support/DriverWindows.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>


namespace {

constexpr char dialogTitle[] = "Tabrix \x83\x74\x83\x40\x83\x43\x83\x8B\x83\x52\x83\x93\x83\x6F\x81\x5B\x83\x5E"; // Tabrix ファイルコンバータ
constexpr char badFormatMessage[] = "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x83\x74\x83\x48\x81\x5B\x83\x7D\x83\x62\x83\x67\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7"; // ファイルのフォーマットが不正です
constexpr int messageTextId = 0xFFFF; // the static that holds a message box's text

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kovrel.Start(driver::WindowsPathOf(KOVREL_EXE_PATH), folder)) << "cannot start " << KOVREL_EXE_PATH;
        dialog = driver::WaitForProcessDialog(kovrel.Id(), [](HWND w) { return driver::Text(w) == dialogTitle; }, 60000);
        ASSERT_NE(dialog, nullptr) << "the converter dialog did not appear";
    }

    HWND Item(int id) const { return GetDlgItem(dialog, id); }

    // A window that the dialog owns: the file dialog, or the message box.
    HWND WaitForOwned(bool fileDialog)
    {
        return driver::WaitForProcessDialog(kovrel.Id(), [&](HWND w) {
            return GetWindow(w, GW_OWNER) == dialog && (driver::FileNameEdit(w) != nullptr) == fileDialog;
        });
    }
    HWND OwnedWindowNow()
    {
        return driver::FindProcessDialog(kovrel.Id(), [&](HWND w) { return GetWindow(w, GW_OWNER) == dialog; });
    }

    // Clicks the browse button, names the file in the system's open dialog and confirms it.
    void BrowseSource(const std::string& path)
    {
        driver::Click(Item(1001));
        HWND open = WaitForOwned(true);
        ASSERT_NE(open, nullptr) << "the open dialog did not appear";
        driver::SetText(driver::FileNameEdit(open), path);
        driver::Click(GetDlgItem(open, IDOK));
        ASSERT_TRUE(driver::WaitFor([&] { return !IsWindow(open) || !IsWindowVisible(open); })) << "the open dialog stayed";
    }

    bool ChooseVersion(const std::string& text)
    {
        HWND list = Item(1005);
        for (int press = 0; press < 4; ++press) {
            if (driver::Text(list) == text)
                return true;
            LRESULT before = SendMessageA(list, CB_GETCURSEL, 0, 0);
            driver::PressKey(list, VK_DOWN);
            driver::WaitFor([&] { return SendMessageA(list, CB_GETCURSEL, 0, 0) != before; }, 5000);
        }
        return driver::Text(list) == text;
    }

    ScratchFolder scratch;
    const std::string folder = scratch.Path();
    driver::Process kovrel;
    HWND dialog = nullptr;
};

TEST_F(EndToEnd, BrowseConvertReportAndClose)
{
    const Bytes file12 = NewLayoutFile(version12, 6);
    const std::string source = scratch.Write("source12.tbx", file12);
    const std::string broken = scratch.Write("broken.tbx", Bytes(file12.begin(), file12.begin() + 200));
    const std::string destination = scratch.File("converted11.tbx");
    // The 1.1 layout writes the target version and maps a W4 of 6 to 3.
    const Bytes expected11 = NewLayoutFile(version11, 3);

    // Browse for the source and see its version; OK waits for the rest of the request.
    BrowseSource(source);
    ASSERT_TRUE(driver::WaitFor([&] { return driver::Text(Item(1004)) == "1.2"; })) << driver::Text(Item(1004));
    EXPECT_EQ(driver::Text(Item(1000)), source);
    EXPECT_FALSE(IsWindowEnabled(Item(IDOK)));

    driver::Type(Item(1002), destination);
    ASSERT_TRUE(driver::WaitFor([&] { return driver::Text(Item(1002)) == destination; }));
    EXPECT_FALSE(IsWindowEnabled(Item(IDOK))) << "no target chosen yet";
    ASSERT_TRUE(ChooseVersion("1.1"));
    ASSERT_TRUE(driver::WaitFor([&] { return IsWindowEnabled(Item(IDOK)) != FALSE; })) << "OK did not enable";

    driver::Click(Item(IDOK));
    Bytes written;
    ASSERT_TRUE(driver::WaitFor([&] { return (written = ReadBytes(destination)) == expected11; }))
        << "written " << written.size() << " bytes, expected " << expected11.size();
    EXPECT_TRUE(driver::WaitFor([&] { return !IsWindowEnabled(Item(IDOK)); })) << "OK stays enabled after converting";
    Sleep(500);
    EXPECT_EQ(OwnedWindowNow(), nullptr) << "a successful conversion shows a message";

    // A truncated file: the real message box, caption the program's name, the status's text.
    BrowseSource(broken);
    HWND box = WaitForOwned(false);
    ASSERT_NE(box, nullptr) << "no message box for a truncated file";
    EXPECT_EQ(driver::Text(box), "Kovrel");
    EXPECT_EQ(driver::Text(GetDlgItem(box, messageTextId)), badFormatMessage);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL) && IsWindowVisible(GetDlgItem(box, IDCANCEL)), false) << "more than an OK button";
    EXPECT_FALSE(IsWindowEnabled(dialog)) << "the box does not hold the dialog";
    driver::Click(GetDlgItem(box, IDOK));
    ASSERT_TRUE(driver::WaitFor([&] { return !IsWindow(box); })) << "the message box stayed";
    EXPECT_EQ(driver::Text(Item(1004)), "");
    EXPECT_EQ(driver::Text(Item(1000)), source) << "the source field lost its text";
    EXPECT_FALSE(IsWindowEnabled(Item(IDOK)));

    driver::Click(Item(1006));
    EXPECT_TRUE(kovrel.Ended(20000)) << "the program did not end with its dialog";
}

}
