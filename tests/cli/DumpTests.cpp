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
    EXPECT_EQ(console.err, path + ": " + badFormatText + "\n");
}

TEST(DecodeCp932, TextOnlyWhenItComesBack)
{
    EXPECT_EQ(DecodeCp932(""), "");
    EXPECT_EQ(DecodeCp932("\x81\xE0"), "≒");
    EXPECT_EQ(DecodeCp932("\x87\x90"), std::nullopt);
    EXPECT_EQ(DecodeCp932("a\x82"), std::nullopt);
    EXPECT_EQ(DecodeCp932("\x82\x20"), std::nullopt);
}
