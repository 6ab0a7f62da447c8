#include "DocumentTestSupport.h"

#include "support/FileSystemWrappers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#endif

namespace {

// The temporary names that the next new files get, unless taken: those after the one that the
// system gives now.
std::vector<std::string> NextTemporaryNames(unsigned count)
{
    const unsigned long now = std::stoul(FileSystemWrapper::TakeTemporaryName().substr(3, 5), nullptr, 16);
    std::vector<std::string> names;
    for (unsigned i = 1; i <= count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "~kv%05lX.tmp", (now + i) & 0xFFFFF);
        names.push_back(name);
    }
    return names;
}

class Save : public ::testing::Test {
protected:
    // A document loaded from a 1.2 file whose W4 is 6.
    void SetUp() override { LoadFrom(document, folder.File("s.tbx"), Encode(source)); }

    ConvStatus SaveAs(std::uint8_t major, std::uint8_t minor, const std::string& path)
    {
        document.SetTargetVersion(major, minor);
        return SaveTo(document, path);
    }

    // The source converted to target, by the conversion rules.
    Bytes As(FormatVersion target) const { return Encode(Converted(source, target)); }
    // What a save as major.minor wrote to name in the folder.
    Bytes Saved(std::uint8_t major, std::uint8_t minor, const std::string& name)
    {
        EXPECT_EQ(SaveAs(major, minor, folder.File(name)), Success) << name;
        return ReadBytes(folder.File(name));
    }

    ScratchFolder folder;
    const TabrixFields source = AsNewLayout(Sample(), version12);
    ProbedDocument document { "" };
};

}

TEST_F(Save, EachTargetWritesItsLayout)
{
    EXPECT_EQ(Saved(1, 0, "d10.tbx"), As(version10));
    const Bytes v11 = Saved(1, 1, "d11.tbx");
    EXPECT_EQ(document.Target(), 0x0101);
    EXPECT_EQ(v11, As(version11));
    ASSERT_GT(v11.size(), 18u);
    EXPECT_EQ(v11[18], 3) << "W4 of the new layout sits at offset 18";
    // The record still holds 6: a later save as 1.2 writes it unchanged.
    EXPECT_EQ(document.Record().words[3], 6u);
    EXPECT_EQ(Saved(1, 2, "d12.tbx"), As(version12));
    EXPECT_EQ(document.Loaded(), 1);
    EXPECT_FALSE(document.IsOpen());
}

TEST_F(Save, OldFileGainsTheDefaultsOfTheNewLayout)
{
    TabrixFields old = Sample();
    old.headWord = 0x00AB1234; // the upper half is dropped by the new layout
    LoadFrom(document, folder.File("old.tbx"), OldLayout(old));
    // Extra words 0, tail words 2, 1, 2.
    EXPECT_EQ(Saved(1, 2, "d.tbx"), Encode(Converted(old, version12)));
}

TEST_F(Save, ExistingDestinationIsReplacedWhole)
{
    // Longer than the new content: nothing of it may stay behind the new bytes.
    WriteBytes(folder.File("d.tbx"), Bytes(5000, 0xEE));
    EXPECT_EQ(Saved(1, 1, "d.tbx"), As(version11));
    EXPECT_EQ(folder.Names(), (std::vector<std::string> { "d.tbx", "s.tbx" }));
}

// Names relative to the working folder, with either separator, as a command line gives them.
TEST_F(Save, ExistingDestinationNamedRelativelyIsReplaced)
{
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    std::filesystem::create_directory("sub");
    const Bytes expected = As(version11);
    std::vector<std::string> names { "d.tbx", "sub/d.tbx", "./sub/../d.tbx" };
#ifdef _WIN32
    names.push_back("sub\\e.tbx");
#endif
    for (const auto& name : names) {
        WriteBytes(name, Bytes(700, 0xEE));
        EXPECT_EQ(SaveAs(1, 1, name), Success) << name;
        EXPECT_EQ(ReadBytes(name), expected) << name;
    }
    std::filesystem::current_path(previous);
    // No temporary file is left beside either destination.
    EXPECT_EQ(folder.Names(), (std::vector<std::string> { "d.tbx", "s.tbx", "sub" }));
    EXPECT_EQ(NamesIn(folder.File("sub")).size(), names.size() - 2);
}

TEST_F(Save, ConvertsAFileInPlace)
{
    EXPECT_EQ(Saved(1, 0, "s.tbx"), As(version10));
    EXPECT_EQ(folder.Names(), std::vector<std::string> { "s.tbx" });
    ASSERT_EQ(Reload(document, folder.File("s.tbx")), Success);
    EXPECT_EQ(VersionOf(document), std::tuple(1, 1, 0));
}

