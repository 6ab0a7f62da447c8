// The parts of FileSystem that every back end shares: names beside a file, the backup of an
// in-place save, and the replacement's clean-up.
#include "platform/FileSystem.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <random>

namespace FileSystem {

namespace {
// Names tried before giving up: a clash means another program is saving beside us.
constexpr int nameAttempts = 64;
constexpr std::size_t copyChunk = 64 * 1024;
constexpr unsigned readAnyway = CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary;
constexpr unsigned newBackup = CFile::modeWrite | CFile::shareExclusive | CFile::modeCreate | CFile::modeCreateNew
    | CFile::modePrivate | CFile::typeBinary;
constexpr unsigned rewrite = CFile::modeWrite | CFile::shareDenyNone | CFile::modeCreate | CFile::typeBinary;
const char backupSuffix[] = ".kovrel-backup";
const char backupPrefix[] = "kovrel-backup-";

std::uint32_t NextNumber()
{
    // Documents of one batch save on several threads at once.
    static std::atomic<std::uint32_t> next = [] {
        std::uint32_t seed = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        try {
            seed ^= std::random_device {}();
        } catch (...) {
            // The clock alone is enough: a taken name is skipped.
        }
        return seed;
    }();
    return next++;
}

// One backup name per destination in the shared temporary folder: the number is a hash of
// the destination's full path (FNV-1a).
std::string TemporaryBackupName(const std::string& target)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : FullPath(target))
        hash = (hash ^ c) * 16777619u;
    char number[16];
    std::snprintf(number, sizeof number, "%08X-", static_cast<unsigned>(hash));
    return TemporaryFolder() + backupPrefix + number + target.substr(FolderOf(target).size());
}

// Where target's backup goes, in the order tried: beside it, else in the temporary folder.
std::array<std::string, 2> BackupPlaces(const std::string& target)
{
    return { target + backupSuffix, TemporaryBackupName(target) };
}

// Copies the bytes of from into to, opened with toFlags, and puts them on the disk.
FileErrorCause Copy(const std::string& from, const std::string& to, unsigned toFlags)
{
    std::unique_ptr<unsigned char[]> chunk(new (std::nothrow) unsigned char[copyChunk]);
    if (!chunk)
        return FileErrorCause::Generic;
    CFile in, out;
    CFileException failure;
    if (!in.Open(from.c_str(), readAnyway, &failure) || !out.Open(to.c_str(), toFlags, &failure))
        return failure.cause;
    try {
        while (std::size_t got = in.Read(chunk.get(), copyChunk))
            out.Write(chunk.get(), got);
        out.Flush();
        out.Close();
    } catch (const CFileException& copyFailure) {
        // A new file that is not complete is no copy: it goes.
        out.Abort();
        if (toFlags & CFile::modeCreateNew)
            Remove(to.c_str());
        return copyFailure.cause;
    }
    return FileErrorCause::None;
}
}

ReplaceStep replaceStep = SystemReplace;

void SetReplaceStep(ReplaceStep step)
{
    replaceStep = step ? step : SystemReplace;
}

long MakeBeside(const std::string& target, std::string& name, const std::function<long(const std::string&)>& make)
{
    const std::string folder = FolderOf(target);
    long error = 0;
    for (int attempt = 0; attempt < nameAttempts; ++attempt) {
        // Short, so that the folder's path limit is not passed.
        char base[16];
        std::snprintf(base, sizeof base, "~kv%05X.tmp", static_cast<unsigned>(NextNumber() & 0xFFFFF));
        name = folder + base;
        error = make(name);
        if (!IsNameTaken(error))
            break;
    }
    return error;
}

bool Replacement::OpenNamed(CFile& file, CFileException& failure)
{
    bool opened = false;
    MakeBeside(target, name, [&](const std::string& candidate) {
        opened = file.Open(candidate.c_str(), replacementFlags, &failure);
        return opened ? 0L : failure.osError;
    });
    if (!opened)
        name.clear();
    return opened;
}

Replacement::~Replacement()
{
    if (kept != FileBackend::invalidHandle)
        FileBackend::Close(kept);
    if (!committed && !name.empty())
        Remove(name.c_str());
}

std::string LeftoverBackup(const std::string& target)
{
    for (const std::string& path : BackupPlaces(target)) {
        if (IsOwnPrivateFile(path))
            return path;
    }
    return {};
}

FileErrorCause Backup::Keep(const std::string& destination)
{
    target = destination;
    path = LeftoverBackup(target);
    leftover = !path.empty();
    if (leftover)
        return FileErrorCause::None;
    // Beside the file when its folder takes one more; else in the user's temporary folder.
    FileErrorCause cause = FileErrorCause::None;
    for (const std::string& candidate : BackupPlaces(target)) {
        cause = Copy(target, candidate, newBackup);
        if (cause == FileErrorCause::None) {
            path = candidate;
            break;
        }
    }
    return cause;
}

bool Backup::Restore()
{
    if (path.empty() || Copy(path, target, rewrite) != FileErrorCause::None)
        return false;
    Discard();
    return true;
}

void Backup::Discard()
{
    if (!path.empty())
        Remove(path.c_str());
    path.clear();
}

}
