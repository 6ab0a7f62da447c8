#include "CliFixture.h"

#include "platform/file/CFile.h"

TEST_F(CliTest, InfoPrintsEachVersion)
{
    const std::string old = Write("old.tbx", Version10Sample(0xFFFEFFFF));
    const std::string v12 = Write("new.tbx", NewLayoutSample(0x0102, 4, "", {}, {}));
    // A version field the converter cannot write is still shown as it is.
    const std::string odd = Write("odd.tbx", NewLayoutSample(0x0205, 4, "", {}, {}));
    EXPECT_EQ(Run({ "info", old, v12, odd }), 0);
    EXPECT_EQ(console.out, old + ": 1.0\n" + v12 + ": 1.2\n" + odd + ": 2.5\n");
    EXPECT_EQ(console.err, "");
}

// Every file is reported, each on its own stream; the exit status is the first failure's.
TEST_F(CliTest, InfoFailuresByStatus)
{
    const std::string good = Write("good.tbx", Version10Sample(3));
    auto truncated = NewLayoutSample(0x0102, 4, "x", { "a", "b" }, {});
    truncated.resize(truncated.size() - 13);
    const std::string cut = Write("cut.tbx", truncated);
    const std::string missing = PathOf("missing.tbx");
    const std::string missingFolder = PathOf("nowhere/x.tbx");
    const std::string folderAsFile = folder.string();

    EXPECT_EQ(Run({ "info", good, cut, missing, "", missingFolder, folderAsFile, good }), 11);
    EXPECT_EQ(console.out, good + ": 1.0\n" + good + ": 1.0\n");
    EXPECT_EQ(console.err,
        Said(cut, badFormatText) + Said(missing, notFoundText) + Said("", noFileNameText)
            + Said(missingFolder, notFoundText) + Said(folderAsFile, accessDeniedText));

    for (const auto& [path, status] :
        std::vector<std::pair<std::string, int>> { { "", 3 }, { missing, 4 }, { folderAsFile, 5 }, { cut, 11 } }) {
        CapturingConsole run;
        EXPECT_EQ(RunTbxconv({ "info", path }, run), status) << path;
    }
    // An empty file and one shorter than its fixed part are no Tabrix files.
    EXPECT_EQ(Run({ "info", Write("empty.tbx", std::vector<std::uint8_t> {}) }), 11);
    EXPECT_EQ(Run({ "info", Write("short.tbx", std::vector<std::uint8_t>(288, 0)) }), 11);
}

// A file that another program is writing cannot be read: 9, not a success with half a file.
TEST_F(CliTest, InfoOfAFileBeingWritten)
{
    const std::string path = Write("busy.tbx", Version10Sample(3));
    CFile writer;
    ASSERT_TRUE(writer.Open(path.c_str(), CFile::modeWrite | CFile::shareDenyRead, nullptr));
    EXPECT_EQ(Run({ "info", path }), 9);
    EXPECT_EQ(console.err, Said(path, cannotOpenText));
    writer.Close();
    EXPECT_EQ(Run({ "info", path }), 0);
}
