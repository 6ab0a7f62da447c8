// A save keeps the old content until the new one is complete, goes wherever a plain write goes
// and loses nothing that hangs on the destination. Run as root and as nobody (ctest's _as_user).
#include "DocumentTestSupport.h"

#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

// An owner or mode given by path could reach a file swapped in meanwhile: none may be.
static int changesByPath = 0;
extern "C" int chmod(const char*, mode_t) noexcept { return ++changesByPath, errno = EPERM, -1; }
extern "C" int fchmodat(int, const char*, mode_t, int) noexcept { return ++changesByPath, errno = EPERM, -1; }
extern "C" int chown(const char*, uid_t, gid_t) noexcept { return ++changesByPath, errno = EPERM, -1; }
extern "C" int fchownat(int, const char*, uid_t, gid_t, int) noexcept { return ++changesByPath, errno = EPERM, -1; }

static struct stat Info(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}
#endif

namespace fs = std::filesystem;

namespace {

// A 1.2 file with `entries` strings of `length` bytes: a save as 1.2 writes it back unchanged.
Bytes SourceBytes(std::size_t entries, std::size_t length)
{
    TabrixFields file = Sample();
    file.listA = std::vector<std::string>(entries, std::string(length, 'x'));
    return NewLayout(file, version12);
}

// Fails its write number failAt with a full disk; notes whether another program could read the new file.
class Document : public ProbedDocument {
public:
    using ProbedDocument::ProbedDocument;
    void Write(const void* buffer, std::size_t count) override
    {
        if (writes == 0) {
#ifdef _WIN32
            HANDLE other = ::CreateFileA(GetFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                OPEN_EXISTING, 0, nullptr);
            openToOthers = other != INVALID_HANDLE_VALUE;
            ::CloseHandle(other);
#else
            struct stat info {};
            openToOthers = ::fstat(int(GetHandle()), &info) != 0 || (info.st_mode & 077) != 0;
#endif
        }
        ProbedDocument::Write(buffer, count);
    }
    bool openToOthers = true;
};

class SafeSave : public ::testing::Test {
protected:
    void SetUp() override { Load(3, 10); }

    void Load(std::size_t entries, std::size_t length)
    {
        newBytes = SourceBytes(entries, length);
        LoadFrom(document, Path("s.tbx"), newBytes);
        document.SetTargetVersion(1, 2);
        document.cause = FileErrorCause::DiskFull;
    }

    ConvStatus SaveTo(const std::string& path)
    {
        document.writes = 0;
        return ::SaveTo(document, path);
    }

    // Writes a file with this mode and owner (POSIX), without any change by path.
    static void Put(const std::string& path, const Bytes& bytes, unsigned mode = 0644, unsigned owner = ~0u)
    {
        ASSERT_TRUE(WriteBytes(path, bytes)) << path;
#ifndef _WIN32
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_EQ(::fchown(fd, owner, owner), 0);
        EXPECT_EQ(::fchmod(fd, mode), 0);
        ::close(fd);
#endif
    }

    std::string Path(const std::string& name) const { return folder.File(name); }
    std::vector<std::string> Names(const std::string& name = ".") const { return NamesIn(Path(name)); }

    ScratchFolder folder;
    Bytes newBytes;
    const Bytes oldBytes = Bytes(3000, 'o');
    Document document { "" };
};

}

TEST_F(SafeSave, FailedWriteInPlaceLeavesTheOldBytesOnEveryName)
{
    // A second name makes the save rewrite the file in place.
    Put(Path("d.tbx"), oldBytes);
    fs::create_hard_link(Path("d.tbx"), Path("e.tbx"));
    ASSERT_EQ(SaveTo(Path("count.tbx")), Success);
    const int total = document.writes;
    for (document.failAt = 1; document.failAt <= total; ++document.failAt) {
        EXPECT_EQ(SaveTo(Path("d.tbx")), DiskFull) << document.failAt;
        EXPECT_EQ(ReadBytes(Path("d.tbx")), oldBytes) << document.failAt;
        EXPECT_EQ(ReadBytes(Path("e.tbx")), oldBytes) << document.failAt;
        EXPECT_EQ(Names(), (std::vector<std::string> { "count.tbx", "d.tbx", "e.tbx", "s.tbx" }));
        EXPECT_TRUE(FileSystem::LeftoverBackup(Path("d.tbx")).empty());
    }
    document.failAt = 0;
    ASSERT_EQ(SaveTo(Path("d.tbx")), Success);
    EXPECT_EQ(ReadBytes(Path("e.tbx")), newBytes);
}

