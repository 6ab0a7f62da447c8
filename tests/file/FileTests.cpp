// CFile on real files: the load's and the save's opens, lengths, short reads, buffered writes,
// closing, flushing and the sharing that keeps a file from being written while it is read.
#include "platform/file/CFile.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <numeric>
#include <optional>
#include <tuple>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes digitBytes = { '0', '1', '2', '3', '4', '5', '6', '7', '8', '9' };

// Bytes that differ from their neighbours, so that a chunk out of place shows.
Bytes Pattern(std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

constexpr unsigned loadFlags = 0x8020;      // read, others may read
constexpr unsigned saveFlags = 0x9031;      // write, others may write, create or cut
constexpr unsigned writeExisting = 0x8031;  // the save's access and sharing on an existing file
constexpr unsigned openToAll = 0x1041;      // write, create, others may do anything
constexpr unsigned readWriteToAll = 0x0042; // read and write an existing file, others anything

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
template<typename Call>
CFileException Raised(Call call)
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

// Each case gets a fresh folder holding digits.tbx, the ten digits.
class CFileTest : public ::testing::Test {
protected:
    static void WriteText(CFile& file, const std::string& text) { file.Write(text.data(), text.size()); }
    static std::string TextIn(const std::string& path)
    {
        const Bytes bytes = ReadBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }
    // Opens path with flags and writes text; false when the open fails.
    bool WriteWith(CFile& file, const std::string& path, unsigned flags, const std::string& text)
    {
        if (!TryOpen(file, path, flags).opened)
            return false;
        WriteText(file, text);
        return true;
    }
    // The same with an object that is destroyed at once.
    bool WriteAndDestroy(const std::string& path, unsigned flags, const std::string& text)
    {
        CFile destroyed;
        return WriteWith(destroyed, path, flags, text);
    }

    ScratchFolder folder;
    const std::string digits = folder.Write("digits.tbx", digitBytes);
    CFile file;
};
using CFileOpen = CFileTest;
using CFileLength = CFileTest;
using CFileRead = CFileTest;
using CFileWrite = CFileTest;
using CFileClose = CFileTest;
using CFileFlush = CFileTest;

}

TEST_F(CFileOpen, LoadFlagsReadAnExistingFileAndRefuseWrites)
{
    ASSERT_TRUE(TryOpen(file, digits, loadFlags).opened);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetFilePath(), digits);
    EXPECT_EQ(ReadAll(file, 10), "0123456789");
    // Opened for reading: writing is refused, the file keeps its bytes.
    EXPECT_EQ(Raised([&] { WriteText(file, "x"), file.Close(); }).cause, FileErrorCause::AccessDenied);
    file.Close();
    EXPECT_EQ(ReadBytes(digits), digitBytes);
}

TEST_F(CFileOpen, LoadFlagsMakeNoMissingFileAndNameItsCause)
{
    const std::string missing = folder.File("missing.tbx");
    OpenResult absent = TryOpen(file, missing, loadFlags);
    EXPECT_EQ(Refusal(absent), FileErrorCause::FileNotFound);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(std::tuple(absent.failure.osError, absent.failure.fileName), std::tuple(fileNotFoundError, missing));
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_NO_THROW(EXPECT_FALSE(file.Open(missing.c_str(), loadFlags, nullptr)));
    const auto inMissingFolder = Refusal(TryOpen(file, folder.File("nowhere/missing.tbx"), loadFlags));
#ifdef _WIN32
    EXPECT_EQ(inMissingFolder, FileErrorCause::BadPath);
#else
    EXPECT_EQ(inMissingFolder, FileErrorCause::FileNotFound);
#endif
}

TEST_F(CFileOpen, AFolderIsNoFileForReadingOrWriting)
{
    for (unsigned flags : { loadFlags, saveFlags })
        EXPECT_EQ(Refusal(TryOpen(file, folder.Path(), flags)), FileErrorCause::AccessDenied) << std::hex << flags;
}

TEST_F(CFileOpen, SaveFlagsCreateOrCutToLengthZero)
{
    const std::string fresh = folder.File("fresh.tbx");
    ASSERT_TRUE(WriteWith(file, fresh, saveFlags, "abc"));
    EXPECT_TRUE(std::filesystem::exists(fresh));
    file.Close();
    EXPECT_EQ(TextIn(fresh), "abc");
    const std::string existing = folder.Write("existing.tbx", Pattern(5000));
    ASSERT_TRUE(TryOpen(file, existing, saveFlags).opened);
    EXPECT_EQ(file.GetLength(), 0u);
    file.Close();
    EXPECT_TRUE(ReadBytes(existing).empty());
    WriteBytes(existing, Pattern(5000));
    ASSERT_TRUE(WriteAndDestroy(existing, saveFlags, "new"));
    EXPECT_EQ(TextIn(existing), "new");
}

