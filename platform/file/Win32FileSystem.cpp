// The Win32 file system. Its calls take paths, so a folder is held by its path. A destination is
// looked up and opened by its name as given, as a plain write opens it (NUL and CON are devices
// there); every name of the save's own (the new file, the replace step's backup, the journals) is
// a wide `\\?\` path, so that it fits wherever the destination's name fits.
#include "platform/file/CFile.h"
#include "platform/file/FileSystem.h"
#include "platform/file/WideText.h"

#include <windows.h>

#include <aclapi.h>

#include <cstring>

namespace {

using Handle = FileSystem::Handle;

// A byte far beyond any file's end: locking it bars other saves and blocks no read or write.
constexpr DWORD lockByteHigh = 0x7FFFFFFF;
constexpr DWORD lockByteLow = 0xFFFFFFF0;
// ReadFile and WriteFile take 32-bit counts.
constexpr std::size_t largestRequest = 0x40000000;
const wchar_t journalFolderName[] = L"Kovrel\\Journals";
// The name the replace step gives the old file, after the new one's.
const char backupSuffix[] = ".old";
constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE ToHandle(Handle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

Handle FromHandle(HANDLE handle)
{
    return reinterpret_cast<Handle>(handle);
}

FileError Failed(DWORD error)
{
    return { CauseFromWin32Error(static_cast<long>(error)), static_cast<long>(error) };
}

FileError LastFailure()
{
    return Failed(::GetLastError());
}

FileError Succeeded(BOOL done)
{
    return done ? FileError {} : LastFailure();
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

// The name in the folder as the program gave it; the folder's path is UTF-8, the name the code page's.
std::wstring AsGiven(const HeldFolder& folder, const std::string& name)
{
    return ToWide(CP_UTF8, folder.path, false).value_or(L"") + ToWide(CP_ACP, name, false).value_or(L"");
}

std::wstring LongName(const HeldFolder& folder, const std::string& name)
{
    const std::wstring given = AsGiven(folder, name);
    return given.rfind(L"\\\\?\\", 0) == 0 ? given : LongPath(FullPathOf(given).value_or(given));
}

// NTFS file indexes carry a sequence number of their own, so that a later file does not match
// an earlier one; the creation time is not stable enough to help (Wine derives it from ctime).
Identity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info)
{
    return { info.dwVolumeSerialNumber, (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow, 0, 0, 0, {} };
}

std::wstring JournalFolderWide()
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

// A well-known account's SID.
struct KnownSid {
    explicit KnownSid(WELL_KNOWN_SID_TYPE type)
    {
        DWORD size = sizeof bytes;
        known = ::CreateWellKnownSid(type, nullptr, bytes, &size);
    }
    bool Is(PSID sid) const { return known && ::EqualSid(sid, const_cast<BYTE*>(bytes)); }
    BYTE bytes[SECURITY_MAX_SID_SIZE] = {};
    BOOL known = FALSE;
};

// The folder's owner is this user, or Administrators (for an elevated run), and no account but
// this user, SYSTEM and Administrators may write to it or change who may.
bool Controlled(const std::wstring& folder)
{
    constexpr DWORD writing = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD
        | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    HANDLE token = nullptr;
    BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    DWORD size = 0;
    const bool known = ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)
        && ::GetTokenInformation(token, TokenUser, user, sizeof user, &size);
    if (token)
        ::CloseHandle(token);
    PSID owner = nullptr;
    PACL access = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!known
        || ::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT,
               OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &access, nullptr, &descriptor)
            != ERROR_SUCCESS)
        return false;
    const PSID self = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
    const KnownSid system(WinLocalSystemSid), administrators(WinBuiltinAdministratorsSid);
    const auto trusted = [&](PSID sid) { return ::EqualSid(sid, self) || system.Is(sid) || administrators.Is(sid); };
    // No list of access at all lets everyone in.
    bool controlled = access && (::EqualSid(owner, self) || administrators.Is(owner));
    for (DWORD i = 0; controlled && i < access->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!::GetAce(access, i, reinterpret_cast<void**>(&header)))
            controlled = false;
        else if (header->AceType == ACCESS_ALLOWED_ACE_TYPE && !(header->AceFlags & INHERIT_ONLY_ACE)) {
            const auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
            controlled = !(allowed->Mask & writing) || trusted(const_cast<DWORD*>(&allowed->SidStart));
        }
    }
    ::LocalFree(descriptor);
    return controlled;
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

