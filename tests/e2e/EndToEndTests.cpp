// Starts Kovrel.exe as its own process and drives it through its real windows, as a user would.
#include "support/ConverterProcess.h"

namespace {

using EndToEnd = ConverterProcess;

TEST_F(EndToEnd, BrowseConvertReportAndClose)
{
    const Bytes file12 = NewLayout(Sample(4), version12);
    const Path source = Write(L"source12.tbx", file12);
    const Path broken = Write(L"broken.tbx", Bytes(file12.begin(), file12.begin() + 200));
    const Path destination = folder / L"converted11.tbx";
    // The 1.1 layout writes the target version; nothing is lost, so nothing is asked.
    const Bytes expected11 = NewLayout(Sample(4), version11);

    // Browse for the source and see its version; OK waits for the rest of the request.
    Browse(IDC_SOURCE_BROWSE, source);
    ASSERT_TRUE(driver::WaitFor([&] { return ItemText(IDC_SOURCE_VERSION) == L"1.2"; }));
    EXPECT_EQ(ItemText(IDC_SOURCE_PATH), source.wstring());
    EXPECT_FALSE(IsWindowEnabled(Item(IDOK)));

    driver::Type(Item(IDC_DEST_PATH), destination.string());
    ASSERT_TRUE(driver::WaitFor([&] { return ItemText(IDC_DEST_PATH) == destination.wstring(); }));
    EXPECT_FALSE(IsWindowEnabled(Item(IDOK))) << "no target chosen yet";
    ASSERT_TRUE(ChooseVersion(L"1.1"));
    ASSERT_TRUE(OkBecomes(true));

    driver::Click(Item(IDOK));
    Bytes written;
    ASSERT_TRUE(driver::WaitFor([&] { return (written = ReadBytes(destination)) == expected11; }))
        << "written " << written.size() << " bytes, expected " << expected11.size();
    EXPECT_TRUE(OkBecomes(false)) << "OK stays enabled after converting";
    Sleep(500);
    EXPECT_EQ(driver::FindProcessDialog(kovrel.Id(), [&](HWND w) { return GetWindow(w, GW_OWNER) == dialog; }), nullptr)
        << "a successful conversion shows a message";

    // A truncated file: the real message box, caption the program's name, the status's text.
    Browse(IDC_SOURCE_BROWSE, broken);
    ExpectMessage(L"ファイルのフォーマットが不正です");
    EXPECT_EQ(ItemText(IDC_SOURCE_VERSION), L"");
    EXPECT_EQ(ItemText(IDC_SOURCE_PATH), source.wstring()) << "the source field lost its text";
    EXPECT_FALSE(IsWindowEnabled(Item(IDOK)));

    driver::Click(Item(IDC_CLOSE));
    EXPECT_TRUE(kovrel.Ended(20000)) << "the program did not end with its dialog";
}

}
