#include "DocumentTestSupport.h"

#include "support/FileSystemWrappers.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Each case's folder holds s.tbx, the sample file as 1.2 wrote it.
class Load : public ::testing::Test {
protected:
    // A document that failed to load holds nothing and no file.
    static void ExpectNothingLoaded(const TestDocument& document)
    {
        EXPECT_EQ(document.Loaded(), 0);
        EXPECT_FALSE(document.IsOpen());
    }

    ScratchFolder folder;
    const Bytes sampleBytes = NewLayout(Sample(), version12);
    const std::string sample = folder.Write("s.tbx", sampleBytes);
    TestDocument document { "" };
};

// Shows every file as a pipe shows it: not a plain file, and no length.
class PipeLikeFileSystem : public FileSystemWrapper {
    FileError Examine(Handle file, FileInfo& info) override
    {
        const FileError failed = FileSystemWrapper::Examine(file, info);
        info = { info.id };
        return failed;
    }
};

}

TEST_F(Load, OpensForSharedReadingAndReadsTheWholeFileInOneRequest)
{
    ProbedDocument document(sample.c_str());
    EXPECT_EQ(document.Load(), Success);
    EXPECT_EQ(document.opens, 1);
    EXPECT_EQ(document.lastFlags, 0x8020u);
    EXPECT_EQ(document.readCount, sampleBytes.size());
    EXPECT_FALSE(document.IsOpen());
}

TEST_F(Load, FailuresBeforeTheFileIsReadGiveTheirStatus)
{
    ProbedDocument empty("");
    EXPECT_EQ(empty.Load(), NoFileName);
    EXPECT_EQ(empty.opens, 0);

    for (const auto& [path, status] : { std::pair { folder.File("absent.tbx"), FileNotFound },
             { folder.File("nowhere/absent.tbx"), FileNotFound }, { folder.Path(), AccessDenied } }) {
        ProbedDocument document(path.c_str());
        EXPECT_EQ(document.Load(), status) << path;
        ExpectNothingLoaded(document);
    }
}

TEST_F(Load, FileHeldOpenForWritingCannotBeOpened)
{
    WriteBytes(folder.File("held.tbx"), sampleBytes);
    CFile writer;
    CFileException failure;
    ASSERT_TRUE(writer.Open(folder.File("held.tbx").c_str(), 0x9031 & ~0x1000u, &failure));
    TestDocument document(folder.File("held.tbx").c_str());
    EXPECT_EQ(document.Load(), CannotOpen);
    EXPECT_EQ(document.Loaded(), 0);
    writer.Close();
    EXPECT_EQ(document.Load(), Success);
}

TEST_F(Load, GetVersionReportsTheVersionThatWroteTheFile)
{
    LoadFrom(document, folder.File("old.tbx"), OldLayout(Sample()));
    EXPECT_EQ(VersionOf(document), std::tuple(1, 1, 0));
    EXPECT_EQ(document.Record().tailWords, (std::array<std::uint32_t, 3> { 2, 1, 2 }));

    LoadFrom(document, folder.File("new.tbx"), sampleBytes);
    EXPECT_EQ(std::tuple(VersionOf(document), document.Record().head), std::tuple(std::tuple(1, 1, 2), 0x1234u));
}

TEST_F(Load, FailedParseIsBadFormatAndReportsNoVersion)
{
    const Bytes truncated(sampleBytes.begin(), sampleBytes.end() - 1);
    for (const Bytes& file : { truncated, Bytes {}, Bytes { 0x01, 0x00, 0x00 } }) {
        EXPECT_EQ(Reload(document, folder.Write("bad.tbx", file)), BadFormat) << file.size();
        EXPECT_EQ(VersionOf(document), std::tuple(0, 77, 88));
        EXPECT_FALSE(document.IsOpen());
    }
}

