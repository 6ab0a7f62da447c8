// The converter dialog and the about box, run modally from the real templates and inspected
// from a timer on the dialog's own thread.
#include "app/AboutDialog.h"
#include "app/ConverterDialog.h"
#include "app/resource.h"
#include "engine/FormatVersion.h"
#include "gui/DialogTemplate.h"
#include "support/GuiSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const std::wstring aboutTitle = L"Kovrel のﾊﾞｰｼﾞｮﾝ情報 ";

class InspectableConverterDialog : public ConverterDialog {
public:
    using ConverterDialog::icon;
    using ConverterDialog::versionFormat;

    // When set, the version label holds this text when the dialog's OnInitDialog reads it.
    const char* versionTemplate = nullptr;

protected:
    BOOL OnInitDialog() override
    {
        if (versionTemplate)
            SetDlgItemText(IDC_SOURCE_VERSION, versionTemplate);
        return ConverterDialog::OnInitDialog();
    }
};

// The target list offers texts in this order, each with its version, 1.0 to 1.2, as item data.
void ExpectVersionList(HWND list, const std::vector<std::wstring>& texts)
{
    ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), LRESULT(texts.size()));
    for (std::uint8_t i = 0; i < texts.size(); ++i) {
        wchar_t text[64] = {};
        SendMessageW(list, CB_GETLBTEXT, i, LPARAM(text));
        EXPECT_EQ(text, texts[i]);
        EXPECT_EQ(SendMessageW(list, CB_GETITEMDATA, i, 0), MakeVersion(1, i));
    }
}

TEST(ConverterDialogStart, ShowsEveryControlInTabOrderWithBlankLabelAndDisabledOk)
{
    InspectableConverterDialog dialog;
    ShowAndCancel(dialog, [&](HWND window) {
        EXPECT_EQ(WideText(window), driver::converterTitle);
        // Every control of the program's own template, which the resource suite checks.
        const auto designed = LoadDialogTemplate(GetModuleHandleW(nullptr), IDD_CONVERTER);
        ASSERT_TRUE(designed);
        size_t index = 0;
        for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT), ++index) {
            ASSERT_LT(index, designed->items.size());
            SCOPED_TRACE("control " + std::to_string(index));
            const TemplateItem& want = designed->items[index];
            EXPECT_EQ(WORD(GetDlgCtrlID(control)), WORD(want.id));
            EXPECT_EQ(_wcsicmp(Widen(driver::ClassName(control)).c_str(), ClassNameOf(want.windowClass).c_str()), 0);
            // Shown, the version label is blank and OK disabled until a request is valid.
            EXPECT_EQ(WideText(control), want.id == IDC_SOURCE_VERSION ? L"" : want.title.text);
            // The system turns an edit's border into its client edge and gives the combo
            // box's scroll bar to its list; the template test checks those bits.
            const DWORD moved = WS_BORDER | WS_VSCROLL;
            const DWORD style = want.id == IDOK ? want.style | WS_DISABLED : want.style;
            EXPECT_EQ(DWORD(GetWindowLongW(control, GWL_STYLE)) & ~moved, style & ~moved)
                << std::hex << GetWindowLongW(control, GWL_STYLE);
        }
        EXPECT_EQ(index, designed->items.size());
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDOK)));
        EXPECT_EQ(GetFocus(), GetDlgItem(window, IDC_SOURCE_PATH));
        EXPECT_EQ(dialog.versionFormat, "%d.%d");
    });
}

TEST(ConverterDialogStart, OffersVersions10To12WithTheirFormatVersionAndNothingSelected)
{
    InspectableConverterDialog dialog;
    ShowAndCancel(dialog, [&](HWND window) {
        HWND list = GetDlgItem(window, IDC_TARGET_VERSION);
        ExpectVersionList(list, { L"1.0", L"1.1", L"1.2" });
        EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), CB_ERR);
    });
}

