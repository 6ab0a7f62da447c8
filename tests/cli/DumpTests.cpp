#include "CliFixture.h"

#include "cli/TextCodec.h"

TEST_F(CliTest, DumpKeepsEveryByte)
{
    const std::string path = Write("d.tbx",
        NewLayoutSample(0x0102, 6, "\x83\x65\x83\x58\x83\x67",
            {
                "plain",
                "q\"b\\s\x01\t",    // escaped in JSON
                "\x82",             // a lead byte without its trail byte
                "\x87\x90",         // NEC's code for a sign that also has 0x81E0: would not come back
                "\x95\x5C\x8E\xA6", // 表示, with 0x5C as a trail byte
                "\xA6",             // half-width katakana
            },
            {}));
    EXPECT_EQ(Run({ "dump", path }), 0);
    EXPECT_EQ(console.err, "");
    std::string firstBlock; // 60 bytes of 0xB1, in hex
    for (int i = 0; i < 60; ++i)
        firstBlock += "b1";
    const std::string expected = "{\n  \"version\": \"1.2\",\n  \"head\": 4660,\n"
                                 "  \"words\": [11, 12, 13, 6, 15, 16, 17, 18, 19],\n  \"blocks\": [\n    \""
        + firstBlock + "\",\n";
    EXPECT_EQ(console.out.substr(0, expected.size()), expected);
    EXPECT_NE(console.out.find("  \"extWords\": [113, 114, 115, 116],\n  \"tailWords\": [7, 8, 9],\n"),
        std::string::npos);
    EXPECT_NE(console.out.find("  \"leadString\": {\"text\": \"テスト\"},\n"), std::string::npos);
    EXPECT_NE(console.out.find("  \"listA\": [\n"
                               "    {\"text\": \"plain\"},\n"
                               "    {\"text\": \"q\\\"b\\\\s\\u0001\\u0009\"},\n"
                               "    {\"hex\": \"82\"},\n"
                               "    {\"hex\": \"8790\"},\n"
                               "    {\"text\": \"表示\"},\n"
                               "    {\"text\": \"ｦ\"}\n"
                               "  ],\n"
                               "  \"listB\": []\n"
                               "}\n"),
        std::string::npos)
        << console.out;
}

TEST_F(CliTest, DumpOfABadFileWritesNoJson)
{
    const std::string path = Write("bad.tbx", std::vector<std::uint8_t>(5, 0));
    EXPECT_EQ(Run({ "dump", path }), 11);
    EXPECT_EQ(console.out, "");
    EXPECT_EQ(console.err, Said(path, badFormatText));
}

TEST(DecodeCp932, TextOnlyWhenItComesBack)
{
    EXPECT_EQ(DecodeCp932(""), "");
    EXPECT_EQ(DecodeCp932("\x81\xE0"), "≒");
    EXPECT_EQ(DecodeCp932("\x87\x90"), std::nullopt);
    EXPECT_EQ(DecodeCp932("a\x82"), std::nullopt);
    EXPECT_EQ(DecodeCp932("\x82\x20"), std::nullopt);
}

// A write that does not arrive ends the run: nothing more is made or written, the status is the
// write's unless a file failed first, and standard error says so while it takes text.
TEST_F(CliTest, AFailedWriteEndsTheRun)
{
    const std::string missing = PathOf("missing.tbx"), good = Write("good.tbx", Version10Sample(3));
    const std::string big = Write("big.tbx", NewLayoutSample(0x0102, 4, "", std::vector<std::string>(20000, "t"), {}));
    using Fails = std::optional<WriteFailure>;
    const Fails full = WriteFailure { DiskFull }, gone = WriteFailure { CannotOpen, true }, none;
    const std::string said = "tbxconv: write error: " + Shown(StatusMessage(DiskFull, Language::Japanese)) + "\n";
    const std::tuple<std::vector<std::string>, Fails, Fails, int, std::string> cases[] = {
        { { "dump", big }, full, none, 7, said }, { { "dump", big }, gone, none, 9, "" }, // a reader that went away
        { { "info", good, good }, full, none, 7, said },
        { { "info", missing, good }, full, none, 4, Said(missing, notFoundText) + said },
        { { "info", missing, good }, none, WriteFailure { DiskFull, false, true }, 4, "" }, // standard error itself
    };
    for (const auto& [args, outFails, errFails, status, err] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        CapturingConsole run;
        run.outFails = outFails;
        run.errFails = errFails;
        EXPECT_EQ(RunTbxconv(args, run), status);
        EXPECT_EQ(run.out + run.err, err);
        EXPECT_EQ(run.dropped, 0);
    }
}
