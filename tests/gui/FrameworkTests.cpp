// The framework layer: what a handler lets out, the application's message boxes, the help
// command, the counted wait cursor and the names taken from the executable's path.
#include "app/VersionText.h"
#include "app/resource.h"
#include "support/GuiSupport.h"
#include "platform/ui/CDialog.h"
#include "platform/file/CFileException.h"
#include "platform/ui/DialogServices.h"
#include "platform/ui/ModulePath.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

// The about box's template with an OK handler that does whatever the test says.
class ScriptedDialog : public CDialog {
public:
    ScriptedDialog()
        : CDialog(IDD_ABOUTBOX)
    {
    }

    std::function<void()> onInit;
    std::function<void()> onOk;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (onInit)
            onInit();
        return TRUE;
    }
    void OnOK() override
    {
        if (onOk)
            onOk();
    }
};

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.Forget();
        app.showRealMessageBoxes = false;
        app.helpResult = FALSE;
    }
    void TearDown() override { app.m_pMainWnd = nullptr; }
    // The dialog shown as the main window, inspected once it shows, then cancelled.
    void WithMainDialog(std::function<void(HWND)> inspect)
    {
        app.m_pMainWnd = &dialog;
        ShowAndCancel(dialog, std::move(inspect));
    }

    TestApp& app = GetTestApp();
    ScriptedDialog dialog;
};

// What the framework shows when the OK handler lets a failure out.
struct HandlerFailure {
    const char* what;
    std::function<void()> raise;
    std::wstring text;
    UINT type;
};

class HandlerFailureTest : public FrameworkTest {
protected:
    // Each failure out of the OK handler in turn: one message box each, over the dialog that stays.
    void ExpectReported(const std::vector<HandlerFailure>& cases)
    {
        app.m_pMainWnd = &dialog;
        std::vector<ModalStep> steps { WhenShown(dialog) };
        for (const HandlerFailure& test : cases) {
            steps.push_back([&] {
                dialog.onOk = test.raise;
                app.Forget();
                PostMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDOK, 0);
                return true;
            });
            steps.push_back([&] { return !app.messageBoxes.empty() && ExpectBox(test); });
        }
        steps.push_back(Post(dialog, WM_COMMAND, IDCANCEL));
        auto outcome = RunModalLoop([&] { return dialog.DoModal(); }, std::move(steps));
        EXPECT_FALSE(outcome.timedOut) << "steps done: " << outcome.stepsDone;
        EXPECT_EQ(outcome.result, IDCANCEL);
    }
    // The one box shown for test; true, to end the step.
    bool ExpectBox(const HandlerFailure& test)
    {
        SCOPED_TRACE(test.what);
        EXPECT_EQ(app.messageBoxes.size(), 1u);
        const auto& box = app.messageBoxes.front();
        EXPECT_EQ(Widen(box.text), test.text);
        EXPECT_EQ(box.type, test.type) << std::hex << box.type;
        EXPECT_EQ(box.caption, "gui_tests");
        EXPECT_EQ(box.owner, dialog.GetSafeHwnd());
        EXPECT_TRUE(IsWindow(dialog.GetSafeHwnd()));
        return true;
    }
};

TEST_F(HandlerFailureTest, EachKindOfFailureGetsTheFrameworksTextAndTheDialogStays)
{
    ExpectReported({
        { "file not found", [] { throw CFileException(FileErrorCause::FileNotFound, 2, "C:\\data\\a.tbx"); },
            L"C:\\data\\a.tbx が見つかりません。", MB_ICONSTOP },
        { "access denied, no path", [] { throw CFileException(FileErrorCause::AccessDenied, 5, ""); },
            L"無題のﾌｧｲﾙ へのｱｸｾｽは拒否されました。", MB_ICONSTOP },
        { "no error", [] { throw CFileException(FileErrorCause::None, -1, "C:\\a.tbx"); }, L"ｴﾗｰはありません。",
            MB_ICONSTOP },
        { "end of file", [] { throw CFileException(FileErrorCause::EndOfFile, 38, "C:\\a.tbx"); },
            L"C:\\a.tbx の末尾以降にｱｸｾｽしようとしました。", MB_ICONSTOP },
        { "cause outside the table", [] { throw CFileException(static_cast<FileErrorCause>(99), -1, "C:\\a.tbx"); },
            L"C:\\a.tbx へのｱｸｾｽ中に予期しないｴﾗｰが発生しました。", MB_ICONSTOP },
        { "path holding %1", [] { throw CFileException(FileErrorCause::BadPath, 3, "C:\\%1\\b.tbx"); },
            L"C:\\%1\\b.tbx は無効なﾊﾟｽです。", MB_ICONSTOP },
        { "framework out of memory", [] { throw CMemoryException(); }, L"ﾒﾓﾘが不足しています。",
            MB_ICONEXCLAMATION | MB_SYSTEMMODAL },
        { "library out of memory", [] { throw std::bad_alloc(); }, L"ﾒﾓﾘが不足しています。",
            MB_ICONEXCLAMATION | MB_SYSTEMMODAL },
        { "anything else", [] { throw std::runtime_error("x"); }, L"ｱﾌﾟﾘｹｰｼｮﾝの内部ｴﾗｰです。", MB_ICONSTOP },
        { "not even an exception class", [] { throw 42; }, L"ｱﾌﾟﾘｹｰｼｮﾝの内部ｴﾗｰです。", MB_ICONSTOP },
    });
}