TEST(ConverterDialogStart, VersionTextsFollowTheLabelsTemplate)
{
    // The template is a resource text, never a printf format: unknown conversions stay as
    // they are and a third number conversion gets nothing.
    const std::pair<const char*, std::vector<std::wstring>> cases[] = {
        { "%d-%d", { L"1-0", L"1-1", L"1-2" } },
        { "v%d_%d%%", { L"v1_0%", L"v1_1%", L"v1_2%" } },
        { "%s%d.%d.%d", { L"%s1.0.", L"%s1.1.", L"%s1.2." } },
    };
    for (const auto& [versionTemplate, texts] : cases) {
        SCOPED_TRACE(versionTemplate);
        InspectableConverterDialog dialog;
        dialog.versionTemplate = versionTemplate;
        ShowAndCancel(dialog, [&](HWND window) {
            EXPECT_EQ(dialog.versionFormat, versionTemplate);
            EXPECT_EQ(WideText(GetDlgItem(window, IDC_SOURCE_VERSION)), L"");
            ExpectVersionList(GetDlgItem(window, IDC_TARGET_VERSION), texts);
        });
    }
}

TEST(ConverterDialogStart, WindowCarriesTheProgramIconBigAndSmall)
{
    InspectableConverterDialog dialog;
    ASSERT_NE(dialog.icon, nullptr);
    ShowAndCancel(dialog, [&](HWND window) {
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0)), dialog.icon);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0)), dialog.icon);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(window, WM_QUERYDRAGICON, 0, 0)), dialog.icon);
    });
}

// Counts what the dialog sends itself to erase under its icon while it paints.
struct IconEraseWatch {
    static inline WNDPROC previous = nullptr;
    static inline int erases = 0;
    static inline bool withPaintDc = true;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_ICONERASEBKGND) {
            ++erases;
            withPaintDc = withPaintDc && wParam != 0 && lParam == 0;
        }
        return CallWindowProcW(previous, window, message, wParam, lParam);
    }

    static void Attach(HWND window)
    {
        previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure)));
    }

    // Has the window paint itself once and gives how many icon erases that painting sent.
    static int ErasesOfOnePaint(HWND window)
    {
        erases = 0;
        InvalidateRect(window, nullptr, TRUE);
        SendMessageW(window, WM_PAINT, 0, 0);
        return erases;
    }
};

TEST(ConverterDialogPaint, MinimisedItPaintsItsIconRestoredItLeavesPaintingToTheDialog)
{
    InspectableConverterDialog dialog;
    int minimisedErases = -1, restoredErases = -1;
    bool wasIconic = false, restored = false;
    ShowAndCancel(dialog, [&](HWND window) {
        IconEraseWatch::Attach(window);
        // Under Xvfb no window manager carries out a minimise; the style is what
        // IsIconic reads, so the dialog is put in the minimised state by its style,
        // and taken out of it by a restore (the style bit cannot be cleared directly).
        SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) | WS_MINIMIZE);
        wasIconic = IsIconic(window) != FALSE;
        minimisedErases = IconEraseWatch::ErasesOfOnePaint(window);
        ShowWindow(window, SW_RESTORE);
        restored = IsIconic(window) == FALSE;
        restoredErases = IconEraseWatch::ErasesOfOnePaint(window);
    });
    EXPECT_TRUE(wasIconic);
    EXPECT_TRUE(restored);
    EXPECT_GE(minimisedErases, 1);
    EXPECT_TRUE(IconEraseWatch::withPaintDc);
    EXPECT_EQ(restoredErases, 0);
}

TEST(ConverterDialogSystemMenu, EndsWithASeparatorAndTheAboutItem)
{
    InspectableConverterDialog dialog;
    ShowAndCancel(dialog, [&](HWND window) {
        HMENU menu = GetSystemMenu(window, FALSE);
        ASSERT_NE(menu, nullptr);
        int count = GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        EXPECT_TRUE(GetMenuState(menu, UINT(count - 2), MF_BYPOSITION) & MF_SEPARATOR);
        EXPECT_EQ(GetMenuItemID(menu, count - 1), UINT(IDM_ABOUTBOX));
        wchar_t text[64] = {};
        GetMenuStringW(menu, UINT(count - 1), text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, L"ﾊﾞｰｼﾞｮﾝ情報(Kovrel) (&A)...");
    });
}