TEST_F(Save, UnknownTargetIsBadFormatBeforeAnythingIsTouched)
{
    WriteBytes(folder.File("existing.tbx"), Bytes { 1, 2, 3 });
    for (auto [major, minor] : { std::pair { 1, 3 }, std::pair { 0, 0 }, std::pair { 2, 0 }, std::pair { 0, 1 } }) {
        document.opens = 0;
        EXPECT_EQ(SaveAs(std::uint8_t(major), std::uint8_t(minor), folder.File("absent.tbx")), BadFormat);
        EXPECT_EQ(SaveAs(std::uint8_t(major), std::uint8_t(minor), folder.File("existing.tbx")), BadFormat);
        EXPECT_EQ(document.opens, 0);
    }
    EXPECT_FALSE(Exists(folder.File("absent.tbx")));
    EXPECT_EQ(ReadBytes(folder.File("existing.tbx")), (Bytes { 1, 2, 3 }));
    EXPECT_EQ(folder.Names(), (std::vector<std::string> { "existing.tbx", "s.tbx" }));
}

TEST_F(Save, DestinationHeldByAReaderIsRefusedUntilItLetsGo)
{
    const Bytes old = { 'o', 'l', 'd' };
    WriteBytes(folder.File("held.tbx"), old);
    {
        // Another program reads it: the save's sharing does not let it in.
        CFile reader;
        ASSERT_TRUE(reader.Open(folder.File("held.tbx").c_str(), 0x8020, nullptr));
        EXPECT_EQ(SaveAs(1, 2, folder.File("held.tbx")), CannotOpen);
        EXPECT_EQ(SaveAs(1, 0, folder.File("held.tbx")), CannotOpen);
    }
    EXPECT_EQ(ReadBytes(folder.File("held.tbx")), old);
    EXPECT_EQ(folder.Names(), (std::vector<std::string> { "held.tbx", "s.tbx" }));
    // Once the other program lets go, the same save goes through.
    EXPECT_EQ(Saved(1, 2, "held.tbx"), As(version12));
}

TEST_F(Save, FolderOrMissingDestinationGivesItsStatusAndMakesNothing)
{
    std::filesystem::create_directory(folder.File("sub"));
    EXPECT_EQ(SaveAs(1, 2, folder.File("sub")), AccessDenied);
    EXPECT_TRUE(std::filesystem::is_directory(folder.File("sub")));
    EXPECT_TRUE(std::filesystem::is_empty(folder.File("sub")));

    EXPECT_EQ(SaveAs(1, 2, folder.File("nowhere/d.tbx")), FileNotFound);
    EXPECT_EQ(SaveAs(1, 2, ""), FileNotFound);
    EXPECT_EQ(folder.Names(), (std::vector<std::string> { "s.tbx", "sub" }));
    EXPECT_FALSE(document.IsOpen());
}

TEST_F(Save, TemporaryNameTakenMeanwhileIsLeftAloneAndAnotherIsUsed)
{
    // Another program took the first three names that the replacing save tries.
    std::vector<std::string> taken;
    for (const std::string& name : NextTemporaryNames(3))
        taken.push_back(folder.File(name)), WriteBytes(taken.back(), Bytes { 'm', 'i', 'n', 'e' });
    WriteBytes(folder.File("d.tbx"), Bytes { 'o', 'l', 'd' });
    ASSERT_EQ(SaveAs(1, 2, folder.File("d.tbx")), Success);
    for (const auto& path : taken)
        EXPECT_EQ(ReadBytes(path), (Bytes { 'm', 'i', 'n', 'e' })) << path;
    EXPECT_EQ(ReadBytes(folder.File("d.tbx")), As(version12));
    EXPECT_EQ(folder.Names().size(), 5u);
}

#ifndef _WIN32
TEST_F(Save, ReplacedDestinationKeepsItsPermissionBitsAndOwner)
{
    const std::string path = folder.File("d.tbx");
    WriteBytes(path, Bytes { 0 });
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    // Only root can give a file away; others keep their own files anyway.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 4321, 4321), 0);
    }
    ASSERT_EQ(SaveAs(1, 2, path), Success);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(std::tuple(info.st_uid, info.st_gid), std::tuple(4321u, 4321u));
    }
    EXPECT_EQ(ReadBytes(path), As(version12));
}

