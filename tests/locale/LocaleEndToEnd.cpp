// Kovrel.exe under any locale: run by CMake under a Japanese and an English one. Every text is
// read back as UTF-16, and the files' folder and names hold characters outside code page 932.
// HandOver: a file on the command line, centred windows, the label beside a typed path, Enter on
// OK, on the question and in the source field.
#include "support/ConverterProcess.h"

namespace {

constexpr UINT aboutCommand = 16;

HWND FocusOf(HWND window)
{
    GUITHREADINFO info {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

class LocaleEndToEnd : public ConverterProcess {
protected:
    LocaleEndToEnd()
    {
        folder /= L"한국어 ☃ 😀";
        std::filesystem::create_directory(folder);
    }
};

TEST_F(LocaleEndToEnd, EveryLabelAndTheAboutBoxAreJapanese)
{
    const std::vector<std::wstring> labels = { L"変換元(&S)", L"", L"参照(&B)...", L"作成したTabrix のバージョン：",
        L"", L"変換先(&D)", L"", L"参照(&R)...", L"新しいファイルのバージョン(&V)", L"", L"OK", L"閉じる(&C)" };
    std::vector<std::wstring> shown;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        shown.push_back(driver::WideText(child));
    EXPECT_EQ(shown, labels);

    PostMessageW(dialog, WM_SYSCOMMAND, aboutCommand, 0);
    HWND about = driver::WaitForProcessDialog(kovrel.Id(),
        [](HWND w) { return driver::WideText(w) == L"Kovrel のﾊﾞｰｼﾞｮﾝ情報 "; });
    ASSERT_NE(about, nullptr) << "no about box with its Japanese title";
    HWND firstLine = GetWindow(GetWindow(about, GW_CHILD), GW_HWNDNEXT); // after the icon
    EXPECT_EQ(driver::WideText(firstLine), L"Tabrix ファイルコンバータ：Kovrel Version 1.2");
    driver::Click(GetDlgItem(about, IDOK));
    EXPECT_TRUE(driver::WaitFor([&] { return !IsWindow(about); })) << "the about box stayed";
}

TEST_F(LocaleEndToEnd, NamesOutsideCodePage932LoadConvertAndReport)
{
    const Bytes file12 = NewLayout(Sample(4), version12);
    const Path source = Write(L"源 ア ☃.tbx", file12);
    const Path destination = folder / L"源 ヂ ☃.tbx"; // ア, ヂ: one name by code page 932 folding
    const Path broken = Write(L"壊 ☃.tbx", Bytes(file12.begin(), file12.begin() + 200));

    Browse(IDC_SOURCE_BROWSE, source);
    ASSERT_TRUE(driver::WaitFor([&] { return ItemText(IDC_SOURCE_VERSION) == L"1.2"; })) << "no source version";
    EXPECT_EQ(ItemText(IDC_SOURCE_PATH), source.wstring());
    ASSERT_TRUE(ChooseVersion(L"1.1"));

    // Full paths count UTF-16 units, not bytes: 259 snowmen and folders take far more than 260
    // bytes and still fit; one unit past the system's limit does not.
    const std::wstring prefix = folder.wstring() + L"\\";
    for (auto [units, fits] : { std::pair { 259u, true }, std::pair { 261u, false } }) {
        driver::SetWideText(Item(IDC_DEST_PATH), prefix + std::wstring(units - prefix.size() - 4, L'☃') + L".tbx");
        EXPECT_TRUE(OkBecomes(fits)) << units << " units";
    }

    Browse(IDC_DEST_BROWSE, destination);
    EXPECT_EQ(ItemText(IDC_DEST_PATH), destination.wstring());
    ASSERT_TRUE(OkBecomes(true));
    driver::Click(Item(IDOK));
    Bytes written;
    EXPECT_TRUE(driver::WaitFor([&] { return (written = ReadBytes(destination)) == NewLayout(Sample(4), version11); }))
        << "written: " << written.size() << " bytes";
    ASSERT_TRUE(OkBecomes(false));

    // OK had the keyboard focus when it was disabled: the focus went on, and Tab still moves it.
    HWND focus = FocusOf(dialog);
    ASSERT_TRUE(focus && IsChild(dialog, focus) && IsWindowEnabled(focus)) << "the focus is lost";
    driver::PressKey(focus, VK_TAB);
    EXPECT_TRUE(driver::WaitFor([&] {
        HWND now = FocusOf(dialog);
        return now != focus && IsChild(dialog, now) && IsWindowEnabled(now);
    })) << "Tab does not move the focus";

    Browse(IDC_SOURCE_BROWSE, broken);
    ExpectMessage(L"ファイルのフォーマットが不正です");
    EXPECT_EQ(ItemText(IDC_SOURCE_PATH), source.wstring()) << "the source field lost its text";
}

class HandOver : public LocaleEndToEnd {
protected:
    HandOver() { arguments = L"\"" + source.wstring() + L"\""; }
    // Keys on the display's keyboard (xdotool), as a user's come, unlike posted ones. Wine gives no
    // handle to wait for a Unix program on: true once it has left its mark.
    bool TypeKeys(const std::string& keys, const std::string& window = "^Tabrix")
    {
        std::string done = "/tmp/kovrel-keys-" + std::to_string(GetCurrentProcessId());
        driver::Process xdotool;
        return xdotool.Start("/bin/sh", {},
                   driver::Widen("-c \"xdotool search --name " + window + " windowfocus --sync key --delay 200 " + keys
                       + " && touch " + done + "\""))
            && driver::WaitFor([&] { return std::filesystem::remove(driver::WindowsPathOf(done)); }, 10000);
    }
    // Centred over another window, or over the work area, to a pixel of rounding either way.
    static bool Centred(HWND window, HWND over)
    {
        RECT r {}, a {};
        GetWindowRect(window, &r);
        over ? GetWindowRect(over, &a) : SystemParametersInfoW(SPI_GETWORKAREA, 0, &a, 0);
        return std::abs(r.left + r.right - a.left - a.right) <= 2 && std::abs(r.top + r.bottom - a.top - a.bottom) <= 2;
    }
    const Path source = Write(L"長い名前の源 ア ☃ with blanks, and a long tail.tbx", NewLayout(Sample(4), version12));
};

TEST_F(HandOver, CommandLineFileCentredWindowsTheLabelAndEnterOnTheKeyboard)
{
    ASSERT_TRUE(driver::WaitFor([&] { return ItemText(IDC_SOURCE_VERSION) == L"1.2"; })) << "nothing loaded";
    HWND field = Item(IDC_SOURCE_PATH);
    EXPECT_EQ(driver::WideText(field), source.wstring());
    RECT box {};
    GetClientRect(field, &box); // the path's end shows: its first character scrolled out, its last inside
    EXPECT_GT(SendMessageW(field, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    EXPECT_LT(short(LOWORD(SendMessageW(field, EM_POSFROMCHAR, source.wstring().size() - 1, 0))), box.right);

    EXPECT_TRUE(Centred(dialog, nullptr)) << "the converter on the screen";

    for (const Path& typed : { folder / L"other ☃.tbx", source }) {
        driver::SetWideText(field, typed.wstring());
        EXPECT_TRUE(driver::WaitFor([&] { return ItemText(IDC_SOURCE_VERSION) == (typed == source ? L"1.2" : L""); }));
    }
    const Path destination = folder / L"変換 ☃.tbx";
    driver::SetWideText(Item(IDC_DEST_PATH), destination.wstring());
    ASSERT_TRUE(ChooseVersion(L"1.1") && OkBecomes(true));
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDOK)), TRUE);
    ASSERT_TRUE(TypeKeys("Return"));
    ASSERT_TRUE(driver::WaitFor([&] { return ReadBytes(destination) == NewLayout(Sample(4), version11); }))
        << "Enter on OK";
    std::filesystem::remove(destination);
    ASSERT_TRUE(OkBecomes(false) && TypeKeys("Return Return"));
    EXPECT_FALSE(kovrel.Ended(1000) || !IsWindowVisible(dialog) || std::filesystem::exists(destination))
        << "a second Enter ended the program or converted";
    PostMessageW(dialog, WM_SYSCOMMAND, aboutCommand, 0);
    HWND about = WaitForOwned(false);
    EXPECT_TRUE(about && Centred(about, dialog)) << "the about box over the converter";
}

TEST_F(HandOver, TheQuestionAndEnterInTheSourceFieldOnTheKeyboard)
{
    const Path destination = folder / L"変換 ☃.tbx";
    driver::SetWideText(Item(IDC_DEST_PATH), destination.wstring());
    ASSERT_TRUE(driver::WaitFor([&] { return ItemText(IDC_SOURCE_VERSION) == L"1.2"; }) && ChooseVersion(L"1.0"));
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDOK)), TRUE);
    // Enter on OK asks first. Enter on the question is No, its default: nothing is written and
    // the focus is on OK again. y is Yes.
    const std::wstring question = L"拡張ワード X1..X4 は書き込まれませんでした\n"
                                  L"末尾ワード T1..T3 は書き込まれませんでした\nそれでも変換しますか？";
    ASSERT_TRUE(OkBecomes(true) && TypeKeys("Return"));
    HWND box = ExpectBox(question, true);
    ASSERT_TRUE(box && TypeKeys("Return", "^Kovrel$") && driver::WaitFor([&] { return !IsWindow(box); }));
    ASSERT_TRUE(driver::WaitFor([&] { return FocusOf(dialog) == Item(IDOK); })) << "the focus is not on OK";
    EXPECT_FALSE(std::filesystem::exists(destination) || !IsWindowEnabled(Item(IDOK))) << "No converted";
    ASSERT_TRUE(TypeKeys("Return"));
    box = ExpectBox(question, true);
    ASSERT_TRUE(box && TypeKeys("y", "^Kovrel$"));
    EXPECT_TRUE(driver::WaitFor([&] { return ReadBytes(destination) == OldLayout(Sample(4)); })) << "Yes";
    // Enter in the source field while OK is disabled loads the name typed there, relative to the
    // folder Kovrel runs in; the focus stays in the field.
    const Path other = Write(L"other ☃.tbx", NewLayout(Sample(4), version11));
    driver::SetWideText(Item(IDC_SOURCE_PATH), other.filename().wstring());
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_SOURCE_PATH)), TRUE);
    ASSERT_TRUE(OkBecomes(false) && TypeKeys("Return"));
    EXPECT_TRUE(driver::WaitFor([&] { return ItemText(IDC_SOURCE_VERSION) == L"1.1"; })) << "nothing loaded";
    EXPECT_TRUE(ItemText(IDC_SOURCE_PATH) == other.wstring() && FocusOf(dialog) == Item(IDC_SOURCE_PATH));
}

}
