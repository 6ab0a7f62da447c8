// POSIX back end of FileSystem. Every step works from the destination's handle and its folder's:
// new files are made without a name (O_TMPFILE) where the system can, given their name through
// /proc, and swapped into place with renameat2(RENAME_EXCHANGE), so that the save can check
// that the entry it replaced was the file it held.
#include "platform/file/FileSystemBackend.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace FileSystem {

namespace {
using Backend::Injected;

constexpr mode_t privateMode = 0600;
constexpr mode_t plainMode = 0666;
constexpr mode_t journalFolderMode = 0700;
const char journalFolderName[] = "kovrel/journals";
// renameat2's flags, which older C libraries do not name.
constexpr unsigned renameNoReplace = 1; // RENAME_NOREPLACE
constexpr unsigned renameExchange = 2;  // RENAME_EXCHANGE

FileErrorCause Failed(int error)
{
    return CauseFromErrno(error);
}

FileErrorCause FromErrno()
{
    return CauseFromErrno(errno);
}

int Fd(Handle handle)
{
    return static_cast<int>(handle);
}

std::string ProcPath(Handle file)
{
    return "/proc/self/fd/" + std::to_string(Fd(file));
}

bool CanLinkUnnamed()
{
    return ::access("/proc/self/fd", X_OK) == 0;
}

Identity IdentityOf(const struct stat& info)
{
    return { static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), 0 };
}

// The entry `name` in dirfd, not followed if a link, is the plain file with this identity.
bool EntryIsFile(int dirfd, const char* name, const Identity& id)
{
    struct stat info {};
    return ::fstatat(dirfd, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)
        && IdentityOf(info).volume == id.volume && IdentityOf(info).file == id.file;
}

// The birth time, where the file system keeps one.
std::uint64_t BirthOf(int dirfd, const char* name, int flags)
{
#ifdef STATX_BTIME
    struct statx info {};
    if (::statx(dirfd, name, flags, STATX_BTIME, &info) == 0 && (info.stx_mask & STATX_BTIME))
        return std::uint64_t(info.stx_btime.tv_sec) * 1000000000u + info.stx_btime.tv_nsec;
#endif
    return 0;
}

// The mount that an entry is on; 0 where the system does not say.
std::uint64_t MountOf(int dirfd, const char* name, int flags)
{
#ifdef STATX_MNT_ID
    struct statx info {};
    if (::statx(dirfd, name, flags, STATX_MNT_ID, &info) == 0 && (info.stx_mask & STATX_MNT_ID))
        return info.stx_mnt_id;
#endif
    return 0;
}

bool InGroup(gid_t group)
{
    if (group == ::getegid())
        return true;
    std::vector<gid_t> groups(static_cast<std::size_t>(NGROUPS_MAX));
    int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    for (int i = 0; i < count; ++i) {
        if (groups[static_cast<std::size_t>(i)] == group)
            return true;
    }
    return false;
}

// The new file can be given this owner and group: root, or the owner in that group.
bool CanGiveOwner(const struct stat& info)
{
    const uid_t user = ::geteuid();
    return user == 0 || (info.st_uid == user && InGroup(info.st_gid));
}

