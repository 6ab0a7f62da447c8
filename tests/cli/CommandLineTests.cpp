#include "CliFixture.h"

#include "cli/CommandLine.h"
#include "cli/OutputPath.h"
#include "cli/UserLanguage.h"

// A usage error exits 1, prints the usage on standard error, and neither reads nor writes.
TEST_F(CliTest, UsageErrorsWriteNothing)
{
    const std::string source = Write("a.tbx", Version10Sample(3));
    const std::string dest = PathOf("b.tbx");
    const std::vector<std::vector<std::string>> lines = {
        {},
        { "frob", source },
        { "convert", source, dest }, // no --to
        { "convert", "--to", "1.3", source, dest },
        { "convert", "--to", "2.0", source, dest },
        { "convert", "--to", "1", source, dest },
        { "convert", "--to=", source, dest },
        { "convert", "--to", "1.1", source },               // no destination
        { "convert", "--to", "1.1", source, dest, source }, // one operand too many
        { "convert", "--to", "1.1", "--to", "1.2", source, dest },
        { "convert", "--to", "1.1", "--out-dir", "", source },
        { "convert", "--to", "1.1", "--out-dir", folder.string() },
        { "convert", "--to" },
        { "convert", "--to", "1.1", "--force", source, dest },
        { "convert", "--to", "1.1", "--strict=yes", source, dest },
        { "info", "--strict", source },
        { "info" },
        { "info", "--to", "1.1", source },
        { "dump" },
        { "dump", source, source },
        { "recover" },
        { "recover", "--to", "1.1", source },
        // "-" once, and not for a batch or for recover; after "--" it is still standard input.
        { "info", "-", source, "-" },
        { "info", "-", "--", "-" },
        { "convert", "--to", "1.1", "-", "-" },
        { "convert", "--to", "1.1", "--out-dir", folder.string(), "-" },
        { "recover", "-" },
    };
    for (const auto& line : lines) {
        SCOPED_TRACE(::testing::PrintToString(line));
        CapturingConsole run;
        EXPECT_EQ(RunTbxconv(line, run), 1);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("\ntbxconv: usage: "), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dest));
    }
}

TEST_F(CliTest, HelpGoesToStandardOutput)
{
    for (const auto& line :
        std::vector<std::vector<std::string>> { { "--help" }, { "convert", "-h" }, { "info", "x", "--help" } }) {
        CapturingConsole run;
        EXPECT_EQ(RunTbxconv(line, run), 0);
        EXPECT_NE(run.out.find("--out-dir"), std::string::npos);
        EXPECT_EQ(run.err, "");
    }
}

TEST(ParseCommandLine, OptionsInEitherFormAndAfterOperands)
{
    auto parsed = ParseCommandLine({ "convert", "a.tbx", "--out-dir=out", "--to=1.0", "b.tbx" });
    ASSERT_TRUE(parsed.command) << parsed.error;
    EXPECT_EQ(parsed.command->target, version10);
    EXPECT_EQ(parsed.command->outDir, "out");
    EXPECT_EQ(parsed.command->operands, (std::vector<std::string> { "a.tbx", "b.tbx" }));
    EXPECT_FALSE(parsed.command->strict);
    EXPECT_TRUE(ParseCommandLine({ "convert", "--to=1.0", "a.tbx", "--strict", "b.tbx" }).command->strict);

    // After "--" everything is a file, also what looks like an option.
    parsed = ParseCommandLine({ "info", "--", "--to", "-x.tbx" });
    ASSERT_TRUE(parsed.command) << parsed.error;
    EXPECT_EQ(parsed.command->operands, (std::vector<std::string> { "--to", "-x.tbx" }));

    // An empty operand is a file name for the engine to refuse, not a usage error.
    parsed = ParseCommandLine({ "info", "" });
    ASSERT_TRUE(parsed.command);
    EXPECT_EQ(parsed.command->operands, (std::vector<std::string> { "" }));
#ifndef _WIN32
    EXPECT_EQ(ParseCommandLine({ "info", "/?" }).command->operands, (std::vector<std::string> { "/?" })); // a file here
#endif
}

// The first of LC_ALL, LC_MESSAGES and LANG that is set and not empty decides.
TEST(LanguageOfLocale, JapaneseOnlyForAJapaneseLocale)
{
    const auto ja = Language::Japanese, en = Language::English;
    const std::tuple<const char*, const char*, const char*, Language> cases[] = {
        { "ja_JP.UTF-8", nullptr, nullptr, ja },
        { "", "ja_JP.eucJP", "en_US.UTF-8", ja },
        { "C.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8", en },
        { nullptr, "en_US.UTF-8", "ja_JP.UTF-8", en },
        { "", "", "", en },
    };
    for (const auto& [lcAll, lcMessages, lang, language] : cases)
        EXPECT_EQ(LanguageOfLocale(lcAll, lcMessages, lang), language) << lcAll << "|" << lcMessages << "|" << lang;
}

TEST(OutputPath, FileNameAndJoin)
{
    EXPECT_EQ(FileNamePart("a/b/c.tbx"), "c.tbx");
    EXPECT_EQ(FileNamePart("c.tbx"), "c.tbx");
    EXPECT_EQ(FileNamePart("dir/"), "");
#ifdef _WIN32
    EXPECT_EQ(FileNamePart("C:\\data\\c.tbx"), "c.tbx");
    EXPECT_EQ(FileNamePart("C:c.tbx"), "c.tbx");
    // 0x95 0x5C is one character (a kanji), whose second byte is no folder separator.
    EXPECT_EQ(FileNamePart("d\\\x95\x5C.tbx"), "\x95\x5C.tbx");
    EXPECT_EQ(FileNamePart("\x95\x5C\\x.tbx"), "x.tbx");
    EXPECT_EQ(JoinPath("out", "a.tbx"), "out\\a.tbx");
    EXPECT_EQ(JoinPath("out\\", "a.tbx"), "out\\a.tbx");
    EXPECT_EQ(JoinPath("C:", "a.tbx"), "C:a.tbx");
    EXPECT_EQ(JoinPath("\x95\x5C", "a.tbx"), "\x95\x5C\\a.tbx");
    EXPECT_TRUE(SameFileName("A.TBX", "a.tbx"));
#else
    EXPECT_EQ(FileNamePart("a\\b.tbx"), "a\\b.tbx");
    EXPECT_EQ(JoinPath("out", "a.tbx"), "out/a.tbx");
    EXPECT_EQ(JoinPath("out/", "a.tbx"), "out/a.tbx");
    EXPECT_FALSE(SameFileName("A.TBX", "a.tbx"));
#endif
    EXPECT_FALSE(SameFileName("a.tbx", "a.tbx2"));
}
