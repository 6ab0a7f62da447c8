// The resources as built into Kovrel.exe: dialog templates, strings, icon and version block.
#include "app/resource.h"
#include "gui/DialogTemplate.h"
#include "support/GuiSupport.h"
#include "support/DriverWindows.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN);

const DWORD child = WS_CHILD | WS_VISIBLE;
// Titles of designed controls that are not texts: the program's icon, and any text but none.
const wchar_t* const programIcon = nullptr;
const wchar_t* const someText = L"\1";

// A control as its template designs it; the style is complete, WS_CHILD | WS_VISIBLE included.
struct DesignedControl {
    int id;
    const char* className;
    const wchar_t* text;
    DWORD style;
    short x, y, cx, cy;
};

// The converter dialog's controls in tab order.
// clang-format off
const std::vector<DesignedControl> converterControls = {
    { -1, "STATIC", L"変換元(&S)", child | SS_LEFT | WS_GROUP, 10, 10, 30, 10 },
    { IDC_SOURCE_PATH, "EDIT", L"", child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 45, 10, 120, 12 },
    { IDC_SOURCE_BROWSE, "BUTTON", L"参照(&B)...", child | BS_PUSHBUTTON | WS_TABSTOP, 170, 10, 35, 15 },
    { -1, "STATIC", L"作成したTabrix のバージョン：", child | SS_LEFT | WS_GROUP, 45, 25, 90, 10 },
    { IDC_SOURCE_VERSION, "STATIC", L"%d.%d", child | SS_CENTER | SS_SUNKEN | WS_GROUP, 140, 25, 25, 10 },
    { -1, "STATIC", L"変換先(&D)", child | SS_LEFT | WS_GROUP, 10, 45, 30, 10 },
    { IDC_DEST_PATH, "EDIT", L"", child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 45, 45, 120, 12 },
    { IDC_DEST_BROWSE, "BUTTON", L"参照(&R)...", child | BS_PUSHBUTTON | WS_TABSTOP, 170, 45, 35, 15 },
    { -1, "STATIC", L"新しいファイルのバージョン(&V)", child | SS_LEFT | WS_GROUP, 45, 65, 90, 10 },
    { IDC_TARGET_VERSION, "COMBOBOX", L"", child | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 140, 65, 25, 55 },
    { IDOK, "BUTTON", L"OK", child | BS_DEFPUSHBUTTON | WS_TABSTOP, 50, 95, 50, 15 },
    { IDC_CLOSE, "BUTTON", L"閉じる(&C)", child | BS_PUSHBUTTON | WS_TABSTOP, 105, 95, 50, 15 },
};
// clang-format on

void ExpectItems(const DialogTemplate& dialog, const std::vector<DesignedControl>& expected)
{
    ASSERT_EQ(dialog.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i));
        const TemplateItem& item = dialog.items[i];
        const DesignedControl& want = expected[i];
        EXPECT_EQ(WORD(item.id), WORD(want.id));
        EXPECT_EQ(_stricmp(Narrow(ClassNameOf(item.windowClass)).c_str(), want.className), 0);
        EXPECT_EQ(item.title.isOrdinal, want.text == programIcon);
        if (want.text == programIcon)
            EXPECT_EQ(item.title.ordinal, IDR_MAINFRAME);
        else if (want.text == someText)
            EXPECT_FALSE(item.title.text.empty());
        else
            EXPECT_EQ(item.title.text, want.text);
        EXPECT_EQ(item.style, want.style) << std::hex << item.style;
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(std::tuple(item.x, item.y, item.cx, item.cy), std::tuple(want.x, want.y, want.cx, want.cy));
        EXPECT_EQ(item.extraCount, 0);
    }
}

// At the origin, with no menu nor class of its own, in the Japanese 9-point font.
void ExpectFrame(const DialogTemplate& dialog, DWORD style, DWORD exStyle, short cx, short cy, const wchar_t* title)
{
    EXPECT_EQ(dialog.style, style) << std::hex << dialog.style;
    EXPECT_EQ(dialog.exStyle, exStyle) << std::hex << dialog.exStyle;
    EXPECT_EQ(std::tuple(dialog.x, dialog.y, dialog.cx, dialog.cy), std::tuple(0, 0, cx, cy));
    EXPECT_FALSE(dialog.menu.isOrdinal || !dialog.menu.text.empty());
    EXPECT_FALSE(dialog.windowClass.isOrdinal || !dialog.windowClass.text.empty());
    EXPECT_EQ(dialog.title, title);
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.typeface, L"ＭＳ Ｐゴシック");
}

class KovrelResourceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(module, nullptr) << driver::Narrow(driver::KovrelPath()); }
    ~KovrelResourceTest() override { FreeLibrary(module); }

    // Kovrel.exe loaded as data, for its resources.
    HMODULE module = LoadLibraryExW(driver::KovrelPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
};

TEST_F(KovrelResourceTest, ConverterTemplateIsExtendedWithEveryControlAsDesigned)
{
    auto dialog = LoadDialogTemplate(module, IDD_CONVERTER);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->extended);
    ExpectFrame(*dialog, 0x90C800C0, 0x00040000, 214, 119, L"Tabrix ファイルコンバータ");
    EXPECT_EQ(std::tuple(dialog->weight, dialog->italic, dialog->charset), std::tuple(0, 0, 1));
    ExpectItems(*dialog, converterControls);
}

TEST_F(KovrelResourceTest, AboutTemplateIsStandardWithIconTextAndOk)
{
    auto dialog = LoadDialogTemplate(module, IDD_ABOUTBOX);
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->extended);
    ExpectFrame(*dialog, 0x80C800C0, 0, 229, 55, L"Kovrel のﾊﾞｰｼﾞｮﾝ情報 ");
    const std::wstring line = L"Tabrix ファイルコンバータ：Kovrel Version 1.2";
    ExpectItems(*dialog,
        {
            { -1, "STATIC", programIcon, child | SS_ICON, 11, 17, 20, 20 },
            { -1, "STATIC", line.c_str(), child | SS_LEFT | SS_NOPREFIX | WS_GROUP, 40, 10, 145, 8 },
            { IDOK, "BUTTON", L"OK", child | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 190, 10, 32, 14 },
            { -1, "STATIC", someText, child | SS_LEFT | WS_GROUP, 40, 25, 172, 8 }, // the second information line
        });
}

TEST_F(KovrelResourceTest, EveryResourceIsJapanese)
{
    // Types and names; string ids n live in block n / 16 + 1.
    const std::pair<LPCWSTR, LPCWSTR> wanted[] = {
        { MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(IDD_CONVERTER) },
        { MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(IDD_ABOUTBOX) },
        { MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(IDR_MAINFRAME) },
        { MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1) },
        { MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(IDS_ABOUTBOX / 16 + 1) },
        { MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(61446 / 16 + 1) },
        { MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(61856 / 16 + 1) },
    };
    for (const auto& [type, name] : wanted)
        EXPECT_NE(FindResourceExW(module, type, name, japanese), nullptr) << reinterpret_cast<ULONG_PTR>(name);
}

TEST_F(KovrelResourceTest, StringTableHoldsTheAboutItemTheQuestionAndTheFrameworkTexts)
{
    const std::pair<UINT, const wchar_t*> strings[] = {
        { 101, L"ﾊﾞｰｼﾞｮﾝ情報(Kovrel) (&A)..." },
        { 103, L"それでも変換しますか？" },
        { 61446, L"無題のﾌｧｲﾙ" },
        { 61475, L"ﾒﾓﾘが不足しています。" },
        { 61703, L"ﾍﾙﾌﾟの起動に失敗しました。" },
        { 61704, L"ｱﾌﾟﾘｹｰｼｮﾝの内部ｴﾗｰです。" },
        { 61856, L"ｴﾗｰはありません。" },
        { 61857, L"%1 へのｱｸｾｽ中に予期しないｴﾗｰが発生しました。" },
        { 61858, L"%1 が見つかりません。" },
        { 61859, L"%1 は無効なﾊﾟｽです。" },
        { 61860, L"開いているﾌｧｲﾙが多すぎるため %1 を開けませんでした。" },
        { 61861, L"%1 へのｱｸｾｽは拒否されました。" },
        { 61862, L"%1 へ無効なﾌｧｲﾙ ﾊﾝﾄﾞﾙが関連付けられています。" },
        { 61863, L"%1 could not be removed because it is the current directory." },
        { 61864, L"ﾃﾞｨﾚｸﾄﾘの空き容量が不足しているため %1 を作成できません。" },
        { 61865, L"%1 のｼｰｸに失敗しました" },
        { 61866, L"%1 へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。" },
        { 61867, L"%1 へのｱｸｾｽ中に共有違反が発生しました。" },
        { 61868, L"%1 へのｱｸｾｽ中にﾛｯｷﾝｸﾞ違反が発生しました。" },
        { 61869, L"%1 へのｱｸｾｽ中にﾃﾞｨｽｸの空き容量が不足しました。" },
        { 61870, L"%1 の末尾以降にｱｸｾｽしようとしました。" },
    };
    for (const auto& [id, text] : strings) {
        SCOPED_TRACE(id);
        wchar_t buffer[256] = {};
        LoadStringW(module, id, buffer, 256);
        EXPECT_STREQ(buffer, text);
    }
    // No application title: the executable's name is the caption of every message box.
    wchar_t title[16] = {};
    EXPECT_EQ(LoadStringW(module, 57344, title, 16), 0);
}