// renameat2 through its system call: older C libraries lack the wrapper.
int RenameAt2(int fromDir, const char* from, int toDir, const char* to, unsigned flags)
{
#ifdef SYS_renameat2
    return static_cast<int>(::syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
#else
    errno = ENOSYS;
    return -1;
#endif
}

// Links an unnamed file into dirfd under a fresh temporary name.
FileErrorCause LinkUnderTemporaryName(Handle file, int dirfd, std::string& name)
{
    const std::string self = ProcPath(file);
    int error = EEXIST;
    for (int attempt = 0; attempt < Backend::nameAttempts && error == EEXIST; ++attempt) {
        name = Backend::TemporaryName();
        error = ::linkat(AT_FDCWD, self.c_str(), dirfd, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    }
    if (error)
        name.clear();
    return Failed(error);
}

// A new file in dirfd: without a name where the system can, else under a fresh temporary name.
FileErrorCause MakeIn(int dirfd, mode_t mode, Handle& file, std::string& pending)
{
    pending.clear();
#ifdef O_TMPFILE
    if (CanLinkUnnamed()) {
        int fd = ::openat(dirfd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (fd >= 0) {
            file = fd;
            return FileErrorCause::None;
        }
        // Not every file system makes files without a name; a refusal is final.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return FromErrno();
    }
#endif
    int error = EEXIST;
    for (int attempt = 0; attempt < Backend::nameAttempts && error == EEXIST; ++attempt) {
        pending = Backend::TemporaryName();
        int fd = ::openat(dirfd, pending.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        error = fd >= 0 ? 0 : errno;
        if (fd >= 0)
            file = fd;
    }
    if (error)
        pending.clear();
    return Failed(error);
}

// Closes a new file, and removes the temporary name it had, if any.
void DiscardIn(int dirfd, Handle& file, std::string& pending)
{
    if (file != noHandle)
        ::close(Fd(file));
    file = noHandle;
    if (!pending.empty())
        ::unlinkat(dirfd, pending.c_str(), 0);
    pending.clear();
}

FileErrorCause SyncFolderOf(int dirfd)
{
    if (long injected = Injected(Step::Sync))
        return Failed(int(injected));
    // An O_PATH handle cannot be synced: the folder is opened for it. Some file systems cannot
    // sync a folder at all, which is no failure of the save.
    int fd = ::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return FileErrorCause::None;
    const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return Failed(error);
}

// The state folder of this user: XDG_STATE_HOME, else ~/.local/state.
std::string StateHome()
{
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
        return state;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const struct passwd* user = ::getpwuid(::geteuid());
        home = user ? user->pw_dir : nullptr;
    }
    return home ? std::string(home) + "/.local/state" : std::string();
}

// Makes every missing folder of path, each private to this user.
void MakeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), journalFolderMode);
    ::mkdir(path.c_str(), journalFolderMode);
}
}

FileErrorCause Examine(Handle file, Facts& facts)
{
    struct stat info {};
    if (::fstat(Fd(file), &info) != 0)
        return FromErrno();
    facts.id = IdentityOf(info);
    facts.id.birth = BirthOf(Fd(file), "", AT_EMPTY_PATH);
    facts.regular = S_ISREG(info.st_mode);
    facts.length = static_cast<std::uint64_t>(info.st_size);
    facts.links = static_cast<std::uint32_t>(info.st_nlink);
    facts.mine = info.st_uid == ::geteuid();
    // Extended attributes hold ACLs and security labels, which a new file would not have.
    facts.carriable = CanGiveOwner(info) && ::flistxattr(Fd(file), nullptr, 0) <= 0;
    return FileErrorCause::None;
}

FileErrorCause Lock(Handle file)
{
    if (::flock(Fd(file), LOCK_EX | LOCK_NB) == 0)
        return FileErrorCause::None;
    // Held by another file object: the sharing violation of Windows.
    return errno == EWOULDBLOCK ? FileErrorCause::SharingViolation : FromErrno();
}

FileErrorCause Duplicate(Handle file, Handle& copy)
{
    int fd = ::fcntl(Fd(file), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return FromErrno();
    copy = fd;
    return FileErrorCause::None;
}

FileErrorCause OpenForReading(Handle file, Handle& reader)
{
    // Opening the handle's own /proc entry checks this user's rights on that very file.
    int fd = ::open(ProcPath(file).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return FromErrno();
    reader = fd;
    return FileErrorCause::None;
}

FileErrorCause ReadAt(Handle file, std::uint64_t offset, void* buffer, std::size_t count, std::size_t& got)
{
    got = 0;
    if (long injected = Injected(Step::Read))
        return Failed(int(injected));
    while (got < count) {
        ssize_t result = ::pread(Fd(file), static_cast<char*>(buffer) + got, count - got, off_t(offset + got));
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0)
            return FromErrno();
        if (result == 0)
            break;
        got += static_cast<std::size_t>(result);
    }
    return FileErrorCause::None;
}

FileErrorCause WriteAt(Handle file, std::uint64_t offset, const void* buffer, std::size_t count)
{
    if (long injected = Injected(Step::Write))
        return Failed(int(injected));
    std::size_t done = 0;
    while (done < count) {
        ssize_t result
            = ::pwrite(Fd(file), static_cast<const char*>(buffer) + done, count - done, off_t(offset + done));
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0)
            return FromErrno();
        if (result == 0)
            return FileErrorCause::DiskFull;
        done += static_cast<std::size_t>(result);
    }
    return FileErrorCause::None;
}

