#include "CliFixture.h"

#include "platform/file/CFile.h"

namespace {

// The file at path opened as a stream of the console: handle holds it until the case ends.
void OpenStream(const std::string& path, unsigned flags, ScopedHandle& held, FileSystem::Handle& stream)
{
    ASSERT_FALSE(FileSystem::Native().Open(path, flags | CFile::shareDenyNone, held.handle)) << path;
    stream = held.handle;
}

}

// "-" is standard input as FILE or SOURCE and standard output as DEST, here files of the folder.
TEST_F(CliTest, DashIsStandardInputOrOutput)
{
    const std::string source = Write("s.tbx", NewLayoutSample(0x0102, 6, "lead", { "a" }, {}));
    const Bytes v11 = NewLayoutSample(0x0101, 3, "lead", { "a" }, {});
    ASSERT_EQ(Run({ "dump", source }), 0);
    const std::string json = console.out, dest = PathOf("d.tbx"), written = PathOf("stdout");
    // The command line, then what it prints, what it says, and the file it writes with its bytes.
    const std::tuple<std::vector<std::string>, std::string, std::string, std::string, Bytes> cases[] = {
        { { "info", "-" }, "-: 1.2\n", "", written, {} },
        { { "dump", "-" }, json, "", written, {} },
        { { "convert", "--to", "1.1", "-", dest }, "", Said("-", w4SixText), dest, v11 },
        { { "convert", "--to", "1.1", source, "-" }, "", Said(source, w4SixText), written, v11 },
    };
    for (const auto& [args, out, err, file, bytes] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        CapturingConsole run;
        ScopedHandle input(FileSystem::Native()), output(FileSystem::Native());
        OpenStream(source, CFile::modeRead, input, run.input);
        OpenStream(written, CFile::modeWrite | CFile::modeCreate, output, run.output);
        EXPECT_EQ(RunTbxconv(args, run), 0);
        EXPECT_EQ(run.out + run.err, out + err);
        output.Reset();
        EXPECT_EQ(ReadBytes(file), bytes);
    }
}

// Without the stream (a closed descriptor), the file cannot be opened, or the output not written.
TEST_F(CliTest, DashWithoutAStream)
{
    const std::string source = Write("s.tbx", Version10Sample(3));
    EXPECT_EQ(Run({ "info", "-" }), 9);
    EXPECT_EQ(Run({ "convert", "--to", "1.1", source, "-" }), 9);
    EXPECT_EQ(console.out, "");
    EXPECT_EQ(console.err, Said("-", cannotOpenText) + "tbxconv: write error: " + cannotOpenText + "\n");
}