TEST_F(CFileOpen, WithoutCreateOrFolderNoFileIsMade)
{
    EXPECT_EQ(Refusal(TryOpen(file, folder.File("absent.tbx"), writeExisting)), FileErrorCause::FileNotFound);
    EXPECT_FALSE(std::filesystem::exists(folder.File("absent.tbx")));
    const auto inMissingFolder = Refusal(TryOpen(file, folder.File("nowhere/new.tbx"), saveFlags));
    EXPECT_TRUE(inMissingFolder == FileErrorCause::BadPath || inMissingFolder == FileErrorCause::FileNotFound);
}

TEST_F(CFileLength, GivesTheSizeAndLeavesThePosition)
{
    ASSERT_TRUE(TryOpen(file, digits, loadFlags).opened);
    EXPECT_EQ(ReadAll(file, 3), "012");
    EXPECT_EQ(file.GetLength(), 10u);
    EXPECT_EQ(ReadAll(file, 100), "3456789");
    EXPECT_EQ(file.GetLength(), 10u);
}

TEST_F(CFileLength, CountsTheBytesWrittenSoFarAndPutsNothingOutOfOrder)
{
    const std::string written = folder.File("written.tbx");
    ASSERT_TRUE(WriteWith(file, written, saveFlags, ""));
    EXPECT_EQ(file.GetLength(), 0u);
    WriteText(file, "hello");
    EXPECT_EQ(file.GetLength(), 5u);
    WriteText(file, " world");
    EXPECT_EQ(file.GetLength(), 11u);
    file.Close();
    EXPECT_EQ(TextIn(written), "hello world");
}

TEST_F(CFileRead, FewerBytesAtTheEndWithoutFailure)
{
    char buffer[100];
    ASSERT_TRUE(TryOpen(file, digits, loadFlags).opened);
    EXPECT_EQ(file.Read(buffer, 0), 0u);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 10u);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(file.Read(buffer, 1), 0u);
    file.Close();
    ASSERT_TRUE(TryOpen(file, folder.Write("empty.tbx", {}), loadFlags).opened);
    EXPECT_EQ(file.GetLength(), 0u);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
}

TEST_F(CFileRead, OneRequestTakesAWholeBigFileAsTheLoadDoes)
{
    const Bytes pattern = Pattern(3 * 1024 * 1024 + 17);
    ASSERT_TRUE(TryOpen(file, folder.Write("big.tbx", pattern), loadFlags).opened);
    Bytes read(pattern.size() + 1);
    EXPECT_EQ(file.Read(read.data(), read.size()), pattern.size());
    read.pop_back();
    EXPECT_TRUE(read == pattern);
}

TEST_F(CFileWrite, ZeroBytesDoNothing)
{
    const std::string path = folder.File("out.tbx");
    EXPECT_NO_THROW(file.Write(nullptr, 0)); // not even on a closed file
    EXPECT_THROW(file.Write("x", 1), CFileException);
    ASSERT_TRUE(TryOpen(file, path, saveFlags).opened);
    EXPECT_NO_THROW(file.Write(nullptr, 0));
    file.Close();
    EXPECT_TRUE(ReadBytes(path).empty());
}

TEST_F(CFileWrite, ChunksArriveInOrder)
{
    // Around and across the size of any write buffer: small fields, a buffer's worth, big blocks.
    const std::size_t chunks[] = { 1, 0, 7, 65535, 1, 65536, 65537, 3, 200000, 0, 1, 131072, 60, 4, 2 };
    const Bytes pattern = Pattern(std::accumulate(std::begin(chunks), std::end(chunks), std::size_t(0)));
    ASSERT_TRUE(TryOpen(file, folder.File("out.tbx"), saveFlags).opened);
    std::size_t offset = 0;
    for (auto size : chunks)
        file.Write(pattern.data() + offset, size), offset += size;
    file.Close();
    EXPECT_TRUE(ReadBytes(folder.File("out.tbx")) == pattern);
}

TEST_F(CFileWrite, AReadAfterAWriteSeesTheFileAsWritten)
{
    ASSERT_TRUE(WriteWith(file, digits, readWriteToAll, "ab"));
    EXPECT_EQ(ReadAll(file, 3), "234");
    WriteText(file, "XY");
    file.Close();
    EXPECT_EQ(TextIn(digits), "ab234XY789");
}

