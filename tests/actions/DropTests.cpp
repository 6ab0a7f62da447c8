// Files dropped on the converter as the shell hands them over: a DROPFILES header with the drop
// point, then the UTF-16 names, each ended by a NUL, and one NUL more.
#include "actions/ActionsHarness.h"
#include "support/DriverWindows.h"

#include <shlobj.h>

namespace {

void DropOn(ActionsDialog& d, int id, const std::vector<std::string>& paths)
{
    std::wstring names;
    for (const std::string& path : paths)
        names += driver::Widen(path) + L'\0';
    RECT r;
    GetWindowRect(d.Item(id), &r);
    MapWindowPoints(nullptr, d.GetSafeHwnd(), reinterpret_cast<POINT*>(&r), 2);
    auto* header = static_cast<DROPFILES*>(GlobalAlloc(GPTR, sizeof(DROPFILES) + (names.size() + 1) * sizeof(wchar_t)));
    *header = DROPFILES { sizeof(DROPFILES), { (r.left + r.right) / 2, (r.top + r.bottom) / 2 }, FALSE, TRUE };
    names.copy(reinterpret_cast<wchar_t*>(header + 1), names.size());
    d.SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(header));
}

TEST_F(Actions, ADropLoadsTheFirstFileAsABrowseWouldOrNamesTheDestination)
{
    dialog.Run([&](ActionsDialog& d) {
        DropOn(d, IDOK, { v10, broken }); // the first file loads, the rest is ignored
        EXPECT_EQ(d.Text(IDC_SOURCE_PATH) + " " + d.Text(IDC_SOURCE_VERSION), v10 + " 1.0");
        for (const std::string& path : { v12, destination }) {
            DropOn(d, path == v12 ? IDC_DEST_PATH : IDC_DEST_BROWSE, { path });
            EXPECT_EQ(d.Text(IDC_DEST_PATH) + " " + d.Text(IDC_SOURCE_VERSION), path + " 1.0");
        }
        EXPECT_TRUE(services.messageBoxes.empty() && services.fileDialogs.empty());
        // A folder or a bad file gets the message that its load gives, and nothing is loaded.
        for (const std::string& bad : { broken, folder.Path() }) {
            Browse(d, bad);
            DropOn(d, IDC_SOURCE_PATH, { bad });
            EXPECT_TRUE(
                services.messageBoxes.size() == 2 && services.messageBoxes[1].text == services.messageBoxes[0].text)
                << bad;
            EXPECT_EQ(d.Text(IDC_SOURCE_PATH) + " " + d.Text(IDC_SOURCE_VERSION), v10 + " ") << bad;
            services.messageBoxes.clear();
        }
    });
}

}