FileErrorCause CutAt(Handle file, std::uint64_t length)
{
    if (long injected = Injected(Step::Cut))
        return Failed(int(injected));
    return ::ftruncate(Fd(file), off_t(length)) == 0 ? FileErrorCause::None : FromErrno();
}

FileErrorCause Position(Handle file, std::uint64_t& position)
{
    off_t at = ::lseek(Fd(file), 0, SEEK_CUR);
    if (at < 0)
        return FromErrno();
    position = static_cast<std::uint64_t>(at);
    return FileErrorCause::None;
}

FileErrorCause Rewind(Handle file)
{
    return ::lseek(Fd(file), 0, SEEK_SET) == 0 ? FileErrorCause::None : FromErrno();
}

FileErrorCause Sync(Handle file)
{
    if (long injected = Injected(Step::Sync))
        return Failed(int(injected));
    return FileBackend::Cause(FileBackend::Sync(file));
}

FileErrorCause CarryAttributes(Handle from, Handle to)
{
    struct stat old {};
    if (::fstat(Fd(from), &old) != 0)
        return FromErrno();
    // Owner first: a change of owner clears the set-id bits that the mode then gives back.
    if (::fchown(Fd(to), old.st_uid, old.st_gid) != 0 || ::fchmod(Fd(to), old.st_mode & 07777) != 0)
        return FromErrno();
    return FileErrorCause::None;
}

void Close(Handle& file)
{
    if (file != noHandle)
        ::close(Fd(file));
    file = noHandle;
}

Place::~Place()
{
    Close(folderHandle);
}

FileErrorCause Place::Open(const std::string& destination)
{
    path = destination;
    folder = FolderOf(path);
    name = FileNameOf(path);
    // A name that ends in a separator is a folder, which no save writes.
    if (name.empty())
        return FileErrorCause::AccessDenied;
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return FromErrno();
    folderHandle = fd;
    return FileErrorCause::None;
}

bool Place::NameIsFree() const
{
    struct stat info {};
    return ::fstatat(Fd(folderHandle), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

FileErrorCause Place::OpenLikePlainWrite(Handle& file, bool create) const
{
    // O_CREAT as a plain write passes it, so that protected_regular and protected_fifos apply;
    // no O_TRUNC: the old bytes stay until the save has kept them.
    const int creation = create ? O_CREAT : 0;
    int fd = ::openat(Fd(folderHandle), name.c_str(), O_WRONLY | creation | O_NOCTTY | O_CLOEXEC, plainMode);
    if (fd < 0)
        return FromErrno();
    struct stat info {};
    // Windows refuses to open a folder as a file: so do we.
    const int error = ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    if (error) {
        ::close(fd);
        return Failed(error);
    }
    file = fd;
    return FileErrorCause::None;
}

bool Place::NameHolds(const Identity& id) const
{
    if (!EntryIsFile(Fd(folderHandle), name.c_str(), id))
        return false;
    // A file mounted over the name cannot be renamed over.
    return MountOf(Fd(folderHandle), name.c_str(), AT_SYMLINK_NOFOLLOW) == MountOf(Fd(folderHandle), "", AT_EMPTY_PATH);
}

bool Place::HasRoomFor(std::uint64_t bytes) const
{
    struct statvfs volume {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &volume) != 0 || volume.f_frsize == 0)
        return true;
    return std::uint64_t(volume.f_bavail) >= (bytes + volume.f_frsize - 1) / volume.f_frsize;
}

FileErrorCause Place::MakeUnnamed(bool privateFile, Handle& file)
{
    // A plain create's mode passes the umask and the folder's default ACL, as O_TMPFILE does.
    return MakeIn(Fd(folderHandle), privateFile ? privateMode : plainMode, file, pending);
}

FileErrorCause Place::PublishNew(Handle& file)
{
    if (long injected = Injected(Step::Publish))
        return Failed(int(injected));
    int result;
    if (pending.empty()) {
        result = ::linkat(AT_FDCWD, ProcPath(file).c_str(), Fd(folderHandle), name.c_str(), AT_SYMLINK_FOLLOW);
    } else {
        result = RenameAt2(Fd(folderHandle), pending.c_str(), Fd(folderHandle), name.c_str(), renameNoReplace);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // No renameat2 here: a link fails on a taken name just as well.
            result = ::linkat(Fd(folderHandle), pending.c_str(), Fd(folderHandle), name.c_str(), 0);
            if (result == 0)
                ::unlinkat(Fd(folderHandle), pending.c_str(), 0);
        }
        if (result == 0)
            pending.clear();
    }
    return result == 0 ? FileErrorCause::None : FromErrno();
}

