// Win32 back end of CFile: CreateFileA with the access, sharing and creation of the flags.
#include "platform/file/FileBackend.h"

#include "platform/file/CFile.h"

#include <windows.h>

namespace FileBackend {

namespace {
HANDLE ToHandle(Handle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

DWORD DesiredAccess(unsigned flags)
{
    switch (flags & CFile::accessMask) {
    case CFile::modeWrite:
        return GENERIC_WRITE;
    case CFile::modeReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    default:
        return GENERIC_READ;
    }
}

DWORD ShareMode(unsigned flags)
{
    switch (flags & CFile::shareMask) {
    case CFile::shareDenyWrite:
        return FILE_SHARE_READ;
    case CFile::shareDenyRead:
        return FILE_SHARE_WRITE;
    case CFile::shareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
        return 0;
    }
}

DWORD Creation(unsigned flags)
{
    if (!(flags & CFile::modeCreate))
        return OPEN_EXISTING;
    return CREATE_ALWAYS;
}

// ReadFile and WriteFile take 32-bit counts.
constexpr std::size_t largestRequest = 0x40000000;
}

long Open(const char* path, unsigned flags, Handle& handle)
{
    SECURITY_ATTRIBUTES security { sizeof(security), nullptr, FALSE };
    HANDLE opened = ::CreateFileA(path, DesiredAccess(flags), ShareMode(flags), &security, Creation(flags),
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return static_cast<long>(::GetLastError());
    handle = reinterpret_cast<Handle>(opened);
    return 0;
}

long Length(Handle handle, std::uint64_t& length)
{
    LARGE_INTEGER size {};
    if (!::GetFileSizeEx(ToHandle(handle), &size))
        return static_cast<long>(::GetLastError());
    length = static_cast<std::uint64_t>(size.QuadPart);
    return 0;
}

long TransferOnce(Handle handle, unsigned char* bytes, std::size_t count, bool write, std::size_t& moved)
{
    const DWORD request = static_cast<DWORD>(count < largestRequest ? count : largestRequest);
    DWORD result = 0;
    const BOOL done = write ? ::WriteFile(ToHandle(handle), bytes, request, &result, nullptr)
                            : ::ReadFile(ToHandle(handle), bytes, request, &result, nullptr);
    if (!done)
        return static_cast<long>(::GetLastError());
    moved = result;
    return 0;
}

long Sync(Handle handle)
{
    // A device such as NUL has nothing to put on a disk.
    if (::GetFileType(ToHandle(handle)) != FILE_TYPE_DISK)
        return 0;
    if (!::FlushFileBuffers(ToHandle(handle)))
        return static_cast<long>(::GetLastError());
    return 0;
}

long Close(Handle handle)
{
    if (!::CloseHandle(ToHandle(handle)))
        return static_cast<long>(::GetLastError());
    return 0;
}

FileErrorCause Cause(long osError)
{
    return CauseFromWin32Error(osError);
}

}
