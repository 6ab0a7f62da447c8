// Win32 back end of FileSystem: ReplaceFileA over an existing file, MoveFileExA otherwise.
#include "platform/FileSystem.h"

#include <windows.h>

namespace FileSystem {

std::string FolderOf(const std::string& path)
{
    // A double-byte character's second byte may be 0x5C: it is no separator.
    std::size_t end = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        auto c = static_cast<unsigned char>(path[i]);
        if (::IsDBCSLeadByte(c) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/' || c == ':')
            end = i + 1;
    }
    return path.substr(0, end);
}

namespace {
// The full form of path; path itself when the system cannot give it.
std::string FullPath(const char* path)
{
    char buffer[MAX_PATH + 1];
    DWORD length = ::GetFullPathNameA(path, sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer)
        return path;
    return std::string(buffer, length);
}
}

long Replace(const char* temporaryPath, const char* destinationPath)
{
    constexpr DWORD moveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    const DWORD old = ::GetFileAttributesA(destinationPath);
    if (old != INVALID_FILE_ATTRIBUTES) {
        // Full paths: Wine's ReplaceFileA fails on a bare name or one with forward slashes.
        const std::string destination = FullPath(destinationPath);
        const std::string replacement = FullPath(temporaryPath);
        // Keeps the old file's attributes, security and creation time on the new content.
        if (::ReplaceFileA(destination.c_str(), replacement.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return 0;
        DWORD error = ::GetLastError();
        // Only this failure has already removed the old file: the new one must take its place.
        if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT)
            return static_cast<long>(error);
    }
    if (!::MoveFileExA(temporaryPath, destinationPath, moveFlags))
        return static_cast<long>(::GetLastError());
    return 0;
}

long RecreateRefusal(const char* path)
{
    // CREATE_ALWAYS with normal attributes refuses an existing hidden or system file.
    DWORD attributes = ::GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
        return ERROR_ACCESS_DENIED;
    return 0;
}

bool IsDevice(const char* path)
{
    // No access asked: this only looks at what the name leads to (NUL, CON, COM1, a pipe).
    HANDLE file = ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD type = ::GetFileType(file);
    ::CloseHandle(file);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

std::string ResolveLinks(const std::string& path)
{
    return path;
}

long Remove(const char* path)
{
    if (!::DeleteFileA(path))
        return static_cast<long>(::GetLastError());
    return 0;
}

bool IsNameTaken(long osError)
{
    return osError == ERROR_FILE_EXISTS || osError == ERROR_ALREADY_EXISTS;
}

FileErrorCause Cause(long osError)
{
    return CauseFromWin32Error(osError);
}

}