TEST_F(HandlerFailureTest, AFailureWhileStartingIsReportedAndTheDialogStillOpens)
{
    dialog.onInit = [] { throw CMemoryException(); };
    ShowAndCancel(dialog, {});
    ASSERT_EQ(app.messageBoxes.size(), 1u);
    EXPECT_EQ(Widen(app.messageBoxes[0].text), L"ﾒﾓﾘが不足しています。");
}

using MessageBoxTest = FrameworkTest;

TEST_F(MessageBoxTest, AddsTheExclamationIconOnlyWhenNoIconIsGiven)
{
    // Asked for and shown.
    const std::pair<UINT, UINT> types[]
        = { { MB_OK, MB_OK | MB_ICONEXCLAMATION }, { MB_YESNO | MB_ICONQUESTION, MB_YESNO | MB_ICONQUESTION },
              { MB_ICONSTOP, MB_ICONSTOP }, { MB_OKCANCEL, MB_OKCANCEL | MB_ICONEXCLAMATION } };
    for (const auto& [asked, shown] : types) {
        app.Forget();
        AfxMessageBox("text", asked);
        ASSERT_EQ(app.messageBoxes.size(), 1u);
        EXPECT_EQ(app.messageBoxes[0].type, shown);
        // The executable's name without folder and extension; no main window, no owner.
        EXPECT_EQ(app.messageBoxes[0].caption, "gui_tests");
        EXPECT_EQ(app.messageBoxes[0].owner, nullptr);
    }
}

TEST_F(MessageBoxTest, AStringIdShowsThatStringOfTheTable)
{
    AfxMessageBox(61704);
    ASSERT_EQ(app.messageBoxes.size(), 1u);
    EXPECT_EQ(Widen(app.messageBoxes[0].text), L"ｱﾌﾟﾘｹｰｼｮﾝの内部ｴﾗｰです。");
}

TEST_F(MessageBoxTest, TheRealBoxShowsCaptionAndTextWithOnlyOk)
{
    app.showRealMessageBoxes = true;
    std::wstring seenText;
    auto outcome = RunModalLoop([] { return INT_PTR(AfxMessageBox(Narrow(L"ファイルが存在しません").c_str())); },
        {
            [&] {
                HWND box = FindOwnDialog(L"gui_tests");
                if (!box || !IsWindowVisible(box))
                    return false;
                for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                    if (driver::ClassName(child) == "Static" && !WideText(child).empty())
                        seenText = WideText(child);
                }
                EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
                EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return true;
            },
        });
    EXPECT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.result, IDOK);
    EXPECT_EQ(seenText, L"ファイルが存在しません");
}

using HelpTest = FrameworkTest;

