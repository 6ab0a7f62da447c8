// The message box that a failed load really shows: caption, owner, icon and buttons.
#include "actions/ActionsHarness.h"
#include "support/GuiSupport.h"

namespace {

constexpr int messageTextId = 0xFFFF; // the static that holds a message box's text
constexpr int messageIconId = 0x440;

using RealMessageBox = Actions;

TEST_F(RealMessageBox, LoadFailureShowsTheRealBoxWithTheAppNameOverTheDialog)
{
    services.realMessageBoxes = true;
    GetTestApp().showRealMessageBoxes = true;
    HWND owner = nullptr;
    dialog.Run([&](ActionsDialog& d) {
        services.Confirm(broken);
        owner = d.GetSafeHwnd();
        auto outcome = RunModalLoop([&] { return INT_PTR(d.Click(IDC_SOURCE_BROWSE)); }, { [&] {
            HWND box = FindOwnDialog([&](HWND window) { return GetWindow(window, GW_OWNER) == owner; });
            if (!box)
                return false;
            EXPECT_EQ(WideText(box), L"actions_tests") << "the caption is the program file's name";
            EXPECT_EQ(WideText(GetDlgItem(box, messageTextId)), Widen(StatusText(BadFormat)));
            EXPECT_FALSE(IsWindowEnabled(owner));
            EXPECT_FALSE(GetDlgItem(box, IDCANCEL) && IsWindowVisible(GetDlgItem(box, IDCANCEL)));
            HWND icon = GetDlgItem(box, messageIconId);
            EXPECT_TRUE(icon && SendMessageA(icon, STM_GETICON, 0, 0) == LRESULT(LoadIconA(nullptr, IDI_EXCLAMATION)))
                << "not the exclamation icon";
            driver::Click(GetDlgItem(box, IDOK));
            return true;
        } });
        EXPECT_EQ(outcome.stepsDone, 1u) << "no message box showed";
        EXPECT_FALSE(outcome.timedOut);
        EXPECT_EQ(outcome.result, TRUE) << "the browse button was disabled";
        EXPECT_TRUE(IsWindowEnabled(owner)) << "the dialog stays disabled after the box";
    });
    GetTestApp().showRealMessageBoxes = false;

    // What went to the system: type 0 became MB_OK | MB_ICONEXCLAMATION, owned by the dialog.
    const std::vector<TestApp::MessageBoxCall>& shown = GetTestApp().messageBoxes;
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].type, UINT(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(shown[0].owner, owner);
    EXPECT_EQ(shown[0].caption, "actions_tests");
}

}