TEST_F(Save, ThroughASymbolicLinkTheTargetIsReplacedAndTheLinkStays)
{
    std::filesystem::create_directory(folder.File("real"));
    const std::string target = folder.File("real/t.tbx");
    WriteBytes(target, Bytes { 1, 2 });
    std::filesystem::create_symlink(target, folder.File("link.tbx"));
    ASSERT_EQ(SaveAs(1, 0, folder.File("link.tbx")), Success);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("link.tbx")));
    EXPECT_EQ(ReadBytes(target), As(version10));
    EXPECT_EQ(NamesIn(folder.File("real")), std::vector<std::string> { "t.tbx" });
    EXPECT_EQ(folder.Names(), (std::vector<std::string> { "link.tbx", "real", "s.tbx" }));
}

TEST_F(Save, PipeDestinationGetsTheBytesAndStaysAPipe)
{
    const std::string path = folder.File("pipe");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    Bytes received;
    std::thread reader([&] { received = ReadBytes(path); });
    const ConvStatus status = SaveAs(1, 0, path);
    reader.join();
    EXPECT_EQ(status, Success);
    EXPECT_EQ(received, As(version10));
    EXPECT_TRUE(std::filesystem::is_fifo(path));
    EXPECT_EQ(folder.Names(), (std::vector<std::string> { "pipe", "s.tbx" }));
}
#else
TEST_F(Save, HiddenDestinationIsRefusedAsRecreatingItWouldBe)
{
    // Windows will not recreate a hidden or system file over itself: neither does the save.
    for (DWORD attribute : { DWORD(FILE_ATTRIBUTE_HIDDEN), DWORD(FILE_ATTRIBUTE_SYSTEM) }) {
        const std::string path = folder.File("d.tbx");
        WriteBytes(path, Bytes { 'o', 'l', 'd' });
        ASSERT_TRUE(::SetFileAttributesA(path.c_str(), attribute));
        if (!(::GetFileAttributesA(path.c_str()) & attribute))
            GTEST_SKIP() << "this file system keeps no hidden or system attribute";
        EXPECT_EQ(SaveAs(1, 2, path), AccessDenied);
        EXPECT_EQ(ReadBytes(path), (Bytes { 'o', 'l', 'd' }));
        EXPECT_EQ(folder.Names(), (std::vector<std::string> { "d.tbx", "s.tbx" }));
        ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    }
}

TEST_F(Save, DeviceDestinationIsWrittenAsItIs)
{
    EXPECT_EQ(SaveAs(1, 2, "NUL"), Success);
    EXPECT_EQ(folder.Names(), std::vector<std::string> { "s.tbx" });
}

// The names in a folder, by the system's ANSI calls.
static std::vector<std::string> AnsiNamesIn(const std::string& folder)
{
    WIN32_FIND_DATAA found {};
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    std::vector<std::string> names;
    while (search != INVALID_HANDLE_VALUE) {
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
            names.push_back(found.cFileName);
        if (!::FindNextFileA(search, &found))
            break;
    }
    ::FindClose(search);
    return names;
}

static std::string watched;
static std::vector<std::string> seenWhileWriting;

TEST_F(Save, NamesWithA5CTrailByteStayInTheirFolder)
{
    // 表 is 0x95 0x5C in code page 932: its second byte is no separator.
    watched = folder.Path() + "\\\x95\x5C";
    ASSERT_TRUE(::CreateDirectoryA(watched.c_str(), nullptr));
    const std::string path = watched + "\\\x95\x5C.tbx";
    WriteBytes(path, Bytes { 1 });
    // The new file is made in the same folder under a name of its own, not glued to the 表.
    struct Watching : FileSystemWrapper {
        FileError Sync(Handle file) override
        {
            if (seenWhileWriting.empty())
                seenWhileWriting = AnsiNamesIn(watched), std::sort(seenWhileWriting.begin(), seenWhileWriting.end());
            return FileSystemWrapper::Sync(file);
        }
    } watching;
    document.SetFileSystem(watching);
    const std::string next = NextTemporaryNames(1).front();
    ASSERT_EQ(SaveAs(1, 0, path), Success);
    EXPECT_EQ(ReadBytes(path), As(version10));
    EXPECT_EQ(seenWhileWriting, (std::vector<std::string> { next, "\x95\x5C.tbx" }));
    EXPECT_EQ(AnsiNamesIn(watched), std::vector<std::string> { "\x95\x5C.tbx" });
    EXPECT_EQ(folder.Names().size(), 2u);
}
#endif