TEST_F(Load, ReloadAfterResetHoldsOnlyTheNewFile)
{
    const TabrixFields first = Sample(6, "first lead", { "one", "two", "three" }, { "b1" });
    const std::string secondPath = folder.Write("second.tbx", OldLayout(Sample(6, "", { "x" }, {})));
    LoadFrom(document, folder.File("first.tbx"), NewLayout(first, 0x0101));
    ASSERT_EQ(Reload(document, secondPath), Success);
    EXPECT_EQ(document.Record().listA, std::vector<std::string> { "x" });
    EXPECT_TRUE(document.Record().listB.empty());
    EXPECT_EQ(document.Record().leadString, "");
    EXPECT_EQ(document.Record().version, 0x0100);
    // After a parse that failed half way, Reset is what empties the lists it filled.
    const Bytes broken = NewLayout(first, 0x0102);
    ASSERT_EQ(Reload(document, folder.Write("broken.tbx", Bytes(broken.begin(), broken.end() - 5))), BadFormat);
    ASSERT_EQ(Reload(document, secondPath), Success);
    EXPECT_EQ(document.Record().listA, std::vector<std::string> { "x" });
}

TEST_F(Load, ALoadThatEndsBeforeParsingLeavesALoadedDocumentLoaded)
{
    EXPECT_EQ(document.Loaded(), 0);
    LoadFrom(document, folder.File("a.tbx"), sampleBytes);
    EXPECT_EQ(document.Loaded(), 1);
    CFile writer;
    ASSERT_TRUE(writer.Open(folder.File("a.tbx").c_str(), 0x9031 & ~0x1000u, nullptr));
    EXPECT_EQ(document.Load(), CannotOpen);
    writer.Close();
    EXPECT_EQ(document.Loaded(), 1);
    EXPECT_EQ(document.Record().listA.size(), 2u);
}

TEST_F(Load, SetSourcePathEmptiesALoadedDocumentAndKeepsTheNumbersAndTheOtherPaths)
{
    LoadFrom(document, folder.File("a.tbx"), sampleBytes);
    document.SetTargetVersion(1, 0);
    document.SetDestinationPath("dest.tbx");
    ASSERT_EQ(document.SetSourcePath(folder.File("b.tbx").c_str()), 1);
    EXPECT_EQ(document.Loaded(), 0);
    EXPECT_TRUE(document.Record().listA.empty());
    EXPECT_TRUE(document.Record().leadString.empty());
    EXPECT_EQ(document.Record().head, 0x1234u);
    EXPECT_EQ(document.Target(), 0x0100);
    EXPECT_EQ(document.DestinationPath(), "dest.tbx");
    EXPECT_EQ(document.SourcePath(), folder.File("b.tbx"));
    EXPECT_EQ(document.Load(), FileNotFound);
    EXPECT_EQ(document.Loaded(), 0);
}

TEST_F(Load, LengthThatNoBufferCanHoldIsOutOfMemory)
{
    // The size's maximum: L + 1 wraps to 0.
    std::vector<std::uint64_t> all = { UINT64_MAX, SIZE_MAX, std::uint64_t(PTRDIFF_MAX) };
    // A 4 GiB file: its length wraps to 0 when cut to a 32-bit size.
    if constexpr (sizeof(std::size_t) < sizeof(std::uint64_t))
        all.push_back(std::uint64_t(SIZE_MAX) + 1);
    for (auto length : all) {
        ProbedDocument document(sample.c_str());
        document.fakeLength = length;
        EXPECT_EQ(document.Load(), OutOfMemory) << length;
        EXPECT_EQ(document.readCount, 0u) << "no read into a short buffer";
        ExpectNothingLoaded(document);
    }
}

TEST_F(Load, ReadFailureGivesItsCauseAndLeavesTheRecord)
{
    LoadFrom(document, sample, sampleBytes);
    for (auto cause : { FileErrorCause::HardIO, FileErrorCause::AccessDenied, FileErrorCause::LockViolation }) {
        ProbedDocument document(sample.c_str());
        document.Record().leadString = "kept";
        document.readFailure = cause;
        EXPECT_EQ(document.Load(), StatusFromCause(cause));
        EXPECT_EQ(document.Record().leadString, "kept");
        ExpectNothingLoaded(document);
    }
}

