// The POSIX file system. Every step of a save works from the destination's handle and its folder's:
// new files are made without a name (O_TMPFILE) where the system can, given their name through
// /proc, and swapped into place with renameat2(RENAME_EXCHANGE), so that the save can check that
// the entry it replaced was the file it held.
//
// CFile's sharing is emulated with flock(2): a file opened for reading holds a shared lock, one
// opened for writing an exclusive lock, both taken without waiting. The locks are advisory, so
// programs that take none are not kept out, and two writers exclude each other although the write
// sharing would let them both in.
#include "platform/file/CFile.h"
#include "platform/file/FileSystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

using Handle = FileSystem::Handle;

constexpr mode_t privateMode = 0600;
constexpr mode_t plainMode = 0666;
constexpr mode_t journalFolderMode = 0700;
const char journalFolderName[] = "kovrel/journals";
// A big write goes out in pieces, each handed to the disk at once: the sync at the end of a save
// then waits for the last piece only.
constexpr std::size_t writeBackPiece = 4 * 1024 * 1024;
// The file systems whose f_fsid is made from their UUID: ext2, ext3 and ext4; btrfs.
constexpr long uuidDerivedFsids[] = { 0xEF53, 0x9123683E };
// The ioctl that gives a file system's UUID (Linux 6.5), which older headers do not name.
struct FsUuid {
    unsigned char length;
    unsigned char uuid[16];
};
constexpr unsigned long getFsUuid = _IOR(0x15, 0, FsUuid);
// renameat2's flags, which older C libraries do not name.
constexpr unsigned renameNoReplace = 1; // RENAME_NOREPLACE
constexpr unsigned renameExchange = 2;  // RENAME_EXCHANGE

FileError Errno(int error = errno)
{
    return { CauseFromErrno(error), error };
}

FileError Decided(FileErrorCause cause)
{
    return { cause, -1 };
}

int Fd(Handle handle)
{
    return static_cast<int>(handle);
}

std::string ProcPath(Handle file)
{
    return "/proc/self/fd/" + std::to_string(Fd(file));
}

// What statx says of an entry (flags AT_SYMLINK_NOFOLLOW) or of the handle itself (AT_EMPTY_PATH).
bool StatOf(int dirfd, const char* name, int flags, struct statx& info)
{
    const unsigned wanted = STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_UID | STATX_GID | STATX_INO | STATX_SIZE
        | STATX_BTIME | STATX_MNT_ID;
    return ::statx(dirfd, name, flags, wanted, &info) == 0;
}

Identity IdentityOf(const struct statx& info)
{
    // The device as stat(2) gives it, which the names of journals already written are made of.
    const std::uint64_t device = makedev(info.stx_dev_major, info.stx_dev_minor);
    const std::uint64_t birth = (info.stx_mask & STATX_BTIME)
        ? std::uint64_t(info.stx_btime.tv_sec) * 1000000000u + info.stx_btime.tv_nsec
        : 0;
    return { device, info.stx_ino, birth, 0, 0, {} };
}

// What the volume of fd keeps of its own name across a remount.
VolumeId VolumeIdOf(int fd, std::uint64_t device)
{
    FsUuid uuid {};
    std::uint64_t halves[2] = {};
    if (::ioctl(fd, getFsUuid, &uuid) == 0 && uuid.length == sizeof uuid.uuid) {
        std::memcpy(halves, uuid.uuid, sizeof halves);
        return { VolumeId::Kind::Uuid, halves[0], halves[1] };
    }
    struct statfs volume {};
    if (::fstatfs(fd, &volume) == 0) {
        for (long type : uuidDerivedFsids) {
            if (volume.f_type == type) {
                std::memcpy(halves, &volume.f_fsid, sizeof volume.f_fsid);
                return { VolumeId::Kind::DerivedFromUuid, 0, halves[0] };
            }
        }
    }
    return { VolumeId::Kind::Device, 0, device };
}

// The attribute flags a new file is given (chattr +A, +S, +d): any other, a file that is rewritten
// in place keeps.
constexpr int carriedFlags = FS_NOATIME_FL | FS_SYNC_FL | FS_NODUMP_FL;
// The attribute flags that chattr shows (0 where the file system keeps none).
int FlagsOf(int fd)
{
    int flags = 0;
    return ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 ? flags & FS_FL_USER_VISIBLE : 0;
}

