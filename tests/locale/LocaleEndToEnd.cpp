// Kovrel.exe under any locale: run by CMake under a Japanese and an English one. Every text is
// read back as UTF-16, and the files' folder and names hold characters outside code page 932.
#include "e2e/DriverWindows.h"
#include "e2e/SampleFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr int messageTextId = 0xFFFF; // the static that holds a message box's text
constexpr UINT aboutCommand = 16;

void WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(std::filesystem::path(path), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The bytes once the program no longer holds the file for writing, which allows no readers.
std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

class LocaleEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = (std::filesystem::temp_directory_path() / ("kovrel-locale-" + std::to_string(GetTickCount())) / L"한국어 ☃ 😀").wstring();
        ASSERT_TRUE(std::filesystem::create_directories(folder));
        std::wstring command = L"\"" + std::filesystem::path(driver::WindowsPathOf(KOVREL_EXE_PATH)).wstring() + L"\"";
        STARTUPINFOW startup {};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &kovrel));
        dialog = WaitForDialog([](HWND w) { return driver::WideText(w) == L"Tabrix ファイルコンバータ"; }, 60000);
        ASSERT_NE(dialog, nullptr) << "the converter dialog did not appear with its Japanese title";
    }

    void TearDown() override
    {
        TerminateProcess(kovrel.hProcess, 1); // should a test leave it running
        CloseHandle(kovrel.hThread);
        CloseHandle(kovrel.hProcess);
    }

    HWND WaitForDialog(const std::function<bool(HWND)>& matches, DWORD timeoutMs = driver::defaultTimeout)
    {
        return driver::WaitForProcessDialog(kovrel.dwProcessId, matches, timeoutMs);
    }
    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    std::wstring ItemText(int id) const { return driver::WideText(Item(id)); }

    // Clicks a browse button, names the file in the system's dialog and confirms it.
    void Browse(int button, const std::wstring& path)
    {
        driver::Click(Item(button));
        HWND files = WaitForDialog([&](HWND w) { return GetWindow(w, GW_OWNER) == dialog && driver::FileNameEdit(w); });
        ASSERT_NE(files, nullptr) << "no file dialog";
        driver::SetWideText(driver::FileNameEdit(files), path);
        driver::Click(GetDlgItem(files, IDOK));
        ASSERT_TRUE(driver::WaitFor([&] { return !IsWindow(files) || !IsWindowVisible(files); })) << "the file dialog stayed";
    }

    bool OkBecomes(bool enabled)
    {
        return driver::WaitFor([&] { return (IsWindowEnabled(Item(IDOK)) != FALSE) == enabled; }, 5000);
    }

    std::wstring folder;
    PROCESS_INFORMATION kovrel {};
    HWND dialog = nullptr;
};

TEST_F(LocaleEndToEnd, EveryLabelAndTheAboutBoxAreJapanese)
{
    const std::vector<std::wstring> labels = { L"変換元(&S)", L"", L"参照(&B)...", L"作成したTabrix のバージョン：", L"",
        L"変換先(&D)", L"", L"参照(&R)...", L"新しいファイルのバージョン(&V)", L"", L"OK", L"閉じる(&C)" };
    std::vector<std::wstring> shown;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        shown.push_back(driver::WideText(child));
    EXPECT_EQ(shown, labels);

    PostMessageW(dialog, WM_SYSCOMMAND, aboutCommand, 0);
    HWND about = WaitForDialog([](HWND w) { return driver::WideText(w) == L"Kovrel のﾊﾞｰｼﾞｮﾝ情報 "; });
    ASSERT_NE(about, nullptr) << "no about box with its Japanese title";
    HWND firstLine = GetWindow(GetWindow(about, GW_CHILD), GW_HWNDNEXT); // after the icon
    EXPECT_EQ(driver::WideText(firstLine), L"Tabrix ファイルコンバータ：Kovrel Version 1.2");
    driver::Click(GetDlgItem(about, IDOK));
    EXPECT_TRUE(driver::WaitFor([&] { return !IsWindow(about); })) << "the about box stayed";
}

TEST_F(LocaleEndToEnd, NamesOutsideCodePage932LoadConvertAndReport)
{
    const std::wstring source = folder + L"\\源 ア ☃.tbx";
    const std::wstring destination = folder + L"\\源 ヂ ☃.tbx"; // ア, ヂ: one name by code page 932 folding
    const std::wstring broken = folder + L"\\壊 ☃.tbx";
    std::vector<std::uint8_t> file12 = NewLayoutFile(0x0102, 6);
    WriteFileBytes(source, file12);
    WriteFileBytes(broken, std::vector<std::uint8_t>(file12.begin(), file12.begin() + 200));

    Browse(1001, source);
    ASSERT_TRUE(driver::WaitFor([&] { return ItemText(1004) == L"1.2"; })) << "no version shown for the source";
    EXPECT_EQ(ItemText(1000), source);
    driver::PressKey(Item(1005), VK_DOWN); // 1.0, then 1.1
    driver::PressKey(Item(1005), VK_DOWN);
    ASSERT_TRUE(driver::WaitFor([&] { return ItemText(1005) == L"1.1"; })) << "no target version chosen";

    // Full paths count UTF-16 units, not bytes: 259 snowmen and folders take far more than 260
    // bytes and still fit; one unit past the system's limit does not.
    const std::wstring prefix = folder + L"\\";
    for (auto [units, fits] : { std::pair { 259u, true }, std::pair { 261u, false } }) {
        driver::SetWideText(Item(1002), prefix + std::wstring(units - prefix.size() - 4, L'☃') + L".tbx");
        EXPECT_TRUE(OkBecomes(fits)) << units << " units";
    }

    Browse(1003, destination);
    EXPECT_EQ(ItemText(1002), destination);
    ASSERT_TRUE(OkBecomes(true));
    driver::Click(Item(IDOK));
    std::vector<std::uint8_t> written;
    EXPECT_TRUE(driver::WaitFor([&] { return (written = ReadFileBytes(destination)) == NewLayoutFile(0x0101, 3); }))
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

    Browse(1001, broken);
    HWND box = WaitForDialog([&](HWND w) { return GetWindow(w, GW_OWNER) == dialog && !driver::FileNameEdit(w); });
    ASSERT_NE(box, nullptr) << "no message box for a truncated file";
    EXPECT_EQ(driver::WideText(box), L"Kovrel");
    EXPECT_EQ(driver::WideText(GetDlgItem(box, messageTextId)), L"ファイルのフォーマットが不正です");
    driver::Click(GetDlgItem(box, IDOK));
    EXPECT_TRUE(driver::WaitFor([&] { return !IsWindow(box); })) << "the message box stayed";
    EXPECT_EQ(ItemText(1000), source) << "the source field lost its text";
}

}
