// POSIX back end of CFile.
//
// Sharing is emulated with flock(2): a file opened for reading holds a shared lock, one
// opened for writing an exclusive lock, both taken without waiting. That keeps two
// CFile objects, in this process or another that uses the same locks, from reading a
// file while it is written and writing it while it is read. What POSIX cannot give:
// the locks are advisory, so programs that do not take them are not kept out, and two
// writers exclude each other although the write sharing would let them both in.
#include "platform/file/FileBackend.h"

#include "platform/file/CFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileBackend {

namespace {
constexpr std::size_t writeBackPiece = 4 * 1024 * 1024;

int ToFd(Handle handle)
{
    return static_cast<int>(handle);
}
}

long Open(const char* path, unsigned flags, Handle& handle)
{
    unsigned access = flags & CFile::accessMask;
    int mode = access == CFile::modeRead ? O_RDONLY : access == CFile::modeWrite ? O_WRONLY : O_RDWR;
    if (flags & CFile::modeCreate)
        mode |= O_CREAT;
    // O_CREAT as a plain write passes it, so that the system's rules for sticky folders apply;
    // the cut waits for the lock below.
    int fd = ::open(path, mode | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        int error = errno;
        ::close(fd);
        return error;
    }
    // Windows refuses to open a folder as a file: so do we.
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        return EISDIR;
    }
    unsigned share = flags & CFile::shareMask;
    if (share != CFile::shareDenyNone) {
        int lock = access == CFile::modeRead ? LOCK_SH : LOCK_EX;
        if (::flock(fd, lock | LOCK_NB) != 0) {
            int error = errno;
            ::close(fd);
            // Held by another file object: the sharing violation of Windows.
            return error == EWOULDBLOCK ? EBUSY : error;
        }
    }
    // Cut only once the lock is ours, so that a refused open leaves the file alone.
    if ((flags & CFile::modeCreate) && S_ISREG(info.st_mode) && info.st_size != 0 && ::ftruncate(fd, 0) != 0) {
        int error = errno;
        ::close(fd);
        return error;
    }
    handle = fd;
    return 0;
}

long Length(Handle handle, std::uint64_t& length)
{
    struct stat info {};
    if (::fstat(ToFd(handle), &info) != 0)
        return errno;
    length = static_cast<std::uint64_t>(info.st_size);
    return 0;
}

long TransferOnce(Handle handle, unsigned char* bytes, std::size_t count, bool write, std::size_t& moved)
{
    // A big write goes out in pieces, each handed to the disk at once: the flush at the end of
    // a save then waits for the last piece only, not for the whole file.
    const bool piecewise = write && count > writeBackPiece;
    if (piecewise)
        count = writeBackPiece;
    ssize_t result;
    do
        result = write ? ::write(ToFd(handle), bytes, count) : ::read(ToFd(handle), bytes, count);
    while (result < 0 && errno == EINTR);
    if (result < 0)
        return errno;
    moved = static_cast<std::size_t>(result);
#ifdef __linux__
    if (piecewise)
        ::sync_file_range(ToFd(handle), 0, 0, SYNC_FILE_RANGE_WRITE); // only starts the write-back
#endif
    return 0;
}

long Sync(Handle handle)
{
    // A pipe or a device has nothing to put on a disk: EINVAL says just that.
    if (::fsync(ToFd(handle)) != 0 && errno != EINVAL)
        return errno;
    return 0;
}

long Close(Handle handle)
{
    // The lock goes with the descriptor.
    if (::close(ToFd(handle)) != 0 && errno != EINTR)
        return errno;
    return 0;
}

FileErrorCause Cause(long osError)
{
    return CauseFromErrno(static_cast<int>(osError));
}

}
