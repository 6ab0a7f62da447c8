// The system's open and save dialogs as CFileDialog sets them up, and a real one run under the test.
#include "actions/ActionsHarness.h"
#include "platform/CFileDialog.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr char fileFilter[] = "Tabrix File (*.tbx)|*.tbx|All Files(*.*)|*.*||";

TEST(MakeFilterList, EveryBarBecomesNulButNoTrailByte)
{
    std::string list = MakeFilterList(fileFilter);
    EXPECT_EQ(list, std::string("Tabrix File (*.tbx)\0*.tbx\0All Files(*.*)\0*.*\0\0", 46));
    // ポ is 0x83 0x7C: its second byte is "|" and stays.
    EXPECT_EQ(MakeFilterList("\x83\x7C|*.a||"), std::string("\x83\x7C\0*.a\0\0", 8));
    // A lone lead byte at the very end is kept as it is.
    EXPECT_EQ(MakeFilterList("a|\x83"), std::string("a\0\x83", 3));
    EXPECT_EQ(MakeFilterList(nullptr), "");
}

TEST(CFileDialog, PassesTheFlagsWithItsHookAndExplorerStyle)
{
    CFileDialog open(TRUE, "tbx", "C:\\a\\b.tbx", 0x31004, fileFilter, nullptr);
    EXPECT_EQ(open.m_ofn.Flags, DWORD(0x31004 | OFN_ENABLEHOOK | OFN_EXPLORER));
    EXPECT_NE(open.m_ofn.lpfnHook, nullptr);
    EXPECT_EQ(open.m_ofn.nMaxFile, 260u);
    EXPECT_STREQ(open.m_ofn.lpstrFile, "C:\\a\\b.tbx");
    EXPECT_STREQ(open.m_ofn.lpstrDefExt, "tbx");
    EXPECT_EQ(open.m_ofn.nFilterIndex, 0u);
    EXPECT_EQ(open.m_ofn.lpstrCustomFilter, nullptr);
    EXPECT_EQ(open.m_ofn.lpstrTitle, nullptr);
    EXPECT_EQ(open.m_ofn.lpstrInitialDir, nullptr);
    ASSERT_NE(open.m_ofn.lpstrFilter, nullptr);
    EXPECT_EQ(std::string(open.m_ofn.lpstrFilter, 46), MakeFilterList(fileFilter));

    CFileDialog save(FALSE, "tbx", "", 0x30806, fileFilter, nullptr);
    EXPECT_EQ(save.m_ofn.Flags, DWORD(0x30806 | OFN_ENABLEHOOK | OFN_EXPLORER));
    EXPECT_STREQ(save.m_ofn.lpstrFile, "");
}

TEST(CFileDialog, CutsTheInitialNameTo259Bytes)
{
    std::string name(400, 'n');
    CFileDialog dialog(TRUE, "tbx", name.c_str(), 0, fileFilter, nullptr);
    EXPECT_EQ(std::strlen(dialog.m_ofn.lpstrFile), 259u);
    EXPECT_EQ(std::string(dialog.m_ofn.lpstrFile), name.substr(0, 259));
    CFileDialog none(TRUE, "tbx", nullptr, 0, fileFilter, nullptr);
    EXPECT_STREQ(none.m_ofn.lpstrFile, "");
}

// What the timer below does to the system's dialog once it shows.
std::string typedName;
bool confirm = false;
bool sawDialog = false;
int ticks = 0;
std::string strayTexts; // any other box, such as the system's own complaint about the name

bool IsDialogWindow(HWND window)
{
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    return std::strcmp(className, "#32770") == 0 && IsWindowVisible(window);
}

void Press(HWND window, int id)
{
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(window, id)));
}

BOOL CALLBACK AnswerFileDialog(HWND window, LPARAM)
{
    if (!IsDialogWindow(window))
        return TRUE;
    HWND box = GetDlgItem(window, 0x47C);
    if (!box) {
        char text[256] = {};
        GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
        strayTexts += std::string(text) + "; ";
        Press(window, IDOK);
        return TRUE;
    }
    if (ticks > 50) { // give up rather than hang
        Press(window, IDCANCEL);
        return TRUE;
    }
    if (sawDialog)
        return TRUE;
    sawDialog = true;
    if (confirm) {
        HWND combo = FindWindowExA(box, nullptr, "ComboBox", nullptr);
        HWND edit = FindWindowExA(combo ? combo : box, nullptr, "Edit", nullptr);
        SetWindowTextA(edit ? edit : box, typedName.c_str());
        Press(window, IDOK);
    } else {
        Press(window, IDCANCEL);
    }
    return TRUE;
}

void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR, DWORD)
{
    ++ticks;
    EnumThreadWindows(GetCurrentThreadId(), AnswerFileDialog, 0);
}

// Runs the dialog with a timer that answers it, and gives up after ten seconds, so nothing hangs.
INT_PTR RunAnswered(CFileDialog& dialog, bool confirmIt, const std::string& name)
{
    typedName = name;
    confirm = confirmIt;
    sawDialog = false;
    ticks = 0;
    strayTexts.clear();
    UINT_PTR timer = SetTimer(nullptr, 0, 200, AnswerTimer);
    INT_PTR result = dialog.DoModal();
    KillTimer(nullptr, timer);
    EXPECT_EQ(strayTexts, "");
    return result;
}

TEST(CFileDialog, RealOpenDialogGivesTheFullPathOrCancel)
{
    ScratchFolder folder;
    std::string file = folder.Write("chosen.tbx", { 1, 2, 3 });

    CFileDialog cancelled(TRUE, "tbx", file.c_str(), 0x31004, fileFilter, nullptr);
    EXPECT_EQ(RunAnswered(cancelled, false, ""), IDCANCEL);
    EXPECT_TRUE(sawDialog);

    CFileDialog chosen(TRUE, "tbx", "", 0x31004, fileFilter, nullptr);
    EXPECT_EQ(RunAnswered(chosen, true, file), IDOK);
    EXPECT_EQ(chosen.GetPathName(), file);

}

}
