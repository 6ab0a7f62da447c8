// The converter dialog as the user drives it: browse, the OK rule, convert, and what failures leave.
#include "actions/ActionsHarness.h"

#include <tuple>

namespace {

constexpr char fileFilter[] = "Tabrix File (*.tbx)|*.tbx|All Files(*.*)|*.*||";
const std::string badFormatMessage = StatusText(BadFormat);
const std::string notFoundMessage = StatusText(FileNotFound);

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

// Types each text into the field in turn and expects OK to follow.
void ExpectOkAfterTyping(ActionsDialog& d, int field, const std::vector<std::pair<std::string, bool>>& texts)
{
    for (const auto& [text, enabled] : texts) {
        d.Type(field, text);
        EXPECT_EQ(d.OkEnabled(), enabled) << text;
    }
}

TEST_F(Actions, StartsWithNothingLoaded)
{
    dialog.Run([&](ActionsDialog& d) {
        EXPECT_EQ(d.Text(IDC_SOURCE_VERSION), "");
        EXPECT_FALSE(d.OkEnabled());
        EXPECT_EQ(d.Document(), nullptr);
        // Typing both paths and choosing a version is not enough without a loaded source.
        d.Type(IDC_SOURCE_PATH, v12);
        d.Type(IDC_DEST_PATH, destination);
        d.Choose("1.1");
        EXPECT_FALSE(d.OkEnabled());
        EXPECT_FALSE(d.CanConvert());
        d.SendOk();
        EXPECT_FALSE(Exists(destination));
    });
}

TEST_F(Actions, SuccessfulBrowseShowsTheVersionWithOkDisabledUntilTheNextChange)
{
    dialog.Run([&](ActionsDialog& d) {
        d.Type(IDC_SOURCE_PATH, "typed.tbx");
        d.Type(IDC_DEST_PATH, destination);
        d.Choose("1.1");
        Browse(d, v12);

        ASSERT_EQ(services.fileDialogs.size(), 1u);
        EXPECT_EQ(services.fileDialogs[0],
            (ScriptedServices::FileDialogCall { true, "tbx", "typed.tbx", 0x31004, fileFilter, d.GetSafeHwnd() }));

        EXPECT_EQ(d.Text(IDC_SOURCE_PATH), v12);
        EXPECT_EQ(d.Text(IDC_SOURCE_VERSION), "1.2");
        EXPECT_FALSE(d.OkEnabled()) << "the request was valid, but a browse disables OK";
        EXPECT_TRUE(services.messageBoxes.empty());
        d.Choose("1.1");
        EXPECT_TRUE(d.OkEnabled());

        Browse(d, v10);
        EXPECT_EQ(d.Text(IDC_SOURCE_VERSION), "1.0");
        EXPECT_FALSE(d.OkEnabled());
        EXPECT_EQ(services.fileDialogs[1].initialName, v12);
    });
}

TEST_F(Actions, OkFollowsEveryChangeOfThePathsAndTheVersion)
{
    dialog.Run([&](ActionsDialog& d) {
        MakeValid(d);
        ExpectOkAfterTyping(d, IDC_DEST_PATH, { { "", false }, { destination, true } });
        d.Choose("1.2");
        EXPECT_FALSE(d.OkEnabled()) << "target equal to the source's version";
        d.Choose("1.0");
        EXPECT_TRUE(d.OkEnabled());
        d.Choose("");
        EXPECT_FALSE(d.OkEnabled()) << "no target chosen";
        d.Choose("1.1");
        d.Type(IDC_SOURCE_PATH, "");
        EXPECT_FALSE(d.OkEnabled());
    });
}

TEST_F(Actions, ConvertWritesTheTargetLayoutSilentlyAndWaitsForAChange)
{
    dialog.Run([&](ActionsDialog& d) {
        MakeValid(d);
        ASSERT_TRUE(d.Click(IDOK));
        EXPECT_EQ(ReadBytes(destination), converted11);
        EXPECT_TRUE(services.messageBoxes.empty());
        EXPECT_TRUE(GetTestApp().messageBoxes.empty());
        EXPECT_EQ(services.waitCursorChanges, (std::vector<int> { 1, -1 }));
        EXPECT_FALSE(d.OkEnabled());
        EXPECT_EQ(d.Text(IDC_SOURCE_PATH), v12);
        EXPECT_EQ(d.Text(IDC_DEST_PATH), destination);
        EXPECT_EQ(d.Text(IDC_SOURCE_VERSION), "1.2");

        // A second conversion of the same document needs a change first, and no new load.
        EXPECT_FALSE(d.Click(IDOK));
        d.Choose("1.0");
        services.Answer(IDYES); // 1.0 has no X1..X4 and T1..T3
        ASSERT_TRUE(d.Click(IDOK));
        EXPECT_EQ(ReadBytes(destination), OldLayout(Sample(4)));
        EXPECT_EQ(services.fileDialogs.size(), 1u);
        EXPECT_FALSE(d.OkEnabled());
    });
}

TEST_F(Actions, LoadFailureShowsTheMessageAndLeavesNothingLoaded)
{
    dialog.Run([&](ActionsDialog& d) {
        MakeValid(d);
        TabrixDocument* document = d.Document();
        Browse(d, broken);

        ASSERT_EQ(services.messageBoxes.size(), 1u);
        EXPECT_EQ(services.messageBoxes[0].text, badFormatMessage);
        EXPECT_EQ(services.messageBoxes[0].type, 0u) << "AfxMessageBox with type 0; the app adds the icon";
        EXPECT_EQ(d.Text(IDC_SOURCE_VERSION), "");
        EXPECT_EQ(d.Text(IDC_SOURCE_PATH), v12) << "the source field keeps its text";
        EXPECT_FALSE(d.OkEnabled());
        EXPECT_EQ(d.Document(), document) << "the document is reused";
        std::uint8_t major = 9, minor = 9;
        EXPECT_EQ(d.Document()->GetVersion(major, minor), 0);

        // Enter now must not convert what the failed load left of the record.
        d.SendOk();
        EXPECT_FALSE(Exists(destination));
        d.Choose("1.0");
        EXPECT_FALSE(d.OkEnabled());
    });
}

TEST_F(Actions, FirstBrowseThatFailsStillMakesTheDocument)
{
    dialog.Run([&](ActionsDialog& d) {
        Browse(d, broken);
        EXPECT_NE(d.Document(), nullptr);
        EXPECT_EQ(d.Text(IDC_SOURCE_PATH), "");
        ASSERT_EQ(services.messageBoxes.size(), 1u);
        EXPECT_EQ(services.messageBoxes[0].text, badFormatMessage);
        // The reused document loads the next file from empty lists.
        Browse(d, v12);
        d.Type(IDC_DEST_PATH, destination);
        d.Choose("1.2");
        d.Choose("1.1");
        ASSERT_TRUE(d.Click(IDOK));
        EXPECT_EQ(ReadBytes(destination), converted11);
    });
}

TEST_F(Actions, CancelledFileDialogsChangeNothing)
{
    dialog.Run([&](ActionsDialog& d) {
        MakeValid(d);
        TabrixDocument* document = d.Document();
        services.Cancel();
        ASSERT_TRUE(d.Click(IDC_SOURCE_BROWSE));
        services.Cancel();
        ASSERT_TRUE(d.Click(IDC_DEST_BROWSE));

        EXPECT_EQ(d.Text(IDC_SOURCE_PATH), v12);
        EXPECT_EQ(d.Text(IDC_DEST_PATH), destination);
        EXPECT_EQ(d.Text(IDC_SOURCE_VERSION), "1.2");
        EXPECT_TRUE(d.OkEnabled());
        EXPECT_EQ(d.Document(), document);
        EXPECT_EQ(d.Document()->GetSourcePath(), v12);
        EXPECT_TRUE(services.messageBoxes.empty());

        ASSERT_EQ(services.fileDialogs.size(), 3u);
        EXPECT_EQ(services.fileDialogs[2],
            (ScriptedServices::FileDialogCall { false, "tbx", destination, 0x30806, fileFilter, d.GetSafeHwnd() }));
    });
}

TEST_F(Actions, DestinationBrowseFillsTheFieldAndRunsTheRule)
{
    dialog.Run([&](ActionsDialog& d) {
        Browse(d, v12);
        d.Choose("1.0");
        EXPECT_FALSE(d.OkEnabled());
        services.Confirm(destination);
        ASSERT_TRUE(d.Click(IDC_DEST_BROWSE));
        EXPECT_EQ(d.Text(IDC_DEST_PATH), destination);
        EXPECT_TRUE(d.OkEnabled());
        // Choosing the loaded file itself as the destination keeps OK disabled.
        services.Confirm(v12);
        ASSERT_TRUE(d.Click(IDC_DEST_BROWSE));
        EXPECT_FALSE(d.OkEnabled());
    });
}

TEST_F(Actions, SaveFailureKeepsTheFieldsAndTheDocument)
{
    dialog.Run([&](ActionsDialog& d) {
        MakeValid(d);
        std::string missing = folder.File("missing\\out.tbx");
        d.Type(IDC_DEST_PATH, missing);
        ASSERT_TRUE(d.Click(IDOK));

        ASSERT_EQ(services.messageBoxes.size(), 1u);
        EXPECT_EQ(services.messageBoxes[0].text, notFoundMessage);
        EXPECT_EQ(services.messageBoxes[0].type, 0u);
        EXPECT_EQ(services.messageBoxes[0].waitCursorLevel, 0) << "the wait cursor showed over the message";
        EXPECT_EQ(services.waitCursorLevel, 0);
        EXPECT_FALSE(d.OkEnabled());
        EXPECT_EQ(d.Text(IDC_SOURCE_PATH), v12);
        EXPECT_EQ(d.Text(IDC_DEST_PATH), missing);
        EXPECT_EQ(d.Text(IDC_SOURCE_VERSION), "1.2");

        // Another destination converts the same document, with no new load.
        d.Type(IDC_DEST_PATH, destination);
        ASSERT_TRUE(d.Click(IDOK));
        EXPECT_EQ(ReadBytes(destination), converted11);
        EXPECT_EQ(services.messageBoxes.size(), 1u);
    });
}

TEST_F(Actions, ConversionThatCouldNotLookForAnInterruptedSaveSaysWhy)
{
    // A file where the folder of journals should be: the save goes on without it, and says so.
    char saved[MAX_PATH] = {};
    ::GetEnvironmentVariableA("LOCALAPPDATA", saved, MAX_PATH);
    folder.MakeFolder("Kovrel");
    folder.Write("Kovrel\\Journals", Bytes { 1 });
    ::SetEnvironmentVariableA("LOCALAPPDATA", folder.Path().c_str());
    WriteBytes(destination, Bytes(9, 'o'));
    dialog.Run([&](ActionsDialog& d) {
        MakeValid(d);
        ASSERT_TRUE(d.Click(IDOK));
        ASSERT_EQ(services.messageBoxes.size(), 1u);
        EXPECT_EQ(services.messageBoxes[0].text, StatusText(AccessDenied));
        EXPECT_EQ(ReadBytes(destination), converted11);
    });
    ::SetEnvironmentVariableA("LOCALAPPDATA", saved);
}

TEST_F(Actions, CloseEndsTheDialogWith1006)
{
    INT_PTR result = dialog.Run([&](ActionsDialog& d) {
        MakeValid(d);
        ASSERT_TRUE(d.Click(IDC_CLOSE));
    });
    EXPECT_EQ(result, IDC_CLOSE);
    EXPECT_FALSE(Exists(destination)) << "closing must not convert";
}

// Each test of the OK rule fails the request on its own, and undoing it makes it valid again.
TEST_F(Actions, EveryTestOfTheOkRuleCountsOnItsOwn)
{
    std::string tooLong = folder.File(std::string(300, 'x') + ".tbx");
    // Each spoils one field (a path, or the version list) and undoes it, as the user would.
    const std::tuple<const char*, int, std::string, std::string> spoilers[] = {
        { "empty source", IDC_SOURCE_PATH, "", v12 },
        { "empty destination", IDC_DEST_PATH, "", destination },
        { "source too long", IDC_SOURCE_PATH, tooLong, v12 },
        { "destination too long", IDC_DEST_PATH, tooLong, destination },
        { "destination is the source", IDC_DEST_PATH, v12, destination },
        { "destination is the source in capitals", IDC_DEST_PATH, Upper(v12), destination },
        { "no target", IDC_TARGET_VERSION, "", "1.1" },
        { "target is the source's version", IDC_TARGET_VERSION, "1.2", "1.1" },
        { "source names another file", IDC_SOURCE_PATH, v10, v12 },
    };
    dialog.Run([&](ActionsDialog& d) {
        MakeValid(d);
        auto set = [&](int field, const std::string& text) {
            field == IDC_TARGET_VERSION ? d.Choose(text) : d.Type(field, text);
        };
        for (const auto& [what, field, spoiled, undone] : spoilers) {
            set(field, spoiled);
            EXPECT_FALSE(d.CanConvert()) << what;
            EXPECT_FALSE(d.OkEnabled()) << what;
            set(field, undone);
            EXPECT_TRUE(d.OkEnabled()) << "after undoing: " << what;
        }
    });
}

TEST_F(Actions, FullPathsMustFitTheBuffer)
{
    dialog.Run([&](ActionsDialog& d) {
        MakeValid(d);
        std::string prefix = folder.Path() + "\\";
        // Wine refuses a 260-byte path of the ANSI calls outright, so the check runs beside it;
        // 261 bytes do not fit with the terminator.
        ExpectOkAfterTyping(d, IDC_DEST_PATH,
            { { prefix + std::string(259 - prefix.size(), 'd'), true },
                { prefix + std::string(261 - prefix.size(), 'd'), false }, { destination, true } });
        d.Type(IDC_SOURCE_PATH, prefix + std::string(261 - prefix.size(), 's'));
        EXPECT_FALSE(d.OkEnabled());
    });
}

TEST_F(Actions, PathsFoldOnlyAsciiLettersByteByByte)
{
    // ア is 0x83 0x41: its trail byte is "A" and folds like a letter, onto the character 0x83 0x61.
    std::string sourceFolder = folder.MakeFolder("\x83\x41");
    std::string source = sourceFolder + "\\v12.tbx";
    ASSERT_TRUE(CopyFileA(v12.c_str(), source.c_str(), FALSE));
    dialog.Run([&](ActionsDialog& d) {
        Browse(d, source);
        d.Choose("1.1");
        // A folded trail byte makes the two paths one, another trail byte is another file; bytes
        // outside A..Z are compared exactly: 0x81 is not 0x61 plus anything.
        ExpectOkAfterTyping(d, IDC_DEST_PATH,
            { { folder.File("\x83\x61\\v12.tbx"), false }, { folder.File("\x83\x42\\v12.tbx"), true },
                { folder.File("\x83\x41\\V12.TBX"), false }, { folder.File("\x83\x81\\v12.tbx"), true } });
    });
}

TEST_F(Actions, RelativeAndAbsoluteFormsNameTheSameFile)
{
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
    dialog.Run([&](ActionsDialog& d) {
        MakeValid(d);
        ExpectOkAfterTyping(d, IDC_DEST_PATH,
            { { "v12.tbx", false }, { ".\\sub\\..\\V12.tbx", false }, { "out.tbx", true } });
        // The loaded file typed in its relative form is still the file the user sees.
        d.Type(IDC_SOURCE_PATH, "v12.tbx");
        EXPECT_TRUE(d.OkEnabled());
        ASSERT_TRUE(d.Click(IDOK));
        EXPECT_EQ(ReadBytes(destination), converted11);
    });
    SetCurrentDirectoryA(previous);
}

TEST_F(Actions, OkNeverConvertsAFileOtherThanTheOneInTheSourceField)
{
    dialog.Run([&](ActionsDialog& d) {
        MakeValid(d);
        // Typing another existing file loads nothing, so the request is no longer valid.
        d.Type(IDC_SOURCE_PATH, v10);
        EXPECT_FALSE(d.OkEnabled());
        EXPECT_FALSE(d.CanConvert());
        d.SendOk();
        EXPECT_FALSE(Exists(destination)) << "converted the earlier document";
        EXPECT_TRUE(services.messageBoxes.empty());
        EXPECT_FALSE(d.OkEnabled());

        d.Type(IDC_SOURCE_PATH, Upper(v12));
        EXPECT_TRUE(d.OkEnabled());
        ASSERT_TRUE(d.Click(IDOK));
        EXPECT_EQ(ReadBytes(destination), converted11);
    });
}

}
