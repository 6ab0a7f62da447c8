// Win32 back end of FileSystem: ReplaceFileA over an existing file, MoveFileExA otherwise.
#include "platform/FileSystem.h"

#include <windows.h>

namespace FileSystem {

namespace {

// What a user sets on a file and expects a rewrite to keep.
constexpr DWORD keptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr DWORD settableAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED
    | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY;

// Not every ReplaceFileA merges the attributes (Wine's does not): put the old ones back.
// Best effort: the new content is in place either way.
void RestoreAttributes(const char* path, DWORD old)
{
    DWORD now = ::GetFileAttributesA(path);
    if (now == INVALID_FILE_ATTRIBUTES || (now & keptAttributes) == (old & keptAttributes))
        return;
    DWORD wanted = ((now & ~keptAttributes) | (old & keptAttributes)) & settableAttributes;
    ::SetFileAttributesA(path, wanted ? wanted : FILE_ATTRIBUTE_NORMAL);
}

}

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

long Replace(const char* temporaryPath, const char* destinationPath)
{
    constexpr DWORD moveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    const DWORD old = ::GetFileAttributesA(destinationPath);
    if (old != INVALID_FILE_ATTRIBUTES) {
        // Keeps the old file's attributes, security and creation time on the new content.
        if (::ReplaceFileA(destinationPath, temporaryPath, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            RestoreAttributes(destinationPath, old);
            return 0;
        }
        DWORD error = ::GetLastError();
        // Only this failure has already removed the old file: the new one must take its place.
        if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT)
            return static_cast<long>(error);
    }
    if (!::MoveFileExA(temporaryPath, destinationPath, moveFlags))
        return static_cast<long>(::GetLastError());
    if (old != INVALID_FILE_ATTRIBUTES)
        RestoreAttributes(destinationPath, old);
    return 0;
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
