// CFile on real files: the load's and the save's opens, lengths, short reads, buffered writes,
// closing, flushing and the sharing that keeps a file from being written while it is read.
#include "platform/CFile.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <numeric>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Digits() { return { '0', '1', '2', '3', '4', '5', '6', '7', '8', '9' }; }

// Bytes that differ from their neighbours, so that a chunk out of place shows.
Bytes Pattern(std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

constexpr unsigned loadFlags = 0x8020;        // read, others may read
constexpr unsigned saveFlags = 0x9031;        // write, others may write, create or cut
constexpr unsigned writeExisting = 0x8031;    // the save's access and sharing on an existing file
constexpr unsigned openToAll = 0x1041;        // write, create, others may do anything
constexpr unsigned readWriteToAll = 0x0042;   // read and write an existing file, others anything

#ifdef _WIN32
constexpr long fileNotFoundError = ERROR_FILE_NOT_FOUND;
#else
constexpr long fileNotFoundError = ENOENT;
#endif

// What an open gives: the result, the failure it filled in and whether it raised.
struct OpenResult {
    bool opened = false;
    bool raised = false;
    CFileException failure { FileErrorCause::None, 0 };
};

OpenResult TryOpen(CFile& file, const std::string& path, unsigned flags)
{
    OpenResult result;
    try {
        result.opened = file.Open(path.c_str(), flags, &result.failure);
    } catch (...) {
        result.raised = true;
    }
    return result;
}

// The cause of an open refused as a value (not opened, nothing raised); none otherwise.
std::optional<FileErrorCause> Refusal(const OpenResult& result)
{
    if (result.opened || result.raised)
        return std::nullopt;
    return result.failure.cause;
}

// What the call raised: the cause of its CFileException, None when it raised nothing.
template <typename Call> CFileException Raised(Call call)
{
    try {
        call();
    } catch (const CFileException& failure) {
        return failure;
    }
    return { FileErrorCause::None, 0 };
}

std::string ReadAll(CFile& file, std::size_t atMost)
{
    std::string text(atMost, '\0');
    text.resize(file.Read(text.data(), atMost));
    return text;
}

void WriteText(CFile& file, const std::string& text) { file.Write(text.data(), text.size()); }

std::string TextOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Each case gets a fresh folder holding digits.tbx, the ten digits.
class CFileTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    const std::string digits = folder.Write("digits.tbx", Digits());
};
using CFileOpen = CFileTest;
using CFileLength = CFileTest;
using CFileRead = CFileTest;
using CFileWrite = CFileTest;
using CFileClose = CFileTest;
using CFileFlush = CFileTest;

}

TEST_F(CFileOpen, LoadFlagsOpenAnExistingFileOnly)
{
    CFile file;
    OpenResult existing = TryOpen(file, digits, loadFlags);
    ASSERT_TRUE(existing.opened);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetFilePath(), digits);
    EXPECT_EQ(ReadAll(file, 10), "0123456789");
    // Opened for reading: writing is refused, the file keeps its bytes.
    EXPECT_EQ(Raised([&] { WriteText(file, "x"), file.Close(); }).cause, FileErrorCause::AccessDenied);
    file.Close();
    EXPECT_EQ(ReadBytes(digits), Digits());

    const std::string missing = folder.File("missing.tbx");
    CFile other;
    OpenResult absent = TryOpen(other, missing, loadFlags);
    EXPECT_EQ(Refusal(absent), FileErrorCause::FileNotFound);
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(absent.failure.osError, fileNotFoundError);
    EXPECT_EQ(absent.failure.fileName, missing);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_NO_THROW(EXPECT_FALSE(other.Open(missing.c_str(), loadFlags, nullptr)));

    OpenResult inMissingFolder = TryOpen(other, folder.File("nowhere/missing.tbx"), loadFlags);
#ifdef _WIN32
    EXPECT_EQ(Refusal(inMissingFolder), FileErrorCause::BadPath);
#else
    EXPECT_EQ(Refusal(inMissingFolder), FileErrorCause::FileNotFound);
