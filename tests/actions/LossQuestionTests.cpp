// A conversion that cannot keep a value asks first, naming each such value as tbxconv does.
#include "actions/ActionsHarness.h"
#include "engine/Messages.h"
#include "platform/ui/AnsiText.h"
#include "support/DriverWindows.h"

#include <tuple>

namespace {

TEST_F(Actions, EachLossIsNamedBeforeAnythingIsWrittenNoKeepsTheDialogYesConverts)
{
    // Between them every note: a 1.2 file to 1.0 loses X1..X4, T1..T3 and a W4 of 6; a 1.0 file
    // to 1.1 its head word's upper half and a W4 of 5.
    const std::tuple<TabrixFields, FormatVersion, std::vector<ConversionNote>> losses[] = {
        { AsNewLayout(Sample(6), version12), version10, { ExtWordsDropped, TailWordsDropped, W4SixAsThree } },
        { Sample(5, 0x00051234), version11, { HeadHighDropped, W4FiveAsFour } },
    };
    dialog.Run([&](ActionsDialog& d) {
        for (const auto& [source, target, notes] : losses) {
            std::string question;
            for (ConversionNote note : notes)
                question += AnsiFromShiftJis(NoteMessage(note, Language::Japanese)) + "\n";
            question += driver::Narrow(L"それでも変換しますか？");
            Browse(d, folder.Write("lossy.tbx", Encode(source)));
            d.Type(IDC_DEST_PATH, destination);
            d.Choose(VersionText(target));
            services.Answer(IDNO);
            ASSERT_TRUE(d.Click(IDOK));
            EXPECT_TRUE(!Exists(destination) && d.OkEnabled() && GetFocus() == d.Item(IDOK)) << "No changed things";
            services.Answer(IDYES);
            ASSERT_TRUE(d.Click(IDOK));
            EXPECT_EQ(ReadBytes(destination), Encode(Converted(source, target)));
            for (const auto& box : services.messageBoxes)
                EXPECT_TRUE(box.text == question && box.type == (MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2))
                    << question;
            EXPECT_EQ(services.messageBoxes.size(), 2u);
            services.messageBoxes.clear();
            DeleteFileA(destination.c_str());
        }
    });
}

}