FileErrorCause Place::PublishOver(Handle& file, Handle&, const Identity& old)
{
    if (long injected = Injected(Step::Publish))
        return Failed(int(injected));
    const int dirfd = Fd(folderHandle);
    if (pending.empty()) {
        if (FileErrorCause cause = LinkUnderTemporaryName(file, dirfd, pending); cause != FileErrorCause::None)
            return cause;
    }
    // Swapped in one step; what comes out under the temporary name must be the file the save
    // held, or the two go back.
    if (RenameAt2(dirfd, pending.c_str(), dirfd, name.c_str(), renameExchange) == 0) {
        if (EntryIsFile(dirfd, pending.c_str(), old)) {
            ::unlinkat(dirfd, pending.c_str(), 0);
            pending.clear();
            return FileErrorCause::None;
        }
        RenameAt2(dirfd, pending.c_str(), dirfd, name.c_str(), renameExchange);
        return FileErrorCause::SharingViolation;
    }
    if (errno != EINVAL && errno != ENOSYS)
        return FromErrno();
    // No exchange on this file system: the entry is checked just before the rename.
    if (!NameHolds(old))
        return FileErrorCause::SharingViolation;
    if (::renameat(dirfd, pending.c_str(), dirfd, name.c_str()) != 0)
        return FromErrno();
    pending.clear();
    return FileErrorCause::None;
}

FileErrorCause Place::SyncFolder() const
{
    return SyncFolderOf(Fd(folderHandle));
}

void Place::Discard(Handle& file)
{
    DiscardIn(Fd(folderHandle), file, pending);
}

JournalFolder::~JournalFolder()
{
    Close(folderHandle);
}

std::string JournalFolder::Location()
{
    const std::string state = StateHome();
    return state.empty() ? std::string() : state + "/" + journalFolderName;
}

FileErrorCause JournalFolder::Open(bool create)
{
    path = Location();
    if (path.empty())
        return FileErrorCause::FileNotFound;
    if (create)
        MakeFolders(path);
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return FromErrno();
    folderHandle = fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return FromErrno();
    if (info.st_uid != ::geteuid())
        return FileErrorCause::AccessDenied;
    // Our own folder, opened to others by hand: closed again.
    if ((info.st_mode & 077) != 0 && ::fchmod(fd, journalFolderMode) != 0)
        return FromErrno();
    return FileErrorCause::None;
}

FileErrorCause JournalFolder::OpenJournal(const std::string& name, Handle& file) const
{
    int fd = ::openat(Fd(folderHandle), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ELOOP ? FileErrorCause::AccessDenied : FromErrno();
    file = fd;
    return FileErrorCause::None;
}

FileErrorCause JournalFolder::MakeUnnamed(Handle& file)
{
    return MakeIn(Fd(folderHandle), privateMode, file, pending);
}

FileErrorCause JournalFolder::Publish(Handle& file, const std::string& name)
{
    if (long injected = Injected(Step::Publish))
        return Failed(int(injected));
    const int dirfd = Fd(folderHandle);
    // Straight under its name where none is taken, so that a kill leaves no other name behind.
    bool placed
        = pending.empty() && ::linkat(AT_FDCWD, ProcPath(file).c_str(), dirfd, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    if (!placed && pending.empty()) {
        if (FileErrorCause cause = LinkUnderTemporaryName(file, dirfd, pending); cause != FileErrorCause::None)
            return cause;
    }
    if (!placed && ::renameat(dirfd, pending.c_str(), dirfd, name.c_str()) != 0)
        return FromErrno();
    pending.clear();
    // A journal is only published once its name is on the disk too.
    FileErrorCause synced = SyncFolderOf(dirfd);
    if (synced != FileErrorCause::None)
        ::unlinkat(dirfd, name.c_str(), 0);
    return synced;
}

FileErrorCause JournalFolder::Remove(const std::string& name)
{
    if (long injected = Injected(Step::Remove))
        return Failed(int(injected));
    if (::unlinkat(Fd(folderHandle), name.c_str(), 0) != 0)
        return FromErrno();
    return SyncFolderOf(Fd(folderHandle));
}

void JournalFolder::Discard(Handle& file)
{
    DiscardIn(Fd(folderHandle), file, pending);
}

std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}