#endif

    // A folder is no file, for reading or for writing.
    for (unsigned flags : { loadFlags, saveFlags })
        EXPECT_EQ(Refusal(TryOpen(other, folder.Path(), flags)), FileErrorCause::AccessDenied) << std::hex << flags;
}

TEST_F(CFileOpen, SaveFlagsCreateOrCutToLengthZero)
{
    const std::string fresh = folder.File("fresh.tbx");
    CFile creator;
    ASSERT_TRUE(TryOpen(creator, fresh, saveFlags).opened);
    EXPECT_TRUE(std::filesystem::exists(fresh));
    WriteText(creator, "abc");
    creator.Close();
    EXPECT_EQ(TextOf(ReadBytes(fresh)), "abc");

    const std::string existing = folder.Write("existing.tbx", Pattern(5000));
    CFile cutter;
    ASSERT_TRUE(TryOpen(cutter, existing, saveFlags).opened);
    EXPECT_EQ(cutter.GetLength(), 0u);
    cutter.Close();
    EXPECT_TRUE(ReadBytes(existing).empty());
    WriteBytes(existing, Pattern(5000));
    {
        CFile file;
        ASSERT_TRUE(TryOpen(file, existing, saveFlags).opened);
        WriteText(file, "new");
    }
    EXPECT_EQ(TextOf(ReadBytes(existing)), "new");

    // Without the create flag a missing file is not made.
    CFile file;
    EXPECT_EQ(Refusal(TryOpen(file, folder.File("absent.tbx"), writeExisting)), FileErrorCause::FileNotFound);
    EXPECT_FALSE(std::filesystem::exists(folder.File("absent.tbx")));

    const auto inMissingFolder = Refusal(TryOpen(file, folder.File("nowhere/new.tbx"), saveFlags));
    EXPECT_TRUE(inMissingFolder == FileErrorCause::BadPath || inMissingFolder == FileErrorCause::FileNotFound);
}

TEST_F(CFileLength, GivesTheSizeAndLeavesThePosition)
{
    CFile reader;
    ASSERT_TRUE(TryOpen(reader, digits, loadFlags).opened);
    EXPECT_EQ(ReadAll(reader, 3), "012");
    EXPECT_EQ(reader.GetLength(), 10u);
    EXPECT_EQ(ReadAll(reader, 100), "3456789");
    EXPECT_EQ(reader.GetLength(), 10u);
    reader.Close();

    // Bytes written so far count, and asking puts nothing out of order.
    const std::string written = folder.File("written.tbx");
    CFile writer;
    ASSERT_TRUE(TryOpen(writer, written, saveFlags).opened);
    EXPECT_EQ(writer.GetLength(), 0u);
    WriteText(writer, "hello");
    EXPECT_EQ(writer.GetLength(), 5u);
    WriteText(writer, " world");
    EXPECT_EQ(writer.GetLength(), 11u);
    writer.Close();
    EXPECT_EQ(TextOf(ReadBytes(written)), "hello world");
}

TEST_F(CFileRead, FewerBytesAtTheEndWithoutFailure)
{
    CFile file;
    ASSERT_TRUE(TryOpen(file, digits, loadFlags).opened);
    char buffer[100];
    EXPECT_EQ(file.Read(buffer, 0), 0u);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 10u);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(file.Read(buffer, 1), 0u);
    file.Close();

    const std::string empty = folder.File("empty.tbx");
    WriteBytes(empty, {});
    ASSERT_TRUE(TryOpen(file, empty, loadFlags).opened);
    EXPECT_EQ(file.GetLength(), 0u);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    file.Close();

    // One request takes a whole big file, as the load does.
    const std::string big = folder.File("big.tbx");
    const Bytes pattern = Pattern(3 * 1024 * 1024 + 17);
    WriteBytes(big, pattern);
    ASSERT_TRUE(TryOpen(file, big, loadFlags).opened);
    Bytes read(pattern.size() + 1);
    EXPECT_EQ(file.Read(read.data(), read.size()), pattern.size());
    read.pop_back();
    EXPECT_TRUE(read == pattern);
}