// WM_HELP as the system sends it for F1.
void SendHelpRequest(HWND dialog)
{
    HELPINFO info {};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.hItemHandle = GetDlgItem(dialog, IDOK);
    SendMessageA(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
}

void SetKeyDown(int key, bool down)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[key] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// F1 from the input queue, as a user's key arrives, at the window's OK button.
void PressF1(HWND window)
{
    SetForegroundWindow(window);
    SetFocus(GetDlgItem(window, IDOK));
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_F1;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

TEST_F(HelpTest, F1AtTheMainDialogRunsTheApplicationsHelpOnTheExecutablesHlpFile)
{
    WithMainDialog([&](HWND window) {
        app.helpResult = FALSE;
        SendHelpRequest(window);
        ASSERT_EQ(app.helpCalls.size(), 1u);
        std::string expectedFile = WithExtension(GetModulePath(nullptr), ".HLP");
        EXPECT_EQ(app.helpCalls[0].helpFile, expectedFile);
        EXPECT_EQ(expectedFile.substr(expectedFile.size() - 14), "\\gui_tests.HLP");
        EXPECT_EQ(app.helpCalls[0].command, UINT(HELP_FINDER));
        EXPECT_EQ(app.helpCalls[0].owner, window);
        // No help file: the framework says that help could not be started.
        ASSERT_EQ(app.messageBoxes.size(), 1u);
        EXPECT_EQ(Widen(app.messageBoxes[0].text), L"ﾍﾙﾌﾟの起動に失敗しました。");
        EXPECT_EQ(app.messageBoxes[0].type, UINT(MB_ICONEXCLAMATION));
    });
}

TEST_F(HelpTest, HelpThatStartsGetsNoMessage)
{
    WithMainDialog([&](HWND window) {
        app.helpResult = TRUE;
        SendHelpRequest(window);
        EXPECT_EQ(app.helpCalls.size(), 1u);
        EXPECT_TRUE(app.messageBoxes.empty());
    });
}

TEST_F(HelpTest, F1WithShiftCtrlOrAltIsNoHelpRequest)
{
    WithMainDialog([&](HWND window) {
        for (int key : { VK_SHIFT, VK_CONTROL, VK_MENU }) {
            SetKeyDown(key, true);
            SendHelpRequest(window);
            SetKeyDown(key, false);
        }
        EXPECT_TRUE(app.helpCalls.empty()) << "F1 with Shift, Ctrl or Alt is no help request";
    });
}

TEST_F(HelpTest, TheF1KeyReachesTheHelpCommand)
{
    app.m_pMainWnd = &dialog;
    app.helpResult = TRUE;
    int waited = 0;
    auto outcome = RunModalLoop([&] { return dialog.DoModal(); },
        { WhenShown(dialog, PressF1), [&] { return !app.helpCalls.empty() || ++waited > 100; },
            Post(dialog, WM_COMMAND, IDCANCEL) });
    EXPECT_FALSE(outcome.timedOut);
    EXPECT_EQ(app.helpCalls.size(), 1u);
}

// The arrow shows before each case.
class WaitCursor : public ::testing::Test {
protected:
    void SetUp() override { SetCursor(arrow); }

    CWinApp& app = GetTestApp();
    const HCURSOR arrow = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    const HCURSOR wait = LoadCursorA(nullptr, MAKEINTRESOURCEA(32514));  // IDC_WAIT
};

TEST_F(WaitCursor, IsCountedAndRestoresTheCursorFromBeforeAtZero)
{
    app.DoWaitCursor(1);
    EXPECT_EQ(GetCursor(), wait);
    app.DoWaitCursor(1);
    app.DoWaitCursor(-1);
    EXPECT_EQ(GetCursor(), wait) << "one level still on";
    EXPECT_EQ(app.GetWaitCursorCount(), 1);
    app.DoWaitCursor(-1);
    EXPECT_EQ(GetCursor(), arrow);
    EXPECT_EQ(app.GetWaitCursorCount(), 0);
}

// An unmatched "off" is ignored, so the next "on" still shows the wait cursor.
TEST_F(WaitCursor, AnUnmatchedOffIsIgnoredAndAScopeCountsOneLevel)
{
    app.DoWaitCursor(-1);
    EXPECT_EQ(app.GetWaitCursorCount(), 0);
    app.DoWaitCursor(1);
    EXPECT_EQ(GetCursor(), wait);
    {
        WaitCursorScope scoped;
        EXPECT_EQ(app.GetWaitCursorCount(), 2);
    }
    app.DoWaitCursor(-1);
    EXPECT_EQ(GetCursor(), arrow);
    EXPECT_EQ(app.GetWaitCursorCount(), 0);
}

TEST(ExecutableNames, TitleAndHelpFileComeFromTheLastPathComponent)
{
    EXPECT_EQ(FileTitleOf("C:\\Program Files\\Kovrel\\Kovrel.exe"), "Kovrel");
    EXPECT_EQ(FileTitleOf("C:\\v1.2\\Kovrel"), "Kovrel");
    EXPECT_EQ(FileTitleOf("Kovrel.old.exe"), "Kovrel.old");
    EXPECT_EQ(WithExtension("C:\\v1.2\\Kovrel.EXE", ".HLP"), "C:\\v1.2\\Kovrel.HLP");
    EXPECT_EQ(WithExtension("C:\\v1.2\\Kovrel", ".HLP"), "C:\\v1.2\\Kovrel.HLP");
    // 0x95 0x5C is one double-byte character of code page 932, not a byte and a backslash.
    EXPECT_EQ(FileTitleOf("C:\\tools\\\x95\x5C.exe"), "\x95\x5C");
    EXPECT_EQ(FileTitleOf("C:\\\x95\x5C\\conv.exe"), "conv");
}

TEST(VersionText, FillsMajorThenMinorAndNothingElse)
{
    EXPECT_EQ(FormatVersionText("%d.%d", 1, 2), "1.2");
    EXPECT_EQ(FormatVersionText("%d.%d", 255, 0), "255.0");
    EXPECT_EQ(FormatVersionText("%u/%i", 1, 1), "1/1");
    EXPECT_EQ(FormatVersionText("%d", 1, 2), "1");
    EXPECT_EQ(FormatVersionText("", 1, 2), "");
    // Conversions that would read arguments that are not there stay text.
    EXPECT_EQ(FormatVersionText("%s %n %x %d.%d.%d %", 1, 0), "%s %n %x 1.0. %");
    EXPECT_EQ(FormatVersionText("100%% %d", 1, 0), "100% 1");
}

} // namespace
