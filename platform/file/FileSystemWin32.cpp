// Win32 back end of FileSystem. The destination is opened by its own name, as a plain write
// opens it; every other name (the new file, the replace step's backup, the journals) is a wide
// `\\?\` path, so it fits wherever the destination's name fits.
#include "platform/file/FileSystemBackend.h"
#include "platform/file/WideText.h"

#include <windows.h>

#include <cwchar>
#include <optional>

namespace FileSystem {

namespace {
using Backend::Injected;

// A byte far beyond any file's end: locking it bars other saves and blocks no read or write.
constexpr DWORD lockByteHigh = 0x7FFFFFFF;
constexpr DWORD lockByteLow = 0xFFFFFFF0;
constexpr DWORD largestRequest = 0x40000000;
const wchar_t journalFolderName[] = L"Kovrel\\Journals";
const wchar_t backupSuffix[] = L".old";

HANDLE ToHandle(Handle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

Handle FromHandle(HANDLE handle)
{
    return reinterpret_cast<Handle>(handle);
}

FileErrorCause Failed(DWORD error)
{
    return CauseFromWin32Error(static_cast<long>(error));
}

FileErrorCause LastFailure()
{
    return Failed(::GetLastError());
}

// A full path as a `\\?\` path: no length limit of its own, and no name taken for a device.
std::wstring LongPath(const std::wstring& full)
{
    // Already a \\?\ path, or a device (\\.\NUL).
    if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0)
        return full;
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring WideFolderOf(const std::wstring& path)
{
    std::size_t end = path.find_last_of(L"\\/");
    return end == std::wstring::npos ? std::wstring() : path.substr(0, end + 1);
}

// What a name leads to, without asking for any access and without following a link.
HANDLE Look(const wchar_t* path)
{
    return ::CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// NTFS file indexes carry a sequence number of their own, so that a later file does not match
// an earlier one; the creation time is not stable enough to help (Wine derives it from ctime).
Identity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info)
{
    return { info.dwVolumeSerialNumber, (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow, 0 };
}

// A new file in folder under a fresh temporary name.
FileErrorCause MakeIn(const std::wstring& folder, DWORD access, DWORD sharing, Handle& file, std::wstring& pending)
{
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0;
         attempt < Backend::nameAttempts && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS); ++attempt) {
        const std::string name = Backend::TemporaryName();
        pending = folder + std::wstring(name.begin(), name.end());
        HANDLE made
            = ::CreateFileW(pending.c_str(), access, sharing, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        error = made == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
        if (!error)
            file = FromHandle(made);
    }
    if (error)
        pending.clear();
    return Failed(error);
}

void DiscardIn(Handle& file, std::wstring& pending)
{
    Close(file);
    if (!pending.empty())
        ::DeleteFileW(pending.c_str());
    pending.clear();
}

OVERLAPPED At(std::uint64_t offset)
{
    OVERLAPPED at {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

std::wstring JournalFolderPath()
{
    wchar_t buffer[32768];
    DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, 32768);
    if (length > 0 && length < 32768)
        return std::wstring(buffer, length) + L"\\" + journalFolderName;
    length = ::GetEnvironmentVariableW(L"USERPROFILE", buffer, 32768);
    if (length > 0 && length < 32768)
        return std::wstring(buffer, length) + L"\\AppData\\Local\\" + journalFolderName;
    return {};
}
}

FileErrorCause Examine(Handle file, Facts& facts)
{
    const DWORD type = ::GetFileType(ToHandle(file));
    BY_HANDLE_FILE_INFORMATION info {};
    if (type != FILE_TYPE_DISK) {
        facts = Facts {};
        return FileErrorCause::None;
    }
    if (!::GetFileInformationByHandle(ToHandle(file), &info))
        return LastFailure();
    facts.id = IdentityOf(info);
    facts.regular = !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    facts.length = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    facts.links = info.nNumberOfLinks;
    // The journals' folder is the user's own; the replace step carries attributes and ACL.
    facts.mine = true;
    facts.carriable = true;
    return FileErrorCause::None;
}

FileErrorCause Lock(Handle file)
{
    // A device or a pipe has no bytes to lock: its own sharing is all there is.
    if (::GetFileType(ToHandle(file)) != FILE_TYPE_DISK)
        return FileErrorCause::None;
    OVERLAPPED at {};
    at.Offset = lockByteLow;
    at.OffsetHigh = lockByteHigh;
    if (::LockFileEx(ToHandle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return FileErrorCause::None;
    return LastFailure();
}

FileErrorCause Duplicate(Handle file, Handle& copy)
{
    HANDLE duplicate = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ToHandle(file), ::GetCurrentProcess(), &duplicate, 0, FALSE,
            DUPLICATE_SAME_ACCESS))
        return LastFailure();
    copy = FromHandle(duplicate);
    return FileErrorCause::None;
}

FileErrorCause OpenForReading(Handle file, Handle& reader)
{
    HANDLE duplicate = nullptr;
    // Only what the handle itself may do: a write-only destination gives access denied.
    if (!::DuplicateHandle(::GetCurrentProcess(), ToHandle(file), ::GetCurrentProcess(), &duplicate, GENERIC_READ,
            FALSE, 0))
        return LastFailure();
    reader = FromHandle(duplicate);
    return FileErrorCause::None;
}

FileErrorCause ReadAt(Handle file, std::uint64_t offset, void* buffer, std::size_t count, std::size_t& got)
{
    got = 0;
    if (long injected = Injected(Step::Read))
        return Failed(static_cast<DWORD>(injected));
    while (got < count) {
        OVERLAPPED at = At(offset + got);
        DWORD request = static_cast<DWORD>(count - got < largestRequest ? count - got : largestRequest), done = 0;
        if (!::ReadFile(ToHandle(file), static_cast<char*>(buffer) + got, request, &done, &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF)
                break;
            return LastFailure();
        }
        if (done == 0)
            break;
        got += done;
    }
    return FileErrorCause::None;
}

FileErrorCause WriteAt(Handle file, std::uint64_t offset, const void* buffer, std::size_t count)
{
    if (long injected = Injected(Step::Write))
        return Failed(static_cast<DWORD>(injected));
    std::size_t written = 0;
    while (written < count) {
        OVERLAPPED at = At(offset + written);
        DWORD request = static_cast<DWORD>(count - written < largestRequest ? count - written : largestRequest);
        DWORD done = 0;
        if (!::WriteFile(ToHandle(file), static_cast<const char*>(buffer) + written, request, &done, &at))
            return LastFailure();
        if (done == 0)
            return FileErrorCause::DiskFull;
        written += done;
    }
    return FileErrorCause::None;
}

FileErrorCause CutAt(Handle file, std::uint64_t length)
{
    if (long injected = Injected(Step::Cut))
        return Failed(static_cast<DWORD>(injected));
    LARGE_INTEGER here {}, zero {}, end {};
    end.QuadPart = static_cast<LONGLONG>(length);
    if (!::SetFilePointerEx(ToHandle(file), zero, &here, FILE_CURRENT)
        || !::SetFilePointerEx(ToHandle(file), end, nullptr, FILE_BEGIN))
        return LastFailure();
    const BOOL cut = ::SetEndOfFile(ToHandle(file));
    const DWORD error = ::GetLastError();
    ::SetFilePointerEx(ToHandle(file), here, nullptr, FILE_BEGIN);
    return cut ? FileErrorCause::None : Failed(error);
}

FileErrorCause Position(Handle file, std::uint64_t& position)
{
    LARGE_INTEGER zero {}, here {};
    if (!::SetFilePointerEx(ToHandle(file), zero, &here, FILE_CURRENT))
        return LastFailure();
    position = static_cast<std::uint64_t>(here.QuadPart);
    return FileErrorCause::None;
}

FileErrorCause Rewind(Handle file)
{
    LARGE_INTEGER zero {};
    return ::SetFilePointerEx(ToHandle(file), zero, nullptr, FILE_BEGIN) ? FileErrorCause::None : LastFailure();
}

FileErrorCause Sync(Handle file)
{
    if (long injected = Injected(Step::Sync))
        return Failed(static_cast<DWORD>(injected));
    return FileBackend::Cause(FileBackend::Sync(file));
}

FileErrorCause CarryAttributes(Handle, Handle)
{
    // The replace step gives the new file the old one's attributes and security.
    return FileErrorCause::None;
}

void Close(Handle& file)
{
    if (file != noHandle)
        ::CloseHandle(ToHandle(file));
    file = noHandle;
}

Place::~Place() = default;

FileErrorCause Place::Open(const std::string& destination)
{
    path = destination;
    name = FileNameOf(path);
    if (name.empty())
        return FileErrorCause::AccessDenied;
    char buffer[MAX_PATH];
    // The destination's own limit: a name that a plain write could not open is refused here too.
    DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
    if (length == 0)
        return LastFailure();
    if (length >= MAX_PATH)
        return Failed(ERROR_FILENAME_EXCED_RANGE);
    std::optional<std::wstring> wide = ToWide(CP_ACP, path, true);
    std::optional<std::wstring> full = wide ? FullPathOf(*wide) : std::nullopt;
    if (!full)
        return Failed(ERROR_INVALID_NAME);
    longPath = LongPath(*full);
    return FileErrorCause::None;
}

bool Place::NameIsFree() const
{
    // By the name as given, as a plain write sees it (NUL and CON are devices here), then the
    // entry itself: a link that leads nowhere is no free name.
    for (DWORD flags :
        { DWORD(FILE_FLAG_BACKUP_SEMANTICS), DWORD(FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT) }) {
        HANDLE found = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, flags, nullptr);
        if (found != INVALID_HANDLE_VALUE) {
            ::CloseHandle(found);
            return false;
        }
        if (::GetLastError() != ERROR_FILE_NOT_FOUND)
            return false;
    }
    return true;
}

FileErrorCause Place::OpenLikePlainWrite(Handle& file, bool create) const
{
    SECURITY_ATTRIBUTES security { sizeof(security), nullptr, FALSE };
    const DWORD creation = create ? OPEN_ALWAYS : OPEN_EXISTING;
    // Reading too, for the journal of an in-place save; a write-only file is opened for writing.
    HANDLE opened = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, &security, creation,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED)
        opened = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, &security, creation,
            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return LastFailure();
    // A plain write (CREATE_ALWAYS) refuses an existing hidden or system file.
    BY_HANDLE_FILE_INFORMATION info {};
    if (::GetFileType(opened) == FILE_TYPE_DISK && ::GetFileInformationByHandle(opened, &info)
        && (info.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
        ::CloseHandle(opened);
        return Failed(ERROR_ACCESS_DENIED);
    }
    file = FromHandle(opened);
    return FileErrorCause::None;
}

bool Place::NameHolds(const Identity& id) const
{
    HANDLE found = Look(longPath.c_str());
    if (found == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info {};
    const bool same = ::GetFileInformationByHandle(found, &info)
        && !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        && IdentityOf(info).volume == id.volume && IdentityOf(info).file == id.file;
    ::CloseHandle(found);
    return same;
}

bool Place::HasRoomFor(std::uint64_t bytes) const
{
    ULARGE_INTEGER available {};
    const std::wstring where = WideFolderOf(longPath);
    if (!::GetDiskFreeSpaceExW(where.c_str(), &available, nullptr, nullptr))
        return true;
    return available.QuadPart >= bytes;
}

FileErrorCause Place::MakeUnnamed(bool privateFile, Handle& file)
{
    // Nobody else may open a private file; otherwise the save's own sharing.
    return MakeIn(WideFolderOf(longPath), GENERIC_WRITE, privateFile ? 0 : FILE_SHARE_WRITE, file, pending);
}

FileErrorCause Place::PublishNew(Handle& file)
{
    if (long injected = Injected(Step::Publish))
        return Failed(static_cast<DWORD>(injected));
    Close(file);
    // Without MOVEFILE_REPLACE_EXISTING: a name taken meanwhile is not overwritten.
    if (!::MoveFileExW(pending.c_str(), longPath.c_str(), MOVEFILE_WRITE_THROUGH))
        return LastFailure();
    pending.clear();
    return FileErrorCause::None;
}

FileErrorCause Place::PublishOver(Handle& file, Handle& held, const Identity& old)
{
    if (long injected = Injected(Step::Publish))
        return Failed(static_cast<DWORD>(injected));
    // The replace step needs the old file closed; its name must still lead to it.
    Close(held);
    if (!NameHolds(old))
        return FileErrorCause::SharingViolation;
    Close(file);
    const std::wstring destination = longPath, replacement = pending, backup = replacement + backupSuffix;
    // Keeps the old file's attributes, security and creation time on the new content.
    if (!::ReplaceFileW(destination.c_str(), replacement.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
            nullptr, nullptr)) {
        const DWORD error = ::GetLastError();
        // The old file went to the backup name and the new one did not follow: it goes back.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            ::MoveFileExW(backup.c_str(), destination.c_str(), MOVEFILE_WRITE_THROUGH);
        return Failed(error);
    }
    pending.clear();
    ::DeleteFileW(backup.c_str());
    return FileErrorCause::None;
}

FileErrorCause Place::SyncFolder() const
{
    // The moves were made with MOVEFILE_WRITE_THROUGH or by the replace step.
    return FileErrorCause::None;
}

void Place::Discard(Handle& file)
{
    DiscardIn(file, pending);
}

JournalFolder::~JournalFolder() = default;

std::string JournalFolder::Location()
{
    const std::wstring folder = JournalFolderPath();
    return FromWide(CP_ACP, folder, false).value_or(std::string());
}

FileErrorCause JournalFolder::Open(bool create)
{
    const std::wstring folder = JournalFolderPath();
    if (folder.empty())
        return FileErrorCause::FileNotFound;
    const std::wstring wide = LongPath(folder);
    if (create) {
        // Every missing folder on the way, each the user's own by inheritance.
        for (std::size_t at = wide.find(L'\\', 7); at != std::wstring::npos; at = wide.find(L'\\', at + 1))
            ::CreateDirectoryW(wide.substr(0, at).c_str(), nullptr);
        ::CreateDirectoryW(wide.c_str(), nullptr);
    }
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return LastFailure();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return FileErrorCause::AccessDenied;
    path = wide + L"\\";
    return FileErrorCause::None;
}

FileErrorCause JournalFolder::OpenJournal(const std::string& name, Handle& file) const
{
    const std::wstring full = path + std::wstring(name.begin(), name.end());
    HANDLE opened = ::CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return LastFailure();
    file = FromHandle(opened);
    return FileErrorCause::None;
}

FileErrorCause JournalFolder::MakeUnnamed(Handle& file)
{
    return MakeIn(path, GENERIC_READ | GENERIC_WRITE, 0, file, pending);
}

FileErrorCause JournalFolder::Publish(Handle& file, const std::string& name)
{
    if (long injected = Injected(Step::Publish))
        return Failed(static_cast<DWORD>(injected));
    Close(file);
    const std::wstring full = path + std::wstring(name.begin(), name.end());
    if (!::MoveFileExW(pending.c_str(), full.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return LastFailure();
    pending.clear();
    return FileErrorCause::None;
}

FileErrorCause JournalFolder::Remove(const std::string& name)
{
    if (long injected = Injected(Step::Remove))
        return Failed(static_cast<DWORD>(injected));
    const std::wstring full = path + std::wstring(name.begin(), name.end());
    return ::DeleteFileW(full.c_str()) ? FileErrorCause::None : LastFailure();
}

void JournalFolder::Discard(Handle& file)
{
    DiscardIn(file, pending);
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

}
