#include "CliFixture.h"

namespace {

const std::vector<std::string> listA = { "alpha", "\x95\x5C\x8E\xA6" };
const std::vector<std::string> listB = { "" };

// What the 1.0 writer makes of NewLayoutSample(..., w4, "lead", listA, listB).
Bytes ExpectedVersion10(std::uint32_t w4)
{
    return OldLayout(Sample(w4, "lead", listA, listB));
}

}

TEST_F(CliTest, ConvertWritesEachVersion)
{
    const std::string source = Write("src.tbx", NewLayoutSample(0x0102, 6, "lead", listA, listB));
    EXPECT_EQ(Run({ "convert", "--to", "1.1", source, PathOf("v11.tbx") }), 0);
    EXPECT_EQ(Run({ "convert", "--to=1.0", source, PathOf("v10.tbx") }), 0);
    EXPECT_EQ(Run({ "convert", "--to", "1.2", source, PathOf("v12.tbx") }), 0);
    EXPECT_EQ(console.out, "");
    EXPECT_EQ(console.err,
        Said(source, w4SixText)
            + Said(source,
                "拡張ワード X1..X4 は書き込まれませんでした; 末尾ワード T1..T3 は書き込まれませんでした; "
                    + w4SixText));
    EXPECT_EQ(ReadBytes(PathOf("v11.tbx")), NewLayoutSample(0x0101, 3, "lead", listA, listB));
    EXPECT_EQ(ReadBytes(PathOf("v10.tbx")), ExpectedVersion10(3));
    EXPECT_EQ(ReadBytes(PathOf("v12.tbx")), ReadBytes(source));
}

TEST_F(CliTest, ConvertInPlace)
{
    const std::string path = Write("doc.tbx", NewLayoutSample(0x0102, 5, "lead", listA, listB));
    EXPECT_EQ(Run({ "convert", "--to", "1.0", path, path }), 0) << console.err;
    EXPECT_EQ(ReadBytes(path), ExpectedVersion10(4));
    // Into the folder the file is in: the same file again.
    EXPECT_EQ(Run({ "convert", "--to", "1.0", "--out-dir", folder.string(), path }), 0) << console.err;
    EXPECT_EQ(ReadBytes(path), ExpectedVersion10(4));
}

// A failed save names the destination; a failed load writes nothing at all.
TEST_F(CliTest, ConvertFailuresKeepEverything)
{
    const std::string source = Write("src.tbx", NewLayoutSample(0x0102, 6, "lead", listA, listB));
    const auto before = ReadBytes(source);
    const std::string sub = scratch.MakeFolder("sub");
    EXPECT_EQ(Run({ "convert", "--to", "1.1", source, sub }), 5);
    EXPECT_EQ(console.err, Said(sub, accessDeniedText));
    EXPECT_TRUE(std::filesystem::is_directory(sub));
    EXPECT_EQ(ReadBytes(source), before);

    const std::string bad = Write("bad.tbx", std::vector<std::uint8_t>(10, 0x41));
    const std::string dest = PathOf("dest.tbx");
    CapturingConsole run;
    EXPECT_EQ(RunTbxconv({ "convert", "--to", "1.1", bad, dest }, run), 11);
    EXPECT_EQ(run.err, Said(bad, badFormatText));
    EXPECT_FALSE(std::filesystem::exists(dest));

    // The destination of a failed conversion keeps what it held.
    const std::string kept = Write("kept.tbx", Version10Sample(7));
    EXPECT_EQ(RunTbxconv({ "convert", "--to", "1.1", bad, kept }, run), 11);
    EXPECT_EQ(ReadBytes(kept), Version10Sample(7));
}

// One bad file among good ones: the good ones are all converted, the bad one is reported,
// and the status is that of the first failure.
TEST_F(CliTest, BatchGoesOnAfterAFailure)
{
    const std::string first = Write("first.tbx", Version10Sample(1));
    const std::string bad = Write("bad.tbx", std::vector<std::uint8_t>(300, 0xFF));
    const std::string missing = PathOf("missing.tbx");
    const std::string last = Write("last.tbx", NewLayoutSample(0x0101, 4, "", {}, {}));

    EXPECT_EQ(Run({ "convert", "--to", "1.2", "--out-dir", out, first, bad, missing, last }), 11);
    EXPECT_EQ(console.err, Said(bad, badFormatText) + Said(missing, notFoundText));
    EXPECT_EQ(ReadBytes(PathOf("out/first.tbx")).size(), 319u);
    EXPECT_EQ(ReadBytes(PathOf("out/last.tbx")), NewLayoutSample(0x0102, 4, "", {}, {}));
    EXPECT_EQ(NamesIn(out), (std::vector<std::string> { "first.tbx", "last.tbx" }));
}

TEST_F(CliTest, BatchIntoAMissingFolderNamesEachDestination)
{
    const std::string a = Write("a.tbx", Version10Sample(1));
    EXPECT_EQ(Run({ "convert", "--to", "1.2", "--out-dir", PathOf("none"), a, a + "x" }), 4);
    const std::string written = (folder / "none" / "a.tbx").string();
    EXPECT_EQ(console.err, Said(written, notFoundText) + Said(a + "x", notFoundText));
}

