// The message box that a failed load really shows: caption, owner, icon and buttons.
#include "actions/ActionsHarness.h"
#include "actions/ScriptedServices.h"
#include "app/resource.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr char badFormatMessage[] = "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x83\x74\x83\x48\x81\x5B\x83\x7D\x83\x62\x83\x67\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7";

struct SeenBox {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::string caption;
    std::string text;
    bool ownerDisabled = false;
    bool cancelButton = false;
    bool iconShown = false;
};
SeenBox seen;
HWND boxOwner = nullptr;

BOOL CALLBACK InspectBox(HWND window, LPARAM)
{
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != boxOwner)
        return TRUE;
    char buffer[512] = {};
    seen.window = window;
    seen.owner = GetWindow(window, GW_OWNER);
    GetWindowTextA(window, buffer, sizeof buffer);
    seen.caption = buffer;
    GetDlgItemTextA(window, 0xFFFF, buffer, sizeof buffer);
    seen.text = buffer;
    seen.ownerDisabled = !IsWindowEnabled(boxOwner);
    HWND cancel = GetDlgItem(window, IDCANCEL);
    seen.cancelButton = cancel && IsWindowVisible(cancel);
    HWND icon = GetDlgItem(window, 0x440); // the box's icon static
    seen.iconShown = icon && SendMessageA(icon, STM_GETICON, 0, 0) == LRESULT(LoadIconA(nullptr, IDI_EXCLAMATION));
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(window, IDOK)));
    return FALSE;
}

void CALLBACK InspectTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (!seen.window)
        EnumThreadWindows(GetCurrentThreadId(), InspectBox, 0);
}

TEST(RealMessageBox, LoadFailureShowsTheRealBoxWithTheAppNameOverTheDialog)
{
    ScratchFolder folder;
    std::string broken = folder.Write("broken.tbx", std::vector<std::uint8_t>(20, 0));
    ScriptedServices services;
    services.realMessageBoxes = true;
    GetTestApp().showRealMessageBoxes = true;
    ActionsDialog dialog;
    dialog.Run([&](ActionsDialog& d) {
        boxOwner = d.GetSafeHwnd();
        seen = {};
        services.Confirm(broken);
        UINT_PTR timer = SetTimer(nullptr, 0, 100, InspectTimer);
        ASSERT_TRUE(d.Click(IDC_SOURCE_BROWSE));
        KillTimer(nullptr, timer);
        EXPECT_TRUE(IsWindowEnabled(d.GetSafeHwnd())) << "the dialog stays disabled after the box";
    });
    GetTestApp().showRealMessageBoxes = false;

    ASSERT_NE(seen.window, nullptr) << "no message box showed";
    EXPECT_EQ(seen.caption, "actions_tests") << "the caption is the program file's name";
    EXPECT_EQ(seen.text, badFormatMessage);
    EXPECT_TRUE(seen.ownerDisabled);
    EXPECT_FALSE(seen.cancelButton);
    EXPECT_TRUE(seen.iconShown) << "not the exclamation icon";
    // What went to the system: type 0 became MB_OK | MB_ICONEXCLAMATION, owned by the dialog.
    const std::vector<TestApp::MessageBoxCall>& shown = GetTestApp().messageBoxes;
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].type, UINT(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(shown[0].owner, boxOwner);
    EXPECT_EQ(shown[0].caption, "actions_tests");
}

}
