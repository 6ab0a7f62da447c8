// The converter's code in a process with Kovrel.exe's own manifest, so that the process code
// page is UTF-8 whatever the locale; and the manifest of both programs read back.
#include "app/ConverterDialog.h"
#include "app/resource.h"
#include "support/GuiSupport.h"
#include "platform/ui/CFileDialog.h"
#include "platform/ui/CWinApp.h"
#include "platform/ui/FailureReport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// The manifest of a program built beside the tests.
std::string ManifestOf(const wchar_t* program)
{
    const auto path = std::filesystem::path(driver::KovrelPath()).replace_filename(program);
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = module ? FindResourceA(module, MAKEINTRESOURCEA(1), RT_MANIFEST) : nullptr;
    if (!found)
        return {};
    // The module stays loaded: a test process reads two programs once.
    return std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
        SizeofResource(module, found));
}

TEST(Utf8Process, FrameworkTextsAndTheAboutItemAreJapanese)
{
    EXPECT_EQ(Widen(LoadResourceString(AFX_IDP_FAILED_MEMORY_ALLOC)), L"ﾒﾓﾘが不足しています。");
    CFileException failure(FileErrorCause::FileNotFound, 2, "C:\\한국어 ☃ 😀\\源 ☃.tbx");
    EXPECT_EQ(Widen(FileFailureText(failure)), L"C:\\한국어 ☃ 😀\\源 ☃.tbx が見つかりません。");

    // The system menu cannot be read from another process under Wine: the dialog runs here.
    ConverterDialog dialog;
    ShowAndCancel(dialog, [](HWND window) {
        HMENU menu = GetSystemMenu(window, FALSE);
        wchar_t text[64] = {};
        GetMenuStringW(menu, UINT(GetMenuItemCount(menu) - 1), text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, L"ﾊﾞｰｼﾞｮﾝ情報(Kovrel) (&A)...");
    });
}

// 260 UTF-16 units fit the file dialogs in UTF-8, and the initial name ends on a whole character.
TEST(Utf8Process, FileDialogHolds260UnitsAndCutsTheInitialNameAtACharacter)
{
    ASSERT_EQ(GetACP(), UINT(CP_UTF8)) << "the manifest did not make the code page UTF-8";
    // "a" and 300 snowmen: 780 bytes hold "a" and 259 snowmen, not a part of the 260th.
    std::string name = "a";
    for (int i = 0; i < 300; ++i)
        name += "☃";
    CFileDialog dialog(TRUE, "tbx", name.c_str(), 0, nullptr, nullptr);
    EXPECT_EQ(dialog.m_ofn.nMaxFile, 781u);
    EXPECT_EQ(std::string(dialog.m_ofn.lpstrFile), name.substr(0, 1 + 259 * 3));
}

TEST(Manifest, BothProgramsRunAsInvokerInUtf8WithVisualStylesAndDpiAwareness)
{
    const char* needed[] = {
        R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
        R"(<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>)",
        R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>)",
        R"(<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, System</dpiAwareness>)",
        R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // 10 and 11
    };
    for (const wchar_t* program : { L"Kovrel.exe", L"tbxconv.exe" }) {
        std::string manifest = ManifestOf(program);
        ASSERT_FALSE(manifest.empty()) << Narrow(program) << " has no manifest";
        for (const char* part : needed)
            EXPECT_NE(manifest.find(part), std::string::npos) << Narrow(program) << ": " << part;
    }
}

}
