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
// write's unless a file failed first, and standard error says so while it still takes text.
TEST_F(CliTest, AFailedWriteEndsTheRun)
{
    const std::string good = Write("good.tbx", Version10Sample(3));
    const std::string missing = PathOf("missing.tbx");
    const std::string big = Write("big.tbx", NewLayoutSample(0x0102, 4, "", std::vector<std::string>(20000, "t"), {}));
    const WriteFailure full { DiskFull }, gone { CannotOpen, true };
    const std::string fullText = "tbxconv: write error: " + Shown(StatusMessage(DiskFull, Language::Japanese)) + "\n";
    const std::size_t none = 0, any = std::string::npos;
    const std::tuple<std::vector<std::string>, std::size_t, std::size_t, WriteFailure, int, std::string> cases[] = {
        { { "dump", big }, 1000, any, full, 7, fullText },
        { { "dump", big }, 1000, any, gone, 9, "" }, // a reader that went away
        { { "info", good, good }, none, any, full, 7, fullText },
        { { "info", missing, good }, none, any, full, 4, Said(missing, notFoundText) + fullText },
        { { "--help" }, none, any, full, 7, fullText },
        { { "--version" }, none, any, full, 7, fullText },
        { { "info", missing, good }, any, none, full, 4, "" }, // standard error itself
        { { "frob" }, any, none, full, 1, "" },
    };
    for (const auto& [args, outRoom, errRoom, failure, status, err] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        CapturingConsole run;
        run.outRoom = outRoom;
        run.errRoom = errRoom;
        run.whenFull = failure;
        EXPECT_EQ(RunTbxconv(args, run), status);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, err);
        EXPECT_EQ(run.dropped, 0);
    }
    CapturingConsole english;
    english.language = Language::English;
    english.outRoom = 0;
    EXPECT_EQ(RunTbxconv({ "info", good }, english), 7);
    EXPECT_EQ(english.err, "tbxconv: write error: the disk is full\n");
}