TEST_F(CFileWrite, ZeroBytesDoNothingAndChunksArriveInOrder)
{
    const std::string path = folder.File("out.tbx");
    CFile closed;
    EXPECT_NO_THROW(closed.Write(nullptr, 0));
    EXPECT_THROW(closed.Write("x", 1), CFileException);

    CFile file;
    ASSERT_TRUE(TryOpen(file, path, saveFlags).opened);
    EXPECT_NO_THROW(file.Write(nullptr, 0));
    file.Close();
    EXPECT_TRUE(ReadBytes(path).empty());

    // Around and across the size of any write buffer: small fields, a buffer's worth, big blocks.
    const std::size_t chunks[] = { 1, 0, 7, 65535, 1, 65536, 65537, 3, 200000, 0, 1, 131072, 60, 4, 2 };
    const Bytes pattern = Pattern(std::accumulate(std::begin(chunks), std::end(chunks), std::size_t(0)));
    ASSERT_TRUE(TryOpen(file, path, saveFlags).opened);
    std::size_t offset = 0;
    for (auto size : chunks) {
        file.Write(pattern.data() + offset, size);
        offset += size;
    }
    file.Close();
    EXPECT_TRUE(ReadBytes(path) == pattern);
}

TEST_F(CFileWrite, AReadAfterAWriteSeesTheFileAsWritten)
{
    CFile file;
    ASSERT_TRUE(TryOpen(file, digits, readWriteToAll).opened);
    WriteText(file, "ab");
    EXPECT_EQ(ReadAll(file, 3), "234");
    WriteText(file, "XY");
    file.Close();
    EXPECT_EQ(TextOf(ReadBytes(digits)), "ab234XY789");
}

TEST_F(CFileClose, ClosingAndDestroyingWriteOutAndLetOthersIn)
{
    const std::string path = folder.File("out.tbx");
    CFile file;
    ASSERT_TRUE(TryOpen(file, path, saveFlags).opened);
    WriteText(file, "abc");
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_NO_THROW(file.Close());
    EXPECT_EQ(TextOf(ReadBytes(path)), "abc");

    // The same object opens again, another file.
    const std::string second = folder.File("second.tbx");
    ASSERT_TRUE(TryOpen(file, second, saveFlags).opened);
    WriteText(file, "second");
    file.Close();
    EXPECT_EQ(TextOf(ReadBytes(second)), "second");

    {
        CFile destroyed;
        ASSERT_TRUE(TryOpen(destroyed, path, saveFlags).opened);
        WriteText(destroyed, "xyz");
    }
    EXPECT_EQ(TextOf(ReadBytes(path)), "xyz");
    // The destroyed object's handle is gone: a reader is let in.
    CFile reader;
    ASSERT_TRUE(TryOpen(reader, path, loadFlags).opened);
    EXPECT_EQ(ReadAll(reader, 10), "xyz");
    {
        CFile destroyedReader;
        ASSERT_TRUE(TryOpen(destroyedReader, path, loadFlags).opened);
    }
    reader.Close();
    CFile writer;
    EXPECT_TRUE(TryOpen(writer, path, saveFlags).opened);
}

TEST_F(CFileFlush, PutsTheBytesIntoTheFileWhileItIsOpen)
{
    const std::string path = folder.File("out.tbx");
    CFile file;
    ASSERT_TRUE(TryOpen(file, path, openToAll).opened);
    WriteText(file, "hello");
    file.Flush();
    EXPECT_EQ(TextOf(ReadBytes(path)), "hello");
    file.Flush();
    WriteText(file, "!");
    file.Flush();
    EXPECT_EQ(TextOf(ReadBytes(path)), "hello!");
    file.Close();
}

