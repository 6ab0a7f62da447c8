#include "engine/TabrixDocument.h"

#include "engine/RecordParser.h"
#include "engine/RecordWriters.h"

#include "platform/FileSystem.h"
#include "platform/ImageMemory.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <random>

namespace {
constexpr unsigned loadFlags = CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary;                      // 0x8020
constexpr unsigned saveFlags = CFile::modeWrite | CFile::shareDenyRead | CFile::modeCreate | CFile::typeBinary; // 0x9031
// The save's access and sharing, on an existing file only, leaving its bytes alone.
constexpr unsigned probeFlags = saveFlags & ~unsigned(CFile::modeCreate);
// The save's access and sharing, on a name that nobody else has.
constexpr unsigned temporaryFlags = saveFlags | CFile::modeCreateNew;
// Names tried before giving up: a clash means another program is saving beside us.
constexpr int temporaryAttempts = 64;

// Refuses a destination that the save's own open would refuse (held by another program,
// read-only, a folder), without cutting it. A missing destination is no refusal.
ConvStatus CheckDestination(CFile& file, const std::string& path)
{
    CFileException failure;
    if (!file.Open(path.c_str(), probeFlags, &failure))
        return failure.cause == FileErrorCause::FileNotFound ? Success : StatusFromCause(failure.cause);
    file.Close();
    if (long error = FileSystem::RecreateRefusal(path.c_str()))
        return StatusFromCause(FileSystem::Cause(error));
    return Success;
}

std::uint32_t NextTemporaryNumber()
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

// A short name in the destination's folder, so that the new file replaces the old one in one
// step on the same volume, and the folder's path limit is not passed.
std::string TemporaryName(const std::string& folder)
{
    char name[16];
    std::snprintf(name, sizeof name, "~kv%05X.tmp", static_cast<unsigned>(NextTemporaryNumber() & 0xFFFFF));
    return folder + name;
}

// Opens a new file beside the destination under a name that no existing file has.
ConvStatus OpenTemporary(CFile& file, const std::string& destination, std::string& temporary)
{
    CFileException failure;
    try {
        const std::string folder = FileSystem::FolderOf(destination);
        for (int attempt = 0; attempt < temporaryAttempts; ++attempt) {
            temporary = TemporaryName(folder);
            if (file.Open(temporary.c_str(), temporaryFlags, &failure))
                return Success;
            if (!FileSystem::IsNameTaken(failure.osError))
                break;
        }
    } catch (const std::bad_alloc&) {
        throw CMemoryException();
    }
    return StatusFromCause(failure.cause);
}
}

TabrixDocument::TabrixDocument(const char* sourcePath)
    : sourcePath(sourcePath ? sourcePath : "")
{
}

TabrixDocument::~TabrixDocument() = default;

void TabrixDocument::Reset()
{
    loaded = 0;
    record.leadString.clear();
    // With the last entries that refer to it, the file's image goes too.
    record.listA.clear();
    record.listB.clear();
}

int TabrixDocument::SetSourcePath(const char* path)
{
    if (loaded == 1)
        Reset();
    try {
        sourcePath = path ? path : "";
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

ConvStatus TabrixDocument::Load()
{
    if (sourcePath.empty())
        return NoFileName;
    CFileException failure;
    if (!Open(sourcePath.c_str(), loadFlags, &failure))
        return StatusFromCause(failure.cause);
    ConvStatus status = Success;
    try {
        std::uint64_t length = GetLength();
        // One byte more than the file, in one allocation that must not wrap around. The record
        // keeps it where its lists refer to their strings; otherwise it goes at the end of Load.
        SharedImage image;
        if (length < std::numeric_limits<std::size_t>::max() && length < std::uint64_t(std::numeric_limits<std::ptrdiff_t>::max()))
            image.bytes = ImageMemory::Allocate(static_cast<std::size_t>(length) + 1);
        if (!image.bytes) {
            status = OutOfMemory;
        } else {
            bool read = true;
            try {
                image.size = Read(image.bytes.get(), static_cast<std::size_t>(length));
            } catch (const CFileException& readFailure) {
                status = StatusFromCause(readFailure.cause);
                read = false;
            }
            if (read) {
                loaded = ParseRecord(std::move(image), record);
                status = loaded == 1 ? Success : BadFormat;
            }
        }
    } catch (...) {
        // Length or a list entry failed: the file is closed before the failure goes on.
        Abort();
        throw;
    }
    Close();
    return status;
}

int TabrixDocument::GetVersion(std::uint8_t& major, std::uint8_t& minor) const
{
    if (loaded == 1) {
        major = VersionMajor(record.version);
        minor = VersionMinor(record.version);
    }
    return loaded;
}

void TabrixDocument::SetTargetVersion(std::uint8_t major, std::uint8_t minor)
{
    targetVersion = MakeVersion(major, minor);
}

int TabrixDocument::SetDestinationPath(const char* path)
{
    try {
        destinationPath = path ? path : "";
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

ConvStatus TabrixDocument::Save()
{
    // An unknown version is refused before the destination is touched.
    if (targetVersion != version10 && targetVersion != version11 && targetVersion != version12)
        return BadFormat;
    // What the system says of an empty name, without making a temporary file in the working folder.
    if (destinationPath.empty())
        return StatusFromCause(FileErrorCause::BadPath);
    // A device has no content to keep and cannot be replaced: write to it as it is.
    if (FileSystem::IsDevice(destinationPath.c_str()))
        return SaveInPlace();
    if (ConvStatus refused = CheckDestination(*this, destinationPath); refused != Success)
        return refused;
    // Through a symbolic link the new file replaces its target, and the link stays.
    std::string target;
    try {
        target = FileSystem::ResolveLinks(destinationPath);
    } catch (const std::bad_alloc&) {
        throw CMemoryException();
    }
    std::string temporary;
    if (ConvStatus failed = OpenTemporary(*this, target, temporary); failed != Success)
        return failed;
    ConvStatus status = BadFormat;
    try {
        status = WriteTarget();
        Close();
    } catch (...) {
        // Close or memory failed: the framework reports it, and the destination is as it was.
        Abort();
        FileSystem::Remove(temporary.c_str());
        throw;
    }
    if (status == Success) {
        if (long error = FileSystem::Replace(temporary.c_str(), target.c_str()))
            status = StatusFromCause(FileSystem::Cause(error));
    }
    if (status != Success)
        FileSystem::Remove(temporary.c_str());
    return status;
}

ConvStatus TabrixDocument::SaveInPlace()
{
    CFileException failure;
    if (!Open(destinationPath.c_str(), saveFlags, &failure))
        return StatusFromCause(failure.cause);
    ConvStatus status = BadFormat;
    try {
        status = WriteTarget();
        Close();
    } catch (...) {
        Abort();
        throw;
    }
    return status;
}

ConvStatus TabrixDocument::WriteTarget()
{
    switch (targetVersion) {
    case version10:
        return WriteVersion10(*this, record);
    case version11:
        return WriteVersion11(*this, record);
    case version12:
        return WriteVersion12(*this, record);
    default:
        return BadFormat;
    }
}
