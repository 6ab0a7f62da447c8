// Win32 back end of FileSystem: ReplaceFileA with a backup name over an existing file,
// MoveFileExA otherwise.
#include "platform/FileSystem.h"

#include <windows.h>

namespace FileSystem {

namespace {
constexpr DWORD moveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

// What the name leads to, without asking for any access (NUL, CON, COM1, a pipe, a file).
HANDLE Look(const char* path)
{
    return ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// A file that other names share, or one on a volume without room for a second copy, is
// rewritten in place.
bool ReplacingKeepsAll(const std::string& target, HANDLE file, std::uint64_t newSize)
{
    BY_HANDLE_FILE_INFORMATION info {};
    if (::GetFileInformationByHandle(file, &info) && info.nNumberOfLinks > 1)
        return false;
    const std::string folder = FolderOf(target);
    ULARGE_INTEGER available {};
    if (::GetDiskFreeSpaceExA(folder.empty() ? nullptr : folder.c_str(), &available, nullptr, nullptr))
        return available.QuadPart >= newSize;
    return true;
}
}

SavePlan PlanSave(const std::string& destination, std::uint64_t newSize)
{
    SavePlan plan;
    plan.target = destination;
    HANDLE file = Look(destination.c_str());
    if (file == INVALID_HANDLE_VALUE)
        return plan;
    plan.exists = true;
    const DWORD type = ::GetFileType(file);
    BY_HANDLE_FILE_INFORMATION info {};
    const bool folder = ::GetFileInformationByHandle(file, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE)
        plan.way = SaveWay::Direct;
    else if (!folder && (!ReplacingKeepsAll(destination, file, newSize) || !LeftoverBackup(destination).empty()))
        plan.way = SaveWay::InPlace;
    ::CloseHandle(file);
    return plan;
}

bool Replacement::Open(CFile& file, const std::string& destination, CFileException& failure)
{
    target = destination;
    return OpenNamed(file, failure);
}

FileErrorCause Replacement::Commit()
{
    if (::GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (!::MoveFileExA(name.c_str(), target.c_str(), moveFlags))
            return Cause(static_cast<long>(::GetLastError()));
        committed = true;
        return FileErrorCause::None;
    }
    // Full paths: Wine's ReplaceFileA fails on a bare name or one with forward slashes. The
    // backup name keeps the old file findable whatever the replace step leaves.
    const std::string destination = FullPath(target);
    const std::string replacement = FullPath(name);
    const std::string backup = replacement + ".old";
    long error = replaceStep(destination.c_str(), replacement.c_str(), backup.c_str());
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        // The old file went to the backup name and the new one did not follow: the old one
        // goes back under its own name.
        ::MoveFileExA(backup.c_str(), destination.c_str(), MOVEFILE_WRITE_THROUGH);
    }
    if (error)
        return Cause(error);
    // From here the new content is in place: nothing below can fail the save.
    committed = true;
    ::DeleteFileA(backup.c_str());
    return FileErrorCause::None;
}

long SystemReplace(const char* destination, const char* replacement, const char* backup)
{
    // Keeps the old file's attributes, security and creation time on the new content.
    if (::ReplaceFileA(destination, replacement, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return 0;
    return static_cast<long>(::GetLastError());
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

std::string FullPath(const std::string& path)
{
    char buffer[MAX_PATH + 1];
    DWORD length = ::GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer)
        return path;
    return std::string(buffer, length);
}

std::string TemporaryFolder()
{
    char buffer[MAX_PATH + 1];
    DWORD length = ::GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer)
        return std::string();
    return std::string(buffer, length);
}

bool IsOwnPrivateFile(const std::string& path)
{
    // The temporary folder is the user's own, and so is a file beside the destination that
    // bears our backup's name.
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

long RecreateRefusal(const char* path)
{
    // CREATE_ALWAYS with normal attributes refuses an existing hidden or system file.
    DWORD attributes = ::GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
        return ERROR_ACCESS_DENIED;
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