#ifdef __linux__
TEST_F(CFileFlush, AFullDeviceRaisesDiskFullAndCloseStillCloses)
{
    CFile file;
    ASSERT_TRUE(TryOpen(file, "/dev/full", openToAll).opened);
    WriteText(file, "no room");
    const CFileException full = Raised([&] { file.Flush(); });
    EXPECT_EQ(full.cause, FileErrorCause::DiskFull);
    EXPECT_EQ(full.fileName, "/dev/full");
    EXPECT_NO_THROW(file.Close());
    EXPECT_FALSE(file.IsOpen());

    // The same failure from Close when nothing flushed first; the handle is gone all the same.
    ASSERT_TRUE(TryOpen(file, "/dev/full", openToAll).opened);
    WriteText(file, "no room");
    EXPECT_THROW(file.Close(), CFileException);
    EXPECT_FALSE(file.IsOpen());
}
#endif

class CFileSharing : public CFileTest {
protected:
    void ExpectRefused(const OpenResult& result)
    {
        EXPECT_EQ(Refusal(result), FileErrorCause::SharingViolation);
#ifdef _WIN32
        EXPECT_EQ(result.failure.osError, ERROR_SHARING_VIOLATION);
#endif
    }
};

TEST_F(CFileSharing, AReaderKeepsWritersOutAndLetsReadersIn)
{
    CFile reader;
    ASSERT_TRUE(TryOpen(reader, digits, loadFlags).opened);
    CFile writer;
    ExpectRefused(TryOpen(writer, digits, saveFlags));
    ExpectRefused(TryOpen(writer, digits, writeExisting));
    EXPECT_FALSE(writer.IsOpen());
    // The refused save's create did not cut the file.
    EXPECT_EQ(ReadBytes(digits), Digits());

    CFile secondReader;
    ASSERT_TRUE(TryOpen(secondReader, digits, loadFlags).opened);
    EXPECT_EQ(ReadAll(secondReader, 10), "0123456789");
    EXPECT_EQ(ReadAll(reader, 10), "0123456789");
    reader.Close();
    ExpectRefused(TryOpen(writer, digits, saveFlags));
    secondReader.Close();
    EXPECT_TRUE(TryOpen(writer, digits, saveFlags).opened);
}

TEST_F(CFileSharing, AWriterKeepsReadersOut)
{
    CFile writer;
    ASSERT_TRUE(TryOpen(writer, digits, saveFlags).opened);
    WriteText(writer, "written");
    CFile reader;
    ExpectRefused(TryOpen(reader, digits, loadFlags));
    writer.Close();
    ASSERT_TRUE(TryOpen(reader, digits, loadFlags).opened);
    EXPECT_EQ(ReadAll(reader, 100), "written");
}

TEST_F(CFileSharing, TwoWritersBothGetIn)
{
#ifndef _WIN32
    GTEST_SKIP() << "flock has no shared write lock: the emulation keeps a second writer out";
#else
    CFile writer;
    ASSERT_TRUE(TryOpen(writer, digits, saveFlags).opened);
    CFile secondWriter;
    EXPECT_TRUE(TryOpen(secondWriter, digits, saveFlags).opened);
#endif
}

TEST_F(CFileSharing, AProgramThatTakesNoLocksIsKeptOut)
{
#ifndef _WIN32
    GTEST_SKIP() << "flock locks are advisory: a program that takes none is not kept out";
#else
    CFile reader;
    ASSERT_TRUE(TryOpen(reader, digits, loadFlags).opened);
    HANDLE other = CreateFileA(digits.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    if (other != INVALID_HANDLE_VALUE)
        CloseHandle(other);
#endif
}

#ifndef _WIN32
// The locks hold between processes that take them, not only between objects of one process.
TEST_F(CFileSharing, AnotherProcessIsKeptOutWhileTheFileIsWritten)
{
    CFile writer;
    ASSERT_TRUE(TryOpen(writer, digits, saveFlags).opened);
    pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        CFile reader;
        CFileException failure;
        bool opened = reader.Open(digits.c_str(), loadFlags, &failure);
        _exit(opened ? 100 : static_cast<int>(failure.cause));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(FileErrorCause::SharingViolation));
}
#endif
