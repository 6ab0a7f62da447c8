// A save onto a full disk: reported after the wait cursor is off, the dialog still usable.
#include "actions/ActionsHarness.h"

#include <cstdlib>

namespace {

using FullDisk = Actions;

TEST_F(FullDisk, SaveFailureLeavesTheWaitCursorOffAndTheDialogUsable)
{
    const char* volume = std::getenv("KOVREL_FULL_VOLUME");
    if (!volume || !Exists(std::string(volume) + "\\.mounted"))
        GTEST_SKIP() << "no full volume was mounted for this run";

    std::string full = std::string(volume) + "\\out.tbx";
    dialog.Run([&](ActionsDialog& d) {
        MakeValid(d);
        d.Type(IDC_DEST_PATH, full);
        ASSERT_TRUE(d.OkEnabled());
        ASSERT_TRUE(d.Click(IDOK));

        // Disk full is a status of the save: the dialog's box, with the wait cursor already off.
        ASSERT_EQ(services.messageBoxes.size(), 1u);
        EXPECT_EQ(services.messageBoxes[0].text, StatusText(DiskFull));
        EXPECT_EQ(services.messageBoxes[0].waitCursorLevel, 0);
        EXPECT_TRUE(GetTestApp().messageBoxes.empty());
        EXPECT_EQ(services.waitCursorChanges, (std::vector<int> { 1, -1 }));

        EXPECT_TRUE(IsWindow(d.GetSafeHwnd()));
        EXPECT_FALSE(d.OkEnabled());
        EXPECT_EQ(d.Text(IDC_SOURCE_VERSION), "1.2");
        EXPECT_FALSE(Exists(full));

        // Still the same dialog and document: another destination converts.
        d.Type(IDC_DEST_PATH, destination);
        ASSERT_TRUE(d.Click(IDOK));
        EXPECT_EQ(ReadBytes(destination), converted11);
    });
}

}