TEST_F(CFileClose, ClosingWritesOutAndTheObjectOpensAgain)
{
    const std::string path = folder.File("out.tbx"), second = folder.File("second.tbx");
    ASSERT_TRUE(WriteWith(file, path, saveFlags, "abc"));
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_NO_THROW(file.Close());
    EXPECT_EQ(TextIn(path), "abc");
    ASSERT_TRUE(WriteWith(file, second, saveFlags, "second"));
    file.Close();
    EXPECT_EQ(TextIn(second), "second");
}

TEST_F(CFileClose, DestroyingWritesOutAndLetsOthersIn)
{
    const std::string path = folder.File("out.tbx");
    ASSERT_TRUE(WriteAndDestroy(path, saveFlags, "xyz"));
    EXPECT_EQ(TextIn(path), "xyz");
    // The destroyed object's handle is gone: a reader is let in.
    ASSERT_TRUE(TryOpen(file, path, loadFlags).opened);
    EXPECT_EQ(ReadAll(file, 10), "xyz");
    ASSERT_TRUE(WriteAndDestroy(path, loadFlags, "")); // a second reader, gone again
    file.Close();
    EXPECT_TRUE(TryOpen(file, path, saveFlags).opened);
}

TEST_F(CFileFlush, PutsTheBytesIntoTheFileWhileItIsOpen)
{
    const std::string path = folder.File("out.tbx");
    ASSERT_TRUE(WriteWith(file, path, openToAll, "hello"));
    file.Flush();
    EXPECT_EQ(TextIn(path), "hello");
    file.Flush();
    WriteText(file, "!");
    file.Flush();
    EXPECT_EQ(TextIn(path), "hello!");
}

#ifdef __linux__
TEST_F(CFileFlush, AFullDeviceRaisesDiskFullAndCloseStillCloses)
{
    ASSERT_TRUE(WriteWith(file, "/dev/full", openToAll, "no room"));
    const CFileException full = Raised([&] { file.Flush(); });
    EXPECT_EQ(std::tuple(full.cause, full.fileName), std::tuple(FileErrorCause::DiskFull, "/dev/full"));
    EXPECT_NO_THROW(file.Close());
    EXPECT_FALSE(file.IsOpen());
    // The same failure from Close when nothing flushed first; the handle is gone all the same.
    ASSERT_TRUE(WriteWith(file, "/dev/full", openToAll, "no room"));
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

    CFile reader, writer, other;
};

TEST_F(CFileSharing, AReaderKeepsWritersOutAndLetsReadersIn)
{
    ASSERT_TRUE(TryOpen(reader, digits, loadFlags).opened);
    ExpectRefused(TryOpen(writer, digits, saveFlags));
    ExpectRefused(TryOpen(writer, digits, writeExisting));
    EXPECT_FALSE(writer.IsOpen());
    // The refused save's create did not cut the file.
    EXPECT_EQ(ReadBytes(digits), digitBytes);
    ASSERT_TRUE(TryOpen(other, digits, loadFlags).opened); // a second reader
    EXPECT_EQ(ReadAll(other, 10), "0123456789");
    EXPECT_EQ(ReadAll(reader, 10), "0123456789");
    reader.Close();
    ExpectRefused(TryOpen(writer, digits, saveFlags));
    other.Close();
    EXPECT_TRUE(TryOpen(writer, digits, saveFlags).opened);
}

TEST_F(CFileSharing, AWriterKeepsReadersOut)
{
    ASSERT_TRUE(TryOpen(writer, digits, saveFlags).opened);
    WriteText(writer, "written");
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
    ASSERT_TRUE(TryOpen(writer, digits, saveFlags).opened);
    EXPECT_TRUE(TryOpen(other, digits, saveFlags).opened);
#endif
}

TEST_F(CFileSharing, AProgramThatTakesNoLocksIsKeptOut)
{
#ifndef _WIN32
    GTEST_SKIP() << "flock locks are advisory: a program that takes none is not kept out";
#else
    ASSERT_TRUE(TryOpen(reader, digits, loadFlags).opened);
    HANDLE plain = CreateFileA(digits.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(plain, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    if (plain != INVALID_HANDLE_VALUE)
        CloseHandle(plain);
#endif
}

#ifndef _WIN32
// The locks hold between processes that take them, not only between objects of one process.
TEST_F(CFileSharing, AnotherProcessIsKeptOutWhileTheFileIsWritten)
{
    ASSERT_TRUE(TryOpen(writer, digits, saveFlags).opened);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const OpenResult result = TryOpen(reader, digits, loadFlags);
        _exit(result.opened ? 100 : static_cast<int>(result.failure.cause));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(FileErrorCause::SharingViolation));
}
#endif