TEST(ConverterDialogSystemMenu, Commands16To31OpenTheAboutBoxOthersKeepTheirDefault)
{
    InspectableConverterDialog dialog;
    std::vector<ModalStep> steps;
    steps.push_back(WhenShown(dialog, [](HWND) {}));
    std::vector<UINT> opened;
    for (UINT command = 16; command <= 31; ++command) {
        steps.push_back(Post(dialog, WM_SYSCOMMAND, command));
        steps.push_back([&, command] {
            HWND about = FindOwnDialog(aboutTitle);
            if (!about || !IsWindowVisible(about))
                return false;
            // Modal over the converter, which it is owned by.
            EXPECT_EQ(GetWindow(about, GW_OWNER), dialog.GetSafeHwnd());
            EXPECT_FALSE(IsWindowEnabled(dialog.GetSafeHwnd()));
            opened.push_back(command);
            PostMessageA(about, WM_COMMAND, IDOK, 0);
            return true;
        });
        steps.push_back([&] { return !FindOwnDialog(aboutTitle) && IsWindowEnabled(dialog.GetSafeHwnd()); });
    }
    // The command right after the range is left to the system, which has nothing to do for it.
    int waited = 0;
    bool aboutAfterRange = false;
    steps.push_back(Post(dialog, WM_SYSCOMMAND, 32));
    steps.push_back([&] {
        aboutAfterRange = aboutAfterRange || FindOwnDialog(aboutTitle);
        return ++waited >= 15;
    });
    // Close from the system menu is the system's own behaviour too: it ends the dialog.
    steps.push_back(Post(dialog, WM_SYSCOMMAND, SC_CLOSE));
    // As at start-up: the converter is the main window, which owns the about box.
    GetTestApp().m_pMainWnd = &dialog;
    auto outcome = RunModalLoop([&] { return dialog.DoModal(); }, std::move(steps), 40000);
    GetTestApp().m_pMainWnd = nullptr;
    EXPECT_FALSE(outcome.timedOut) << "steps done: " << outcome.stepsDone;
    EXPECT_EQ(opened.size(), 16u);
    EXPECT_FALSE(aboutAfterRange);
    EXPECT_EQ(outcome.result, IDCANCEL);
}

TEST(ConverterDialogClosing, EscEndsItWithCancel)
{
    InspectableConverterDialog dialog;
    auto outcome = RunModalLoop([&] { return dialog.DoModal(); },
        {
            WhenShown(dialog,
                [](HWND window) {
                    PostMessageA(GetDlgItem(window, IDC_SOURCE_PATH), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                }),
        });
    EXPECT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.result, IDCANCEL);
}

TEST(AboutBox, ShowsIconVersionLineAndClosesWithOkOrEsc)
{
    struct Case {
        const char* how;
        std::function<void(HWND)> close;
        INT_PTR result;
    };
    const Case cases[] = {
        { "OK button", [](HWND about) { PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0); }, IDOK },
        { "Esc", [](HWND about) { PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0x00010001); },
            IDCANCEL },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.how);
        AboutDialog about;
        auto outcome = RunModalLoop([&] { return about.DoModal(); },
            {
                WhenShown(about,
                    [&](HWND window) {
                        EXPECT_EQ(WideText(window), aboutTitle);
                        HWND icon = GetWindow(window, GW_CHILD);
                        ASSERT_NE(icon, nullptr);
                        EXPECT_NE(SendMessageW(icon, STM_GETICON, 0, 0), 0);
                        HWND line = GetWindow(icon, GW_HWNDNEXT);
                        EXPECT_EQ(WideText(line), L"Tabrix ファイルコンバータ：Kovrel Version 1.2");
                        test.close(window);
                    }),
            });
        EXPECT_FALSE(outcome.timedOut);
        EXPECT_EQ(outcome.result, test.result);
    }
}

TEST(DialogTemplateMissing, DoModalGivesMinusOne)
{
    CDialog dialog(4711);
    EXPECT_EQ(dialog.DoModal(), -1);
}

} // namespace