// Two sources of one file name would overwrite each other's result: refused up front.
TEST_F(CliTest, BatchRefusesTwoSourcesOfOneName)
{
    std::filesystem::create_directories(folder / "x");
    const std::string a = Write("a.tbx", Version10Sample(1));
    const std::string other = Write("x/a.tbx", Version10Sample(2));
    const std::string b = Write("b.tbx", Version10Sample(3));
    EXPECT_EQ(Run({ "convert", "--to", "1.2", "--out-dir", out, b, a, other }), 1);
    EXPECT_NE(console.err.find("same file"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST_F(CliTest, ProgressOnlyOnATerminal)
{
    const std::vector<std::string> args = { "convert", "--to", "1.1", "--out-dir", out,
        Write("a.tbx", Version10Sample(1)), PathOf("gone.tbx"), Write("c.tbx", Version10Sample(3)) };
    const std::string failure = Said(PathOf("gone.tbx"), notFoundText);

    EXPECT_EQ(Run(args), 4);
    EXPECT_EQ(console.err, failure);

    CapturingConsole terminal(true);
    EXPECT_EQ(RunTbxconv(args, terminal), 4);
    // The count reaches the total, a message never shares a line with it, and the line is
    // taken away at the end.
    EXPECT_NE(terminal.err.find("\r3/3"), std::string::npos) << terminal.err;
    EXPECT_NE(terminal.err.find("\r" + failure), std::string::npos) << terminal.err;
    EXPECT_EQ(terminal.err.substr(terminal.err.size() - 5), "\r   \r");

    // A single file is no batch.
    CapturingConsole single(true);
    EXPECT_EQ(RunTbxconv({ "convert", "--to", "1.1", "--out-dir", out, PathOf("a.tbx") }, single), 0);
    EXPECT_EQ(single.err, "");
}

// A value that the target has no place for, or writes otherwise, is named in one line per file;
// the conversion still succeeds and writes what the conversion rules give.
TEST_F(CliTest, NotesNameWhatTheTargetCannotKeep)
{
    const std::array<std::uint32_t, 3> tail { 2, 1, 2 }; // what a 1.0 file reads back as T1..T3
    const TabrixFields all { .words = { 0, 0, 0, 6 }, .extWords = { 1, 2, 3, 4 }, .tailWords = { 5, 6, 7 } };
    const std::tuple<TabrixFields, FormatVersion, std::string> cases[] = {
        { AsNewLayout({ .extWords = { 0, 0, 9, 0 }, .tailWords = tail }, version12), version10,
            "extension words X1..X4 not written" },
        { AsNewLayout({ .tailWords = { 2, 1, 3 } }, version11), version10, "tail words T1..T3 not written" },
        { { .headWord = 0x10007 }, version12, "upper half of the head word not written" },
        { { .headWord = 0xFFFEFFFF }, version11, "upper half of the head word not written" },
        { AsNewLayout({ .words = { 0, 0, 0, 5 }, .tailWords = tail }, version12), version11,
            "word 4's 5 written as 4" },
        { { .words = { 0, 0, 0, 6 } }, version10, "word 4's 6 written as 3" },
        { AsNewLayout(all, version12), version10,
            "extension words X1..X4 not written; tail words T1..T3 not written; word 4's 6 written as 3" },
        // Everything kept: nothing said.
        { { .headWord = 0xFFFEFFFF, .words = { 0, 0, 0, 7 } }, version10, "" },
        { { .words = { 0, 0, 0, 5 } }, version12, "" },
        { AsNewLayout({ .tailWords = tail }, version12), version10, "" },
        { AsNewLayout(all, version11), version12, "" },
    };
    for (const auto& [fields, target, note] : cases) {
        SCOPED_TRACE(note + " to " + VersionText(target));
        CapturingConsole run;
        run.language = Language::English;
        const std::string source = Write("src.tbx", Encode(fields));
        EXPECT_EQ(RunTbxconv({ "convert", "--to", VersionText(target), source, PathOf("dst.tbx") }, run), 0);
        EXPECT_EQ(RunTbxconv({ "info", source }, run), 0); // info says nothing of the kind
        EXPECT_EQ(run.err, note.empty() ? "" : Said(source, note));
        EXPECT_EQ(ReadBytes(PathOf("dst.tbx")), Encode(Converted(fields, target)));
    }
}

// --strict: a conversion that cannot keep every value fails with 12, writes nothing and names
// what it would lose; one that keeps everything writes what a plain conversion writes. A batch
// still tries every file.
TEST_F(CliTest, StrictRefusesWhatWouldBeLost)
{
    const std::string lossy = Write("lossy.tbx", NewLayoutSample(0x0102, 6, "lead", listA, listB));
    const std::string kept = Write("kept.tbx", Version10Sample(7));
    EXPECT_EQ(Run({ "convert", "--strict", "--to", "1.1", lossy, kept }), 12);
    EXPECT_EQ(console.err, Said(lossy, "変換しませんでした (--strict): " + w4SixText));
    EXPECT_EQ(ReadBytes(kept), Version10Sample(7));

    EXPECT_EQ(Run({ "convert", "--to", "1.2", kept, PathOf("plain.tbx") }), 0);
    EXPECT_EQ(Run({ "convert", "--strict", "--to", "1.2", kept, PathOf("strict.tbx") }), 0);
    EXPECT_EQ(ReadBytes(PathOf("strict.tbx")), ReadBytes(PathOf("plain.tbx")));

    const std::string other = Write("other.tbx", Version10Sample(3));
    CapturingConsole batch;
    batch.language = Language::English;
    const std::vector<std::string> args
        = { "convert", "--strict", "--to", "1.0", "--out-dir", out, kept, lossy, PathOf("gone.tbx"), other };
    EXPECT_EQ(RunTbxconv(args, batch), 12);
    EXPECT_EQ(batch.err,
        Said(lossy,
            "not converted (--strict): extension words X1..X4 not written; tail words T1..T3 not written; word 4's 6 "
            "written as 3")
            + Said(PathOf("gone.tbx"), "the file does not exist"));
    EXPECT_EQ(NamesIn(out), (std::vector<std::string> { "kept.tbx", "other.tbx" }));
}
