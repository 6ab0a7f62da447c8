// The system's open and save dialogs as CFileDialog sets them up, and a real one run under the test.
#include "actions/ActionsHarness.h"
#include "support/GuiSupport.h"
#include "platform/ui/CFileDialog.h"

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

// Runs the system's dialog and answers it once it shows: names the file and confirms it, or
// cancels when name is empty. Any other box, such as the system's complaint about a name, keeps
// the dialog up until the loop gives up.
INT_PTR RunAnswered(CFileDialog& dialog, const std::string& name)
{
    auto outcome = RunModalLoop([&] { return dialog.DoModal(); }, { [&] {
        HWND files = FindOwnDialog([](HWND window) { return driver::FileNameEdit(window) != nullptr; });
        if (!files)
            return false;
        driver::SetText(driver::FileNameEdit(files), name);
        driver::Click(GetDlgItem(files, name.empty() ? IDCANCEL : IDOK));
        return true;
    } },
        10000);
    EXPECT_EQ(outcome.stepsDone, 1u) << "no file dialog showed";
    EXPECT_FALSE(outcome.timedOut);
    return outcome.result;
}

TEST(CFileDialog, RealOpenDialogGivesTheFullPathOrCancel)
{
    ScratchFolder folder;
    std::string file = folder.Write("chosen.tbx", { 1, 2, 3 });

    CFileDialog cancelled(TRUE, "tbx", file.c_str(), 0x31004, fileFilter, nullptr);
    EXPECT_EQ(RunAnswered(cancelled, ""), IDCANCEL);

    CFileDialog chosen(TRUE, "tbx", "", 0x31004, fileFilter, nullptr);
    EXPECT_EQ(RunAnswered(chosen, file), IDOK);
    EXPECT_EQ(chosen.GetPathName(), file);
}

}
