// POSIX back end of FileSystem: rename(2) replaces in one step; fsync makes it last.
#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileSystem {

namespace {

// The rename is only durable once the folder's entry is on the disk. Best effort: the file
// is already in place, and some file systems cannot sync a folder at all.
void SyncFolder(const std::string& folder)
{
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}

std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

long Replace(const char* temporaryPath, const char* destinationPath)
{
    // The new file takes the old one's owner and permission bits, as rewriting it in place
    // would keep them. The owner only where we may give it (as root); the bits come after,
    // since a change of owner clears the set-id bits.
    struct stat old {};
    if (::stat(destinationPath, &old) == 0) {
        if (::chown(temporaryPath, old.st_uid, old.st_gid) != 0 && errno != EPERM)
            return errno;
        if (::chmod(temporaryPath, old.st_mode & 07777) != 0)
            return errno;
    } else if (errno != ENOENT) {
        return errno;
    }
    if (::rename(temporaryPath, destinationPath) != 0)
        return errno;
    SyncFolder(FolderOf(destinationPath));
    return 0;
}

long RecreateRefusal(const char*)
{
    return 0;
}

bool IsDevice(const char* path)
{
    struct stat info {};
    return ::stat(path, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

std::string ResolveLinks(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    // A link that leads nowhere is left as it is: the save creates the file it names.
    char* target = ::realpath(path.c_str(), nullptr);
    if (!target)
        return path;
    std::string resolved = target;
    std::free(target);
    return resolved;
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