TEST_F(SafeSave, BackupOfACrashedSaveIsTakenByTheNextSaveOfItsDestination)
{
    // A save killed while rewriting d.tbx left it cut short and its old bytes in the backup.
    for (int failAt : { 2, 0 }) {
        Put(Path("d.tbx"), Bytes(10, 'h'));
        Put(Path("d.tbx.kovrel-backup"), oldBytes, 0600);
        document.failAt = failAt;
        EXPECT_EQ(SaveTo(Path("d.tbx")), failAt ? DiskFull : Success);
        EXPECT_EQ(ReadBytes(Path("d.tbx")), failAt ? oldBytes : newBytes);
        EXPECT_EQ(Names(), (std::vector<std::string> { "d.tbx", "s.tbx" }));
    }
}

TEST_F(SafeSave, FailedReplaceStepGivesTheDestinationItsOldBytes)
{
    Put(Path("d.tbx"), oldBytes);
#ifdef _WIN32
    FileSystem::SetReplaceStep([](const char* destination, const char*, const char* backup) -> long {
        // What ReplaceFileA leaves on this error: the old file under the backup name only.
        ::MoveFileA(destination, backup);
        return ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
    });
#else
    FileSystem::SetReplaceStep([](const char*, const char*, const char*) -> long { return EXDEV; });
#endif
    const ConvStatus status = SaveTo(Path("d.tbx"));
    FileSystem::SetReplaceStep(nullptr);
    EXPECT_TRUE(IsErrorStatus(status)) << status;
    EXPECT_EQ(ReadBytes(Path("d.tbx")), oldBytes);
    EXPECT_EQ(Names(), (std::vector<std::string> { "d.tbx", "s.tbx" }));
}

TEST_F(SafeSave, NewFileIsOpenToNoOneElseWhileItIsWritten)
{
    Put(Path("old.tbx"), oldBytes, 0640);
    for (const char* name : { "new.tbx", "old.tbx" }) {
        document.openToOthers = true;
        ASSERT_EQ(SaveTo(Path(name)), Success);
        EXPECT_FALSE(document.openToOthers) << name;
    }
#ifndef _WIN32
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(Info(Path("new.tbx")).st_mode & 07777, 0666u & ~mask) << "as a plain write creates it";
    EXPECT_EQ(Info(Path("old.tbx")).st_mode & 07777, 0640u);
    EXPECT_EQ(changesByPath, 0);
#endif
}

#ifndef _WIN32
TEST_F(SafeSave, OtherNamesAttributesAndModeStay)
{
    Put(Path("linked.tbx"), oldBytes);
    fs::create_hard_link(Path("linked.tbx"), Path("other.tbx"));
    Put(Path("private.tbx"), oldBytes, 0600);
    Put(Path("labelled.tbx"), oldBytes, 0640);
    ASSERT_EQ(::setxattr(Path("labelled.tbx").c_str(), "user.kovrel", "kept", 4, 0), 0);
    for (const char* name : { "linked.tbx", "private.tbx", "labelled.tbx" }) {
        ASSERT_EQ(SaveTo(Path(name)), Success) << name;
        EXPECT_EQ(ReadBytes(Path(name)), newBytes) << name;
    }
    EXPECT_EQ(ReadBytes(Path("other.tbx")), newBytes);
    EXPECT_TRUE(fs::equivalent(Path("linked.tbx"), Path("other.tbx")));
    char value[8] = {};
    EXPECT_EQ(::getxattr(Path("labelled.tbx").c_str(), "user.kovrel", value, sizeof value), 4) << value;
    EXPECT_EQ(Info(Path("private.tbx")).st_mode & 07777, 0600u);
    EXPECT_EQ(Names(), (std::vector<std::string> { "labelled.tbx", "linked.tbx", "other.tbx", "private.tbx", "s.tbx" }));
    EXPECT_EQ(changesByPath, 0);
}

TEST_F(SafeSave, DanglingLinkGetsTheFileItNames)
{
    fs::create_directory(Path("real"));
    fs::create_symlink("real/t.tbx", Path("link.tbx"));
    ASSERT_EQ(SaveTo(Path("link.tbx")), Success);
    EXPECT_TRUE(fs::is_symlink(Path("link.tbx")));
    EXPECT_EQ(ReadBytes(Path("real/t.tbx")), newBytes);
    EXPECT_EQ(Names("real"), std::vector<std::string> { "t.tbx" });
}