bool InGroup(gid_t group)
{
    if (group == ::getegid())
        return true;
    std::vector<gid_t> groups(static_cast<std::size_t>(NGROUPS_MAX));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    for (int i = 0; i < count; ++i) {
        if (groups[static_cast<std::size_t>(i)] == group)
            return true;
    }
    return false;
}

// What fstat says of an opened name, and EISDIR for a folder: Windows refuses to open a folder as
// a file, and so do we.
int FolderRefused(int fd, struct stat& info)
{
    return ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
}

// renameat2 through its system call: older C libraries lack the wrapper.
int RenameAt2(int dirfd, const char* from, const char* to, unsigned flags)
{
    return static_cast<int>(::syscall(SYS_renameat2, dirfd, from, dirfd, to, flags));
}

// The renameat2 flag is not known to this system or file system.
bool Unsupported()
{
    return errno == EINVAL || errno == ENOSYS;
}

// The state folder of this user: XDG_STATE_HOME, else ~/.local/state of a home that is this user's
// own: a HOME that another user owns or that is missing (one inherited across sudo, a service's)
// gives way to the home in the password database.
std::string StateHome()
{
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
        return state;
    const char* home = std::getenv("HOME");
    struct stat info {};
    if (!home || home[0] != '/' || ::stat(home, &info) != 0 || info.st_uid != ::geteuid()) {
        const struct passwd* user = ::getpwuid(::geteuid());
        home = user ? user->pw_dir : nullptr;
    }
    return home ? std::string(home) + "/.local/state" : std::string();
}

// A folder that only this user and root control: owned by one of them, and writable by no one
// else, but where a sticky bit keeps everyone else from moving what is ours.
bool Controlled(const struct stat& info)
{
    const bool owner = info.st_uid == ::geteuid() || info.st_uid == 0;
    return S_ISDIR(info.st_mode) && owner && ((info.st_mode & 022) == 0 || (info.st_mode & S_ISVTX));
}

// Storage that a reboot empties: tmpfs, ramfs.
bool Volatile(int fd)
{
    struct statfs volume {};
    return ::fstatfs(fd, &volume) == 0 && (volume.f_type == 0x01021994 || volume.f_type == 0x858458F6);
}

// path with the links of its longest part that exists resolved.
std::string Resolved(const std::string& path)
{
    std::string head = path, tail;
    while (!head.empty()) {
        if (char* real = ::realpath(head.c_str(), nullptr)) {
            const std::string resolved = std::string(real) == "/" ? "" : real;
            std::free(real);
            return resolved + tail;
        }
        const std::size_t slash = head.rfind('/');
        if (errno != ENOENT || slash == std::string::npos)
            break;
        tail = head.substr(slash) + tail, head = head.substr(0, slash);
    }
    return path;
}