TEST_F(Load, LengthFailureLeavesAsTheFrameworkExceptionWithTheFileClosed)
{
    ProbedDocument document(sample.c_str());
    document.lengthFailure = true;
    EXPECT_THROW(document.Load(), CFileException);
    EXPECT_FALSE(document.IsOpen());
    // Nothing stays held: another load of the same file goes through.
    document.lengthFailure = false;
    EXPECT_EQ(document.Load(), Success);
}

// A file of several megabytes takes the big-image path of the load and the list's reservation.
TEST_F(Load, BigFileConvertsToItselfByteForByteAndItsTruncationFails)
{
    std::vector<std::string> entries;
    for (int i = 0; i < 45000; ++i)
        entries.push_back(std::string(100 + i % 50, static_cast<char>('A' + i % 26)));
    const TabrixFields big = Sample(6, "lead", entries, { "last" });
    const Bytes bytes = NewLayout(big, 0x0102);
    ASSERT_GT(bytes.size(), std::size_t(5) << 20);
    LoadFrom(document, folder.File("big.tbx"), bytes);
    ASSERT_EQ(document.Record().listA.size(), 45000u);
    EXPECT_EQ(document.Record().listA.back(), entries.back());
    EXPECT_EQ(document.Record().listB, big.listB.entries);
    document.SetTargetVersion(1, 2);
    ASSERT_EQ(SaveTo(document, folder.File("copy.tbx")), Success);
    EXPECT_TRUE(ReadBytes(folder.File("copy.tbx")) == bytes);
    EXPECT_EQ(Reload(document, folder.Write("cut.tbx", Bytes(bytes.begin(), bytes.end() - 13))), BadFormat);
}

// A source without a length is read to its end where the document is told to (tbxconv); the dialog
// reads it for the length it has.
TEST_F(Load, StreamIsReadToItsEndOnlyWhereAsked)
{
    PipeLikeFileSystem pipes;
    TestDocument document(sample.c_str());
    document.SetFileSystem(pipes);
    EXPECT_EQ(document.Load(), BadFormat);
    document.Reset();
    document.ReadStreamsToEnd(true);
    EXPECT_EQ(document.Load(), Success);
    EXPECT_EQ(VersionOf(document), std::tuple(1, 1, 2));
    EXPECT_EQ(document.Record().listA, (std::vector<std::string> { "a1", "a2" }));
}

// A stream's pieces come together whole, however they fall; more than the limit does not fit.
TEST_F(Load, ReadToEndGathersEveryPieceUpToTheLimit)
{
    constexpr std::size_t piece = 64 << 10, big = 5 * piece + 7;
    // The stream's size, the size it was expected to have (a plain file's length), the limit.
    const std::tuple<std::size_t, std::uint64_t, std::uint64_t, ConvStatus> cases[] = {
        { 0, 0, maxImageSize, Success },
        { piece, 0, maxImageSize, Success }, // fills the first piece: the end comes in a second
        { big, 0, maxImageSize, Success },
        { big, big, maxImageSize, Success }, // one piece
        { big, 0, big, Success },
        { big, 0, big - 1, OutOfMemory },
        { big, big, big - 1, OutOfMemory },
    };
    for (const auto& [size, expected, limit, status] : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::tuple(size, expected, limit)));
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        CFile file;
        ASSERT_TRUE(file.Open(folder.Write("stream", bytes).c_str(), CFile::modeRead, nullptr));
        SharedImage image;
        ASSERT_EQ(ReadToEnd(file, expected, image, limit), status);
        EXPECT_TRUE(status != Success || Bytes(image.bytes.get(), image.bytes.get() + image.size) == bytes);
    }
}