TEST_F(SafeSave, KilledSaveLeavesTheOldOrTheNewFileAndNothingBeside)
{
    Load(20000, 250); // some megabytes
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(SaveTo(Path("d.tbx")), Success);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    std::mt19937 random(std::random_device {}());
    int outcomes[2] = {}, linkedOnly = 0;
    for (int run = 0; run < 100; ++run) {
        Put(Path("d.tbx"), oldBytes);
        pid_t child = ::fork();
        if (child == 0)
            ::_exit(SaveTo(Path("d.tbx")));
        ::usleep(std::uniform_int_distribution<useconds_t>(0, useconds_t(took.count() * 3))(random));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const Bytes left = ReadBytes(Path("d.tbx"));
        ASSERT_TRUE(left == oldBytes || left == newBytes) << "run " << run << ": " << left.size() << " bytes";
        ++outcomes[left == newBytes];
        std::vector<std::string> names = Names();
        // A kill between linking the complete new file beside the destination and renaming it.
        if (names.size() == 3 && left == oldBytes && ReadBytes(Path(names[2])) == newBytes && fs::remove(Path(names[2])))
            names.pop_back(), ++linkedOnly;
        ASSERT_EQ(names, (std::vector<std::string> { "d.tbx", "s.tbx" })) << run;
    }
    EXPECT_GT(outcomes[0], 0) << "no save was killed before it ended";
    EXPECT_GT(outcomes[1], 0) << "every save was killed";
}

constexpr unsigned nobody = 65534;

// Cases that a plain write completes, with another user's files: root only.
class AsAnotherUser : public SafeSave {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "only root can make other users' files and volumes";
        SafeSave::SetUp();
    }

    // The save, run by nobody in a child: its status.
    int SaveAsNobody(const std::string& path)
    {
        pid_t child = ::fork();
        if (child == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 || ::setresuid(nobody, nobody, nobody) != 0)
                ::_exit(100);
            ::_exit(SaveTo(path));
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void ExpectNewBytesAndOwner(const std::string& path, unsigned owner)
    {
        EXPECT_EQ(ReadBytes(path), newBytes) << path;
        EXPECT_EQ(Info(path).st_uid, owner) << path;
        EXPECT_TRUE(FileSystem::LeftoverBackup(path).empty());
    }

    static bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }
};

TEST_F(AsAnotherUser, WritableFileInAFolderTheUserCannotWriteOrInAStickyOne)
{
    fs::create_directory(Path("sticky"));
    int fd = ::open(Path("sticky").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::fchmod(fd, 01777), 0);
    ::close(fd);
    for (auto [name, owner] : { std::pair { "d.tbx", 0u }, std::pair { "own.tbx", nobody }, std::pair { "sticky/d.tbx", 4321u } }) {
        Put(Path(name), oldBytes, 0666, owner);
        EXPECT_EQ(SaveAsNobody(Path(name)), Success) << name;
        ExpectNewBytesAndOwner(Path(name), owner);
    }
    EXPECT_EQ(Names("sticky"), std::vector<std::string> { "d.tbx" });
}

TEST_F(AsAnotherUser, BindMountedDestination)
{
    Put(Path("d.tbx"), oldBytes);
    Put(Path("mounted.tbx"), Bytes(5, 'm'));
    if (!Run("mount --bind '" + Path("mounted.tbx") + "' '" + Path("d.tbx") + "' 2>/dev/null"))
        GTEST_SKIP() << "bind mounts are refused here";
    EXPECT_EQ(SaveTo(Path("d.tbx")), Success);
    EXPECT_EQ(ReadBytes(Path("mounted.tbx")), newBytes);
    ExpectNewBytesAndOwner(Path("d.tbx"), 0);
    EXPECT_TRUE(Run("umount '" + Path("d.tbx") + "'"));
}

TEST_F(AsAnotherUser, VolumeWithRoomForTheNewFileOnlyInPlaceOfTheOld)
{
    Load(20, 200); // two pages of the volume, as is the old file
    fs::create_directory(Path("volume"));
    if (!Run("mount -t tmpfs -o size=16k tmpfs '" + Path("volume") + "' 2>/dev/null"))
        GTEST_SKIP() << "mounting a tmpfs was refused";
    Put(Path("volume/d.tbx"), Bytes(8000, 'o'));
    Put(Path("volume/filler"), Bytes(8192, 'f')); // the volume is full
    EXPECT_EQ(SaveTo(Path("volume/d.tbx")), Success);
    ExpectNewBytesAndOwner(Path("volume/d.tbx"), 0);
    EXPECT_TRUE(Run("umount '" + Path("volume") + "'"));
}
#endif
