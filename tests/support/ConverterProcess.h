#pragma once

// Kovrel.exe started in its own process in a scratch folder and driven through its real windows,
// as a user would. Names are UTF-16 throughout: a folder may hold characters of no code page.

#include "app/resource.h"
#include "support/SampleFile.h"
#include "support/DriverWindows.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class ConverterProcess : public ::testing::Test {
protected:
    using Path = std::filesystem::path;
    static constexpr int messageTextId = 0xFFFF; // the static that holds a message box's text

    void SetUp() override
    {
        dialog = driver::StartConverter(kovrel, folder, arguments);
        ASSERT_NE(dialog, nullptr) << "the converter dialog did not appear with its title";
    }

    Path Write(const std::wstring& name, const Bytes& bytes) const
    {
        WriteBytes(folder / name, bytes);
        return folder / name;
    }

    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    std::wstring ItemText(int id) const { return driver::WideText(Item(id)); }
    bool OkBecomes(bool enabled)
    {
        return driver::WaitFor([&] { return (IsWindowEnabled(Item(IDOK)) != FALSE) == enabled; }, 5000);
    }

    // A window that the dialog owns: the file dialog, or else the message box.
    HWND WaitForOwned(bool fileDialog)
    {
        return driver::WaitForProcessDialog(kovrel.Id(), [&](HWND w) {
            return GetWindow(w, GW_OWNER) == dialog && (driver::FileNameEdit(w) != nullptr) == fileDialog;
        });
    }

    // Clicks a browse button, names the file in the system's dialog and confirms it.
    void Browse(int button, const Path& path)
    {
        driver::Click(Item(button));
        HWND files = WaitForOwned(true);
        ASSERT_NE(files, nullptr) << "no file dialog";
        driver::SetWideText(driver::FileNameEdit(files), path.wstring());
        driver::Click(GetDlgItem(files, IDOK));
        ASSERT_TRUE(driver::WaitFor([&] { return !IsWindow(files) || !IsWindowVisible(files); })) << "it stayed";
    }

    // Steps through the version list with the arrow key until it shows text.
    bool ChooseVersion(const std::wstring& text)
    {
        HWND list = Item(IDC_TARGET_VERSION);
        for (int press = 0; press < 4 && driver::WideText(list) != text; ++press) {
            LRESULT before = SendMessageW(list, CB_GETCURSEL, 0, 0);
            driver::PressKey(list, VK_DOWN);
            driver::WaitFor([&] { return SendMessageW(list, CB_GETCURSEL, 0, 0) != before; }, 5000);
        }
        return driver::WideText(list) == text;
    }

    // The program's message box over the dialog, which it holds: only OK, or for a question Yes
    // and No with No the default. Null when none shows.
    HWND ExpectBox(const std::wstring& text, bool question)
    {
        HWND box = WaitForOwned(false);
        EXPECT_NE(box, nullptr) << "no message box";
        EXPECT_EQ(driver::WideText(box), L"Kovrel");
        EXPECT_EQ(driver::WideText(GetDlgItem(box, messageTextId)), text);
        auto shown = [&](int id) { return GetDlgItem(box, id) && IsWindowVisible(GetDlgItem(box, id)); };
        EXPECT_TRUE(shown(IDOK) != question && shown(IDYES) == question && shown(IDNO) == question && !shown(IDCANCEL));
        EXPECT_EQ(question, (GetWindowLongW(GetDlgItem(box, IDNO), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
        EXPECT_FALSE(IsWindowEnabled(dialog)) << "the box does not hold the dialog";
        return box;
    }
    // The box closed with a click on button.
    void ExpectMessage(const std::wstring& text, int button = IDOK)
    {
        HWND box = ExpectBox(text, button != IDOK);
        ASSERT_NE(box, nullptr);
        driver::Click(GetDlgItem(box, button));
        ASSERT_TRUE(driver::WaitFor([&] { return !IsWindow(box); })) << "the message box stayed";
    }

    ScratchFolder scratch;
    Path folder = scratch.Path();
    std::wstring arguments; // Kovrel.exe's command line after its name
    driver::Process kovrel;
    HWND dialog = nullptr;
};