TEST_F(KovrelResourceTest, IconHasA32And16PixelImageOf16Colours)
{
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(14));
    ASSERT_NE(group, nullptr);
    auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(bytes, nullptr);
    DWORD size = SizeofResource(module, group);
    ASSERT_GE(size, 6u);
    WORD count = WORD(bytes[4] | bytes[5] << 8);
    ASSERT_EQ(count, 2);
    ASSERT_GE(size, 6u + 14u * count);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = bytes + 6 + 14 * i;
        EXPECT_EQ(entry[0], entry[1]) << "square";
        sizes.push_back(entry[0]);
        EXPECT_EQ(entry[2], 16) << "colours";
        EXPECT_EQ(entry[6] | entry[7] << 8, 4) << "bits per pixel";
    }
    EXPECT_EQ(sizes, (std::vector<int> { 32, 16 }));
}

// Kovrel.exe's version block, read as Explorer reads it.
class KovrelVersionBlock : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring path = driver::KovrelPath();
        block.resize(GetFileVersionInfoSizeW(path.c_str(), nullptr));
        ASSERT_GT(block.size(), 0u);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, DWORD(block.size()), block.data()));
    }
    // The value at query, its size in length; null when there is none.
    template<class Value>
    Value* Query(const std::wstring& query)
    {
        Value* value = nullptr;
        length = 0;
        return VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ? value : nullptr;
    }

    std::vector<BYTE> block;
    UINT length = 0;
};

TEST_F(KovrelVersionBlock, HoldsVersion1201ForAWindowsApplication)
{
    const auto* fixed = Query<VS_FIXEDFILEINFO>(L"\\");
    ASSERT_TRUE(fixed);
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileOS, DWORD(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);
}

TEST_F(KovrelVersionBlock, IsJapaneseInUnicode)
{
    const WORD* translation = Query<WORD>(L"\\VarFileInfo\\Translation");
    ASSERT_TRUE(translation);
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 0x04B0);
}

TEST_F(KovrelVersionBlock, NamesTheProgramAndItsVersionAndHoldsAnEmptyCompany)
{
    const std::pair<const wchar_t*, const wchar_t*> values[] = {
        { L"FileDescription", L"Kovrel" }, { L"InternalName", L"Kovrel" }, { L"OriginalFilename", L"Kovrel.EXE" },
        { L"ProductName", L"Kovrel ｱﾌﾟﾘｹｰｼｮﾝ" }, { L"FileVersion", L"1, 2, 0, 1" },
        { L"ProductVersion", L"1, 2, 0, 1" }, { L"CompanyName", L"" }, // present, even though empty
    };
    for (const auto& [name, expected] : values) {
        SCOPED_TRACE(testing::Message() << static_cast<const void*>(name));
        const wchar_t* text = Query<wchar_t>(std::wstring(L"\\StringFileInfo\\041104b0\\") + name);
        EXPECT_TRUE(text != nullptr);
        EXPECT_EQ(text ? std::wstring(text, wcsnlen(text, length)) : std::wstring(), expected);
    }
}

} // namespace