// What path leads to, opened with flags besides those that ask for nothing.
Entry Looked(const std::wstring& path, DWORD flags)
{
    Entry entry;
    HANDLE found
        = ::CreateFileW(path.c_str(), 0, shareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    if (found == INVALID_HANDLE_VALUE) {
        entry.kind = ::GetLastError() == ERROR_FILE_NOT_FOUND ? Entry::Kind::None : Entry::Kind::Other;
        return entry;
    }
    BY_HANDLE_FILE_INFORMATION info {};
    entry.kind = ::GetFileType(found) == FILE_TYPE_DISK && ::GetFileInformationByHandle(found, &info)
            && !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        ? Entry::Kind::File
        : Entry::Kind::Other;
    entry.id = IdentityOf(info);
    ::CloseHandle(found);
    return entry;
}

class Win32FileSystem final : public FileSystem {
public:
    // No owner is asked for, and no removal is written through (moves are); ReplaceFileW takes the
    // place of a file held open with FILE_SHARE_DELETE.
    Promises Provides() const override { return { false, false, true, false }; }

    FileError Open(const std::string& path, unsigned flags, Handle& file) override
    {
        SECURITY_ATTRIBUTES security { sizeof(security), nullptr, FALSE };
        const DWORD creation = (flags & CFile::modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING;
        HANDLE opened = ::CreateFileA(path.c_str(), DesiredAccess(flags), ShareMode(flags), &security, creation,
            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE)
            return LastFailure();
        file = FromHandle(opened);
        return {};
    }

    FileError Read(Handle file, void* buffer, std::size_t count, std::size_t& got) override
    {
        for (got = 0; got < count;) {
            DWORD request = static_cast<DWORD>(count - got < largestRequest ? count - got : largestRequest), done = 0;
            if (!::ReadFile(ToHandle(file), static_cast<char*>(buffer) + got, request, &done, nullptr))
                return ::GetLastError() == ERROR_HANDLE_EOF || ::GetLastError() == ERROR_BROKEN_PIPE ? FileError {}
                                                                                                     : LastFailure();
            if (done == 0)
                break;
            got += done;
        }
        return {};
    }

    FileError Write(Handle file, const void* buffer, std::size_t count) override
    {
        for (std::size_t written = 0; written < count;) {
            DWORD request = static_cast<DWORD>(count - written < largestRequest ? count - written : largestRequest);
            DWORD done = 0;
            if (!::WriteFile(ToHandle(file), static_cast<const char*>(buffer) + written, request, &done, nullptr))
                return LastFailure();
            if (done == 0)
                return { FileErrorCause::DiskFull, -1 };
            written += done;
        }
        return {};
    }

    FileError Seek(Handle file, std::uint64_t offset) override
    {
        LARGE_INTEGER to {};
        to.QuadPart = static_cast<LONGLONG>(offset);
        return Succeeded(::SetFilePointerEx(ToHandle(file), to, nullptr, FILE_BEGIN));
    }

    FileError CutAtPosition(Handle file) override { return Succeeded(::SetEndOfFile(ToHandle(file))); }

    FileError Sync(Handle file) override
    {
        // A device such as NUL has nothing to put on a disk.
        if (::GetFileType(ToHandle(file)) != FILE_TYPE_DISK)
            return {};
        return Succeeded(::FlushFileBuffers(ToHandle(file)));
    }

    FileError Examine(Handle file, FileInfo& info) override
    {
        info = {};
        if (::GetFileType(ToHandle(file)) != FILE_TYPE_DISK)
            return {};
        BY_HANDLE_FILE_INFORMATION found {};
        if (!::GetFileInformationByHandle(ToHandle(file), &found))
            return LastFailure();
        info.id = IdentityOf(found);
        // The 128-bit id where the file system has one (Windows 8 and later); the serial survives a remount.
        FILE_ID_INFO lasting {};
        info.id.volumeId = { VolumeId::Kind::Serial, 0, found.dwVolumeSerialNumber };
        if (::GetFileInformationByHandleEx(ToHandle(file), FileIdInfo, &lasting, sizeof lasting)) {
            std::memcpy(&info.id.fileHigh, lasting.FileId.Identifier + 8, sizeof info.id.fileHigh);
            info.id.volumeId.low = lasting.VolumeSerialNumber;
        }
        info.regular = !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        info.length = (std::uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        info.links = found.nNumberOfLinks;
        // No owner is asked for (Provides); the replace step carries attributes and security.
        info.recreatable = true;
        return {};
    }

    FileError Lock(Handle file) override
    {
        // A device or a pipe has no bytes to lock: its own sharing is all there is.
        if (::GetFileType(ToHandle(file)) != FILE_TYPE_DISK)
            return {};
        OVERLAPPED at {};
        at.Offset = lockByteLow;
        at.OffsetHigh = lockByteHigh;
        return Succeeded(
            ::LockFileEx(ToHandle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));
    }

    FileError OpenForReading(Handle file, Handle& reader) override
    {
        HANDLE duplicate = nullptr;
        // Only what the handle itself may do: a write-only destination gives access denied.
        if (!::DuplicateHandle(::GetCurrentProcess(), ToHandle(file), ::GetCurrentProcess(), &duplicate, GENERIC_READ,
                FALSE, 0))
            return LastFailure();
        reader = FromHandle(duplicate);
        return {};
    }

    // The replace step gives the new file the old one's attributes and security.
    FileError CarryAttributes(Handle, Handle) override { return {}; }

    FileError Close(Handle file) override { return Succeeded(::CloseHandle(ToHandle(file))); }

    FileError OpenFolder(const std::string& path, HeldFolder& folder) override
    {
        char buffer[MAX_PATH];
        // The destination's own limit: a name that a plain write could not open is refused here too.
        const DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
        if (length == 0)
            return LastFailure();
        if (length >= MAX_PATH)
            return Failed(ERROR_FILENAME_EXCED_RANGE);
        const std::optional<std::wstring> wide = ToWide(CP_ACP, FolderOf(path), true);
        const std::optional<std::string> utf8 = wide ? FromWide(CP_UTF8, *wide, true) : std::nullopt;
        if (!utf8 || !ToWide(CP_ACP, path, true))
            return Failed(ERROR_INVALID_NAME);
        folder.path = *utf8;
        return {};
    }

    FileError OpenJournalFolder(Creation creation, HeldFolder& folder) override
    {
        const std::wstring path = JournalFolderWide();
        if (path.empty())
            return { FileErrorCause::FileNotFound, -1 };
        const std::wstring wide = LongPath(path);
        if (creation == Creation::CreateMissing) {
            // Every missing folder on the way, each the user's own by inheritance.
            for (std::size_t at = wide.find(L'\\', 7); at != std::wstring::npos; at = wide.find(L'\\', at + 1))
                ::CreateDirectoryW(wide.substr(0, at).c_str(), nullptr);
            ::CreateDirectoryW(wide.c_str(), nullptr);
        }
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        // A folder on the way that is missing too: there is no folder of journals.
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return ::GetLastError() == ERROR_PATH_NOT_FOUND ? Failed(ERROR_FILE_NOT_FOUND) : LastFailure();
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            || !Controlled(wide))
            return { FileErrorCause::AccessDenied, -1 };
        folder.path = FromWide(CP_UTF8, wide + L"\\", true).value_or("");
        return {};
    }

    std::string JournalFolderPath() override { return FromWide(CP_ACP, JournalFolderWide(), false).value_or(""); }

    Entry Look(const HeldFolder& folder, const std::string& name) override
    {
        // The entry itself, not followed if it is a link; a device by its name as given.
        return Looked(AsGiven(folder, name), FILE_FLAG_OPEN_REPARSE_POINT);
    }

    Entry LookThrough(const HeldFolder& folder, const std::string& name) override
    {
        return Looked(AsGiven(folder, name), 0);
    }

    FileError OpenLikePlainWrite(const HeldFolder& folder, const std::string& name, Creation creation,
        Handle& file) override
    {
        SECURITY_ATTRIBUTES security { sizeof(security), nullptr, FALSE };
        const DWORD disposition = creation == Creation::CreateMissing ? OPEN_ALWAYS : OPEN_EXISTING;
        const std::wstring path = AsGiven(folder, name);
        // Reading too, for the journal of an in-place save; a write-only file is opened for writing.
        // Others may write it as they may while a plain write has it, and it may be replaced while
        // held, so that the replace step takes its place without letting go of the lock.
        const DWORD sharing = FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        HANDLE opened = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, sharing, &security, disposition,
            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED)
            opened = ::CreateFileW(path.c_str(), GENERIC_WRITE, sharing, &security, disposition, FILE_ATTRIBUTE_NORMAL,
                nullptr);
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
        return {};
    }

    FileError OpenNamed(const HeldFolder& folder, const std::string& name, Handle& file) override
    {
        HANDLE opened = ::CreateFileW(LongName(folder, name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (opened == INVALID_HANDLE_VALUE)
            return LastFailure();
        file = FromHandle(opened);
        return {};
    }

    FileError MakeUnnamed(const HeldFolder& folder, Visibility visibility, UnnamedFile& file) override
    {
        // Nobody else may open a private file; otherwise the save's own sharing.
        const DWORD sharing = visibility == Visibility::Private ? 0 : FILE_SHARE_WRITE;
        DWORD error = ERROR_FILE_EXISTS;
        for (int attempt = 0; attempt < nameAttempts && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS);
             ++attempt) {
            file.temporaryName = TemporaryName();
            HANDLE made = ::CreateFileW(LongName(folder, file.temporaryName).c_str(), GENERIC_READ | GENERIC_WRITE,
                sharing, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            error = made == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
            if (!error)
                file.handle = FromHandle(made);
        }
        if (error)
            file.temporaryName.clear();
        return error ? Failed(error) : FileError {};
    }

    FileError MakeTemporary(UnnamedFile& file) override
    {
        wchar_t folder[MAX_PATH + 1];
        const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
        if (length == 0 || length > MAX_PATH)
            return LastFailure();
        const std::string name = TemporaryName();
        HANDLE made
            = ::CreateFileW((folder + std::wstring(name.begin(), name.end())).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (made == INVALID_HANDLE_VALUE)
            return LastFailure();
        file.handle = FromHandle(made);
        return {};
    }

    FileError Publish(const HeldFolder& folder, UnnamedFile& file, const std::string& name, Publishing how,
        const Identity& replaced) override
    {
        file.Reset();
        const std::wstring from = LongName(folder, file.temporaryName), to = LongName(folder, name);
        if (how != Publishing::Exchanging) {
            // Without MOVEFILE_REPLACE_EXISTING, a name taken meanwhile is not overwritten.
            const DWORD replace = how == Publishing::Replacing ? MOVEFILE_REPLACE_EXISTING : 0;
            if (!::MoveFileExW(from.c_str(), to.c_str(), replace | MOVEFILE_WRITE_THROUGH))
                return LastFailure();
            file.temporaryName.clear();
            return {};
        }
        // The name must still lead to the replaced file.
        if (!IsFile(Look(folder, name), replaced))
            return { FileErrorCause::SharingViolation, -1 };
        const std::wstring backup = LongName(folder, file.temporaryName + backupSuffix);
        // Keeps the old file's attributes, security and creation time on the new content.
        if (!::ReplaceFileW(to.c_str(), from.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                nullptr)) {
            const DWORD error = ::GetLastError();
            // The old file went to the backup name and the new one did not follow: it goes back.
            if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
                ::MoveFileExW(backup.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH);
            return Failed(error);
        }
        // What went to the backup name must be the replaced file: else the name had been given to
        // another one between the look and the replace, and the two go back.
        if (!IsFile(Look(folder, file.temporaryName + backupSuffix), replaced)) {
            ::MoveFileExW(to.c_str(), from.c_str(), MOVEFILE_WRITE_THROUGH);
            ::MoveFileExW(backup.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH);
            return { FileErrorCause::SharingViolation, -1 };
        }
        file.temporaryName.clear();
        ::DeleteFileW(backup.c_str());
        return {};
    }

    FileError Remove(const HeldFolder& folder, const std::string& name) override
    {
        return Succeeded(::DeleteFileW(LongName(folder, name).c_str()));
    }

    // Every move is written through (Provides).
    FileError SyncFolder(const HeldFolder&) override { return {}; }

    FileError ListFolder(const HeldFolder& folder, std::vector<std::string>& names) override
    {
        names.clear();
        WIN32_FIND_DATAW found {};
        HANDLE search = ::FindFirstFileW(LongName(folder, "*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return ::GetLastError() == ERROR_FILE_NOT_FOUND ? FileError {} : LastFailure();
        do {
            const std::optional<std::string> name = FromWide(CP_ACP, found.cFileName, true);
            if (name && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(*name);
        } while (::FindNextFileW(search, &found));
        const DWORD error = ::GetLastError();
        ::FindClose(search);
        return error == ERROR_NO_MORE_FILES ? FileError {} : Failed(error);
    }

    void Discard(const HeldFolder& folder, UnnamedFile& file) override
    {
        file.Reset();
        if (!file.temporaryName.empty())
            ::DeleteFileW(LongName(folder, file.temporaryName).c_str());
        file.temporaryName.clear();
    }
};

}

FileSystem& FileSystem::Native()
{
    static Win32FileSystem native;
    return native;
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
