// Enter in the source field loads the file that it names, as a confirmed browse of it would.
#include "actions/ActionsHarness.h"

#include <tuple>

namespace {

TEST_F(Actions, EnterInTheSourceFieldLoadsWhatItNamesUnlessThatIsTheLoadedFile)
{
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
    // Typed, then the field and the version label, and the message that Enter leaves.
    const std::tuple<std::string, std::string, std::string> typed[] = {
        { v10, v10 + " 1.0", "" },
        { "sub\\..\\v10.tbx", v10 + " 1.0", "" },
        { broken, broken + " ", StatusText(BadFormat) },
        { "", " ", "" },
    };
    dialog.Run([&](ActionsDialog& d) {
        for (const auto& [text, shown, message] : typed) {
            MakeValid(d);
            d.Type(IDC_SOURCE_PATH, text);
            ASSERT_FALSE(d.OkEnabled()) << text;
            d.PressEnter(IDC_SOURCE_PATH);
            EXPECT_EQ(d.Text(IDC_SOURCE_PATH) + " " + d.Text(IDC_SOURCE_VERSION), shown);
            EXPECT_EQ(services.messageBoxes.empty() ? "" : services.messageBoxes[0].text, message) << text;
            EXPECT_TRUE(!d.OkEnabled() && GetFocus() == d.Item(IDC_SOURCE_PATH)) << text;
            services.messageBoxes.clear();
        }
        // The loaded file in another form loads nothing: Enter is OK's, so it does nothing once
        // OK is disabled.
        MakeValid(d);
        d.Type(IDC_SOURCE_PATH, "V12.TBX");
        d.PressEnter(IDC_SOURCE_PATH);
        EXPECT_EQ(ReadBytes(destination), converted11);
        DeleteFileA(destination.c_str());
        d.PressEnter(IDC_SOURCE_PATH);
        EXPECT_FALSE(Exists(destination));
        EXPECT_EQ(d.Text(IDC_SOURCE_PATH) + " " + d.Text(IDC_SOURCE_VERSION), "V12.TBX 1.2");
        EXPECT_TRUE(services.messageBoxes.empty() && services.fileDialogs.size() == 5u);
    });
    SetCurrentDirectoryA(previous);
}

}