// Opens path from the root down, each folder on the way one that only this user and root control
// and none of them a link; with create, makes what is missing, private to this user, but only in
// folders of this user's own, each put on the disk with its name (a journal in a folder whose name
// a power cut takes would be lost with it). The folder, for reading; -1 with errno.
int OpenControlled(const std::string& path, Creation creation)
{
    int fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    const std::string real = Resolved(path);
    for (std::size_t at = 1; fd >= 0 && at <= real.size();) {
        const std::size_t end = std::min(real.find('/', at), real.size());
        const std::string name = real.substr(at, end - at);
        at = end + 1;
        if (name.empty())
            continue;
        struct stat parent {};
        int next = ::openat(fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT && creation == Creation::CreateMissing && ::fstat(fd, &parent) == 0
            && parent.st_uid == ::geteuid() && ::mkdirat(fd, name.c_str(), journalFolderMode) == 0) {
            const int synced = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::fsync(synced);
            ::close(synced);
            next = ::openat(fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        const int error = next < 0 ? errno : 0;
        ::close(fd);
        fd = next;
        struct stat info {};
        if (fd >= 0 && (::fstat(fd, &info) != 0 || !Controlled(info))) {
            ::close(fd);
            fd = -1, errno = EACCES;
        } else if (fd < 0) {
            errno = error == ELOOP ? EACCES : error;
        }
    }
    if (fd < 0)
        return -1;
    const int opened = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    return opened;
}

class PosixFileSystem final : public FileSystem {
public:
    Promises Provides() const override { return { true, true, true, true }; }

    FileError Open(const std::string& path, unsigned flags, Handle& file) override
    {
        const unsigned access = flags & CFile::accessMask;
        int mode = access == CFile::modeRead ? O_RDONLY : access == CFile::modeWrite ? O_WRONLY : O_RDWR;
        // O_CREAT as a plain write passes it, so that the system's rules for sticky folders apply;
        // the cut waits for the lock.
        if (flags & CFile::modeCreate)
            mode |= O_CREAT;
        const int fd = ::open(path.c_str(), mode | O_CLOEXEC, plainMode);
        if (fd < 0)
            return Errno();
        struct stat info {};
        int error = FolderRefused(fd, info);
        if (!error && (flags & CFile::shareMask) != CFile::shareDenyNone
            && ::flock(fd, (access == CFile::modeRead ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0)
            error = errno == EWOULDBLOCK ? EBUSY : errno; // held by another file object: a sharing violation
        // Cut only once the lock is ours, so that a refused open leaves the file alone.
        if (!error && (flags & CFile::modeCreate) && S_ISREG(info.st_mode) && info.st_size != 0
            && ::ftruncate(fd, 0) != 0)
            error = errno;
        if (error) {
            ::close(fd);
            return Errno(error);
        }
        file = fd;
        return {};
    }

    FileError Read(Handle file, void* buffer, std::size_t count, std::size_t& got) override
    {
        for (got = 0; got < count;) {
            const ssize_t result = ::read(Fd(file), static_cast<char*>(buffer) + got, count - got);
            if (result < 0 && errno == EINTR)
                continue;
            if (result < 0)
                return Errno();
            if (result == 0)
                break;
            got += static_cast<std::size_t>(result);
        }
        return {};
    }

    FileError Write(Handle file, const void* buffer, std::size_t count) override
    {
        const bool piecewise = count > writeBackPiece;
        for (std::size_t done = 0; done < count;) {
            const std::size_t piece = piecewise && count - done > writeBackPiece ? writeBackPiece : count - done;
            const ssize_t result = ::write(Fd(file), static_cast<const char*>(buffer) + done, piece);
            if (result < 0 && errno == EINTR)
                continue;
            if (result < 0)
                return Errno();
            if (result == 0)
                return Decided(FileErrorCause::DiskFull);
            done += static_cast<std::size_t>(result);
            if (piecewise)
                ::sync_file_range(Fd(file), 0, 0, SYNC_FILE_RANGE_WRITE); // only starts the write-back
        }
        return {};
    }

    FileError Seek(Handle file, std::uint64_t offset) override
    {
        return ::lseek(Fd(file), off_t(offset), SEEK_SET) < 0 ? Errno() : FileError {};
    }

    FileError CutAtPosition(Handle file) override
    {
        const off_t here = ::lseek(Fd(file), 0, SEEK_CUR);
        return here < 0 || ::ftruncate(Fd(file), here) != 0 ? Errno() : FileError {};
    }

    FileError Sync(Handle file) override
    {
        // A pipe or a device has nothing to put on a disk: EINVAL says just that.
        return ::fsync(Fd(file)) != 0 && errno != EINVAL ? Errno() : FileError {};
    }

    FileError Examine(Handle file, FileInfo& info) override
    {
        struct statx found {};
        if (!StatOf(Fd(file), "", AT_EMPTY_PATH, found))
            return Errno();
        info.id = IdentityOf(found);
        int generation = 0;
        if (::ioctl(Fd(file), FS_IOC_GETVERSION, &generation) == 0)
            info.id.generation = static_cast<std::uint32_t>(generation);
        info.id.volumeId = VolumeIdOf(Fd(file), info.id.volume);
        info.regular = S_ISREG(found.stx_mode);
        info.length = found.stx_size;
        info.links = found.stx_nlink;
        info.mine = found.stx_uid == ::geteuid();
        // The new file can be given this owner and group (root, or the owner in that group), no
        // extended attribute holds an ACL or label that it would lack, and it can carry every
        // attribute flag the file has.
        const uid_t user = ::geteuid();
        info.recreatable = (user == 0 || (found.stx_uid == user && InGroup(found.stx_gid)))
            && ::flistxattr(Fd(file), nullptr, 0) <= 0 && (FlagsOf(Fd(file)) & ~carriedFlags) == 0;
        return {};
    }

    FileError Lock(Handle file) override
    {
        if (::flock(Fd(file), LOCK_EX | LOCK_NB) == 0)
            return {};
        // Held by another file object: the sharing violation of Windows.
        return errno == EWOULDBLOCK ? FileError { FileErrorCause::SharingViolation, errno } : Errno();
    }

    FileError OpenForReading(Handle file, Handle& reader) override
    {
        // Opening the handle's own /proc entry checks this user's rights on that very file.
        const int fd = ::open(ProcPath(file).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return Errno();
        reader = fd;
        return {};
    }

    FileError CarryAttributes(Handle from, Handle to) override
    {
        struct stat old {};
        if (::fstat(Fd(from), &old) != 0)
            return Errno();
        // A write by anyone but root clears the set-user-id bit, and the set-group-id bit of a
        // file its group may run, as a plain write would.
        mode_t mode = old.st_mode & 07777;
        if (::geteuid() != 0)
            mode &= ~mode_t(S_ISUID | ((mode & S_IXGRP) ? S_ISGID : 0));
        // Owner first: a change of owner clears the set-id bits that the mode then gives back.
        if (::fchown(Fd(to), old.st_uid, old.st_gid) != 0 || ::fchmod(Fd(to), mode) != 0)
            return Errno();
        const int flags = FlagsOf(Fd(from));
        int fresh = 0;
        if (flags == 0)
            return {};
        if (::ioctl(Fd(to), FS_IOC_GETFLAGS, &fresh) != 0)
            return Errno();
        fresh |= flags;
        return ::ioctl(Fd(to), FS_IOC_SETFLAGS, &fresh) != 0 ? Errno() : FileError {};
    }

    FileError Close(Handle file) override
    {
        // The lock goes with the descriptor.
        return ::close(Fd(file)) != 0 && errno != EINTR ? Errno() : FileError {};
    }

    FileError OpenFolder(const std::string& path, HeldFolder& folder) override
    {
        folder.path = FolderOf(path);
        const int fd = ::open(folder.path.empty() ? "." : folder.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return Errno();
        folder.handle = fd;
        return {};
    }

    FileError OpenJournalFolder(Creation creation, HeldFolder& folder) override
    {
        const std::string path = JournalFolderPath();
        if (path.empty())
            return Decided(FileErrorCause::FileNotFound);
        const int fd = OpenControlled(path, creation);
        if (fd < 0)
            return Errno();
        folder.handle = fd;
        folder.path = path + "/";
        struct stat info {};
        if (::fstat(fd, &info) != 0)
            return Errno();
        // Ours alone, on storage that outlives a reboot.
        if (info.st_uid != ::geteuid() || Volatile(fd))
            return Decided(FileErrorCause::AccessDenied);
        // Our own folder, opened to others by hand: closed again.
        if ((info.st_mode & 077) != 0 && ::fchmod(fd, journalFolderMode) != 0)
            return Errno();
        return {};
    }

    std::string JournalFolderPath() override
    {
        const std::string state = StateHome();
        return state.empty() ? std::string() : state + "/" + journalFolderName;
    }

    Entry Look(const HeldFolder& folder, const std::string& name) override
    {
        struct statx found {
        }, self {};
        Entry entry;
        if (!StatOf(Fd(folder.handle), name.c_str(), AT_SYMLINK_NOFOLLOW, found)) {
            entry.kind = errno == ENOENT ? Entry::Kind::None : Entry::Kind::Other;
            return entry;
        }
        // A file mounted over the name cannot be renamed over.
        const bool mounted = StatOf(Fd(folder.handle), "", AT_EMPTY_PATH, self) && (found.stx_mask & STATX_MNT_ID)
            && found.stx_mnt_id != self.stx_mnt_id;
        entry.kind = S_ISREG(found.stx_mode) && !mounted ? Entry::Kind::File : Entry::Kind::Other;
        entry.id = IdentityOf(found);
        return entry;
    }

    Entry LookThrough(const HeldFolder& folder, const std::string& name) override
    {
        struct statx found {};
        Entry entry;
        if (!StatOf(Fd(folder.handle), name.c_str(), 0, found))
            entry.kind = errno == ENOENT ? Entry::Kind::None : Entry::Kind::Other;
        else
            entry = { S_ISREG(found.stx_mode) ? Entry::Kind::File : Entry::Kind::Other, IdentityOf(found) };
        return entry;
    }

    FileError OpenLikePlainWrite(const HeldFolder& folder, const std::string& name, Creation creation,
        Handle& file) override
    {
        // O_CREAT as a plain write passes it, so that protected_regular and protected_fifos apply;
        // no O_TRUNC: the old bytes stay until the save has kept them.
        const int create = creation == Creation::CreateMissing ? O_CREAT : 0;
        const int fd = ::openat(Fd(folder.handle), name.c_str(), O_WRONLY | create | O_NOCTTY | O_CLOEXEC, plainMode);
        if (fd < 0)
            return Errno();
        struct stat info {};
        if (const int error = FolderRefused(fd, info)) {
            ::close(fd);
            return Errno(error);
        }
        file = fd;
        return {};
    }

    FileError OpenNamed(const HeldFolder& folder, const std::string& name, Handle& file) override
    {
        const int fd
            = ::openat(Fd(folder.handle), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return errno == ELOOP ? Decided(FileErrorCause::AccessDenied) : Errno();
        file = fd;
        return {};
    }

    FileError MakeUnnamed(const HeldFolder& folder, Visibility visibility, UnnamedFile& file) override
    {
        // A plain create's mode passes the umask and the folder's default ACL, as O_TMPFILE does.
        const mode_t mode = visibility == Visibility::Private ? privateMode : plainMode;
        file.temporaryName.clear();
        if (::access("/proc/self/fd", X_OK) == 0) {
            const int fd = ::openat(Fd(folder.handle), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            if (fd >= 0) {
                file.handle = fd;
                return {};
            }
            // Not every file system makes files without a name; a refusal is final.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
                return Errno();
        }
        return UnderTemporaryName(file, [&](const char* name) {
            const int fd
                = ::openat(Fd(folder.handle), name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (fd >= 0)
                file.handle = fd;
            return fd >= 0;
        });
    }

    FileError MakeTemporary(UnnamedFile& file) override
    {
        const char* folder = std::getenv("TMPDIR");
        const std::string path = folder && folder[0] == '/' ? folder : "/tmp";
        int fd = ::open(path.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, privateMode);
        // Where the file system makes no file without a name, one goes as soon as it is made.
        if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
            std::string name = path + "/kovrel-XXXXXX";
            fd = ::mkostemp(name.data(), O_CLOEXEC);
            if (fd >= 0)
                ::unlink(name.c_str());
        }
        if (fd < 0)
            return Errno();
        file.handle = fd;
        return {};
    }

    FileError Publish(const HeldFolder& folder, UnnamedFile& file, const std::string& name, Publishing how,
        const Identity& replaced) override
    {
        const int dirfd = Fd(folder.handle);
        const bool unnamed = file.temporaryName.empty();
        // Straight under its name where it may only take a free one, or where none is taken, so
        // that a kill leaves no other name behind.
        if (unnamed && how != Publishing::Exchanging) {
            if (::linkat(AT_FDCWD, ProcPath(file.handle).c_str(), dirfd, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                return {};
            if (how == Publishing::IfFree || errno != EEXIST)
                return Errno();
        }
        if (unnamed) {
            if (FileError failed = LinkUnderTemporaryName(dirfd, file))
                return failed;
        }
        const char* from = file.temporaryName.c_str();
        if (how == Publishing::Exchanging)
            return Exchange(folder, file, name, replaced);
        const unsigned flags = how == Publishing::IfFree ? renameNoReplace : 0;
        if (RenameAt2(dirfd, from, name.c_str(), flags) != 0) {
            // No renameat2 here: a link fails on a taken name just as well.
            if (!Unsupported() || ::linkat(dirfd, from, dirfd, name.c_str(), 0) != 0)
                return Errno();
            ::unlinkat(dirfd, from, 0);
        }
        file.temporaryName.clear();
        return {};
    }

    FileError Remove(const HeldFolder& folder, const std::string& name) override
    {
        return ::unlinkat(Fd(folder.handle), name.c_str(), 0) != 0 ? Errno() : FileError {};
    }

    FileError SyncFolder(const HeldFolder& folder) override
    {
        // A folder opened for no access cannot be synced: it is opened for it. Some file systems
        // cannot sync a folder at all, and a folder we may not read cannot be: no failure of ours.
        const int fd = ::openat(Fd(folder.handle), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return {};
        const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
        ::close(fd);
        return error ? Errno(error) : FileError {};
    }

    FileError ListFolder(const HeldFolder& folder, std::vector<std::string>& names) override
    {
        names.clear();
        const int fd = ::openat(Fd(folder.handle), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* listing = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (!listing) {
            const FileError failed = Errno();
            if (fd >= 0)
                ::close(fd);
            return failed;
        }
        int error = 0;
        for (;;) {
            errno = 0;
            const struct dirent* entry = ::readdir(listing);
            if (!entry) {
                error = errno;
                break;
            }
            struct stat info {};
            const bool folder = entry->d_type == DT_DIR
                || (entry->d_type == DT_UNKNOWN
                    && (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(info.st_mode)));
            if (!folder)
                names.emplace_back(entry->d_name);
        }
        ::closedir(listing);
        return error ? Errno(error) : FileError {};
    }

    void Discard(const HeldFolder& folder, UnnamedFile& file) override
    {
        file.Reset();
        if (!file.temporaryName.empty())
            ::unlinkat(Fd(folder.handle), file.temporaryName.c_str(), 0);
        file.temporaryName.clear();
    }

private:
    // Gives the file a fresh temporary name by `made`, which takes a name and tells whether it
    // made it; a name taken already is skipped.
    template<class Make>
    FileError UnderTemporaryName(UnnamedFile& file, Make made)
    {
        int error = EEXIST;
        for (int attempt = 0; attempt < nameAttempts && error == EEXIST; ++attempt) {
            file.temporaryName = TemporaryName();
            error = made(file.temporaryName.c_str()) ? 0 : errno;
        }
        if (error)
            file.temporaryName.clear();
        return error ? Errno(error) : FileError {};
    }

    // Links an unnamed file into the folder under a fresh temporary name.
    FileError LinkUnderTemporaryName(int dirfd, UnnamedFile& file)
    {
        const std::string self = ProcPath(file.handle);
        return UnderTemporaryName(file,
            [&](const char* name) { return ::linkat(AT_FDCWD, self.c_str(), dirfd, name, AT_SYMLINK_FOLLOW) == 0; });
    }

    // Swapped in one step; what comes out under the temporary name must be the replaced file, or
    // the two go back.
    FileError Exchange(const HeldFolder& folder, UnnamedFile& file, const std::string& name, const Identity& replaced)
    {
        const int dirfd = Fd(folder.handle);
        const char* from = file.temporaryName.c_str();
        if (RenameAt2(dirfd, from, name.c_str(), renameExchange) == 0) {
            if (IsFile(Look(folder, file.temporaryName), replaced)) {
                ::unlinkat(dirfd, from, 0);
                file.temporaryName.clear();
                return {};
            }
            RenameAt2(dirfd, from, name.c_str(), renameExchange);
            return Decided(FileErrorCause::SharingViolation);
        }
        if (!Unsupported())
            return Errno();
        // No exchange on this file system: the entry is checked just before the rename.
        if (!IsFile(Look(folder, name), replaced))
            return Decided(FileErrorCause::SharingViolation);
        if (::renameat(dirfd, from, dirfd, name.c_str()) != 0)
            return Errno();
        file.temporaryName.clear();
        return {};
    }
};

}

FileSystem& FileSystem::Native()
{
    static PosixFileSystem native;
    return native;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
