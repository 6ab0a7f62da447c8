// POSIX back end of FileSystem: the new file is made without a name (O_TMPFILE) where the
// system can, gets its owner and mode through its handle, and is renamed into place.
#include "platform/FileSystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace FileSystem {

namespace {
// Links followed before a loop is assumed; the open then reports it.
constexpr int linkHops = 40;

// The rename is only durable once the folder's entry is on the disk. Best effort: the file
// is already in place, and some file systems cannot sync a folder at all.
void SyncFolder(const char* folder)
{
    int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

std::string FolderOrHere(const std::string& path)
{
    std::string folder = FolderOf(path);
    return folder.empty() ? std::string(".") : folder;
}

// The file that writing to path reaches, following every link, also one whose target is
// missing: that is the file a plain write creates.
std::string ResolveLinks(const std::string& path)
{
    std::string current = path;
    for (int hop = 0; hop < linkHops; ++hop) {
        char target[PATH_MAX];
        ssize_t length = ::readlink(current.c_str(), target, sizeof target);
        if (length < 0 || length == ssize_t(sizeof target))
            break;
        std::string next(target, static_cast<std::size_t>(length));
        current = next[0] == '/' ? next : FolderOf(current) + next;
    }
    return current;
}

// The new file can be given this owner and group: root, or the owner in that group.
bool CanGiveOwner(const struct stat& info)
{
    const uid_t user = ::geteuid();
    if (user == 0)
        return true;
    if (info.st_uid != user)
        return false;
    if (info.st_gid == ::getegid())
        return true;
    std::vector<gid_t> groups(static_cast<std::size_t>(NGROUPS_MAX));
    int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    for (int i = 0; i < count; ++i) {
        if (groups[static_cast<std::size_t>(i)] == info.st_gid)
            return true;
    }
    return false;
}

// A rename cannot replace a mount point (a bind-mounted file).
bool SameMount(const std::string& file, const std::string& folder)
{
#ifdef STATX_MNT_ID
    struct statx fileMount {
    }, folderMount {};
    if (::statx(AT_FDCWD, file.c_str(), 0, STATX_MNT_ID, &fileMount) == 0
        && ::statx(AT_FDCWD, folder.c_str(), 0, STATX_MNT_ID, &folderMount) == 0
        && (fileMount.stx_mask & folderMount.stx_mask & STATX_MNT_ID))
        return fileMount.stx_mnt_id == folderMount.stx_mnt_id;
#endif
    struct stat fileInfo {
    }, folderInfo {};
    return ::stat(file.c_str(), &fileInfo) == 0 && ::stat(folder.c_str(), &folderInfo) == 0
        && fileInfo.st_dev == folderInfo.st_dev;
}

// Room for the new file beside the old one, in whole blocks.
bool HasRoom(const std::string& folder, std::uint64_t size)
{
    struct statvfs volume {};
    if (::statvfs(folder.c_str(), &volume) != 0 || volume.f_frsize == 0)
        return true;
    return std::uint64_t(volume.f_bavail) >= (size + volume.f_frsize - 1) / volume.f_frsize;
}

bool ReplacingKeepsAll(const std::string& target, const struct stat& info, std::uint64_t newSize)
{
    const std::string folder = FolderOrHere(target);
    // Extended attributes include ACLs and security labels; a new file would not have them.
    return info.st_nlink == 1 && CanGiveOwner(info) && ::listxattr(target.c_str(), nullptr, 0) <= 0
        && SameMount(target, folder) && HasRoom(folder, newSize);
}

mode_t CreationMode()
{
    // Asked once: umask can only be read by setting it, and a batch saves on several threads.
    static const mode_t mask = [] {
        mode_t old = ::umask(0);
        ::umask(old);
        return old;
    }();
    return 0666 & ~mask;
}
}

SavePlan PlanSave(const std::string& destination, std::uint64_t newSize)
{
    SavePlan plan;
    plan.target = ResolveLinks(destination);
    struct stat info {};
    if (::stat(plan.target.c_str(), &info) != 0)
        return plan;
    plan.exists = true;
    if (S_ISDIR(info.st_mode))
        return plan; // refused by the save's own open
    if (!S_ISREG(info.st_mode))
        plan.way = SaveWay::Direct;
    else if (!ReplacingKeepsAll(plan.target, info, newSize) || !LeftoverBackup(plan.target).empty())
        plan.way = SaveWay::InPlace;
    return plan;
}

bool Replacement::Open(CFile& file, const std::string& destination, CFileException& failure)
{
    target = destination;
    name.clear();
    // Without a name nobody else can open it, and a killed save leaves nothing behind. Linking
    // it later goes through /proc.
    const bool unnamed = ::access("/proc/self/fd", X_OK) == 0
        && file.Open(FolderOrHere(target).c_str(), replacementFlags | CFile::modeUnnamed, &failure);
    if (!unnamed && !OpenNamed(file, failure))
        return false;
    // Kept open past the document's close: owner and mode go through it, and an unnamed file
    // lives as long as it.
    kept = ::dup(static_cast<int>(file.GetHandle()));
    if (kept < 0) {
        failure = CFileException(Cause(errno), errno, target);
        file.Abort();
        return false;
    }
    return true;
}

FileErrorCause Replacement::Commit()
{
    const int fd = static_cast<int>(kept);
    const std::string folder = FolderOrHere(target);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    // Owner first: a change of owner clears the set-id bits that the mode then gives back.
    if (exists && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return Cause(errno);
    // The bytes are on the disk already: the writer flushed them (a batch waits once, for all).
    if (::fchmod(fd, exists ? old.st_mode & 07777 : CreationMode()) != 0)
        return Cause(errno);
    if (name.empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        long error = MakeBeside(target, name, [&](const std::string& candidate) {
            return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0L
                                                                                                         : long(errno);
        });
        if (error) {
            name.clear();
            return Cause(error);
        }
    }
    if (long error = replaceStep(target.c_str(), name.c_str(), nullptr))
        return Cause(error);
    // From here the new content is in place: nothing below can fail the save.
    committed = true;
    SyncFolder(folder.c_str());
    return FileErrorCause::None;
}

long SystemReplace(const char* destination, const char* replacement, const char*)
{
    return ::rename(replacement, destination) == 0 ? 0 : errno;
}

std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FullPath(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    char here[PATH_MAX];
    return ::getcwd(here, sizeof here) ? std::string(here) + "/" + path : path;
}

std::string TemporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder && *folder ? folder : "/tmp";
    return path.back() == '/' ? path : path + "/";
}

bool IsOwnPrivateFile(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()
        && (info.st_mode & 077) == 0;
}

long RecreateRefusal(const char*)
{
    return 0;
}

long Remove(const char* path)
{
    if (::unlink(path) != 0)
        return errno;
    return 0;
}

bool IsNameTaken(long osError)
{
    return osError == EEXIST;
}

FileErrorCause Cause(long osError)
{
    return CauseFromErrno(static_cast<int>(osError));
}

}
