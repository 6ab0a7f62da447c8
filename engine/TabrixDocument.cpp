#include "engine/TabrixDocument.h"

#include "engine/RecordParser.h"
#include "engine/RecordWriters.h"

#include "platform/FileSystem.h"
#include "platform/ImageMemory.h"

#include <limits>
#include <new>

namespace {
constexpr unsigned loadFlags = CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary; // 0x8020
constexpr unsigned saveFlags
    = CFile::modeWrite | CFile::shareDenyRead | CFile::modeCreate | CFile::typeBinary; // 0x9031
// The save's access and sharing, on an existing file only, leaving its bytes alone.
constexpr unsigned probeFlags = saveFlags & ~unsigned(CFile::modeCreate);

ConvStatus WriteTarget(CFile& file, const TabrixRecord& record, FormatVersion version)
{
    switch (version) {
    case version10:
        return WriteVersion10(file, record);
    case version11:
        return WriteVersion11(file, record);
    case version12:
        return WriteVersion12(file, record);
    default:
        return BadFormat;
    }
}

// Counts the bytes a writer puts out, writing nothing: the room a new file needs.
class ByteCounter : public CFile {
public:
    void Write(const void*, std::size_t count) override { total += count; }
    void Flush() override {}
    std::uint64_t total = 0;
};

std::uint64_t TargetSize(const TabrixRecord& record, FormatVersion version)
{
    ByteCounter counter;
    WriteTarget(counter, record, version);
    return counter.total;
}

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

// One save's way to its destination: chosen and opened here, finished after the close.
class SaveSession {
public:
    // The one place that chooses between replacing the destination and rewriting it in place,
    // and opens file the chosen way.
    ConvStatus Open(CFile& file, const std::string& destination, std::uint64_t newSize)
    {
        return RaisingMemory([&] { return OpenChosenWay(file, destination, newSize); });
    }

    // After the file is closed: a complete replacement goes in place; a failed rewrite gets
    // its old bytes back. The status stays the writer's.
    ConvStatus Finish(ConvStatus written)
    {
        return RaisingMemory([&] { return Finished(written); });
    }

    bool RewritesInPlace() const { return way == FileSystem::SaveWay::InPlace; }

    // The close or memory failed: the old content goes back (an uncommitted replacement goes
    // with the session).
    void Undo()
    {
        if (way == FileSystem::SaveWay::InPlace)
            backup.Restore();
    }

private:
    // Memory that runs out on the way is the framework's out-of-memory failure.
    template<class Step>
    static ConvStatus RaisingMemory(Step step)
    {
        try {
            return step();
        } catch (const std::bad_alloc&) {
            throw CMemoryException();
        }
    }

    ConvStatus OpenChosenWay(CFile& file, const std::string& destination, std::uint64_t newSize)
    {
        const FileSystem::SavePlan plan = FileSystem::PlanSave(destination, newSize);
        way = plan.way;
        if (way != FileSystem::SaveWay::Direct) {
            if (ConvStatus refused = CheckDestination(file, destination); refused != Success)
                return refused;
        }
        CFileException failure;
        if (way == FileSystem::SaveWay::Replace) {
            if (replacement.Open(file, plan.target, failure))
                return Success;
            // A folder that takes no new files: an existing file is still written as it is.
            if (failure.cause != FileErrorCause::AccessDenied || !plan.exists)
                return StatusFromCause(failure.cause);
            way = FileSystem::SaveWay::InPlace;
        }
        // A crash from here on leaves the backup; the next save of this destination takes it.
        if (way == FileSystem::SaveWay::InPlace) {
            if (FileErrorCause cause = backup.Keep(plan.target); cause != FileErrorCause::None)
                return StatusFromCause(cause);
        }
        if (file.Open(destination.c_str(), saveFlags, &failure))
            return Success;
        // Untouched: a fresh backup is not needed, a crashed save's still is.
        if (!backup.IsLeftover())
            backup.Discard();
        return StatusFromCause(failure.cause);
    }

    ConvStatus Finished(ConvStatus written)
    {
        if (way == FileSystem::SaveWay::Replace && written == Success) {
            if (FileErrorCause cause = replacement.Commit(); cause != FileErrorCause::None)
                return StatusFromCause(cause);
        }
        if (way == FileSystem::SaveWay::InPlace) {
            if (written == Success)
                backup.Discard();
            else
                backup.Restore();
        }
        return written;
    }

    FileSystem::SaveWay way = FileSystem::SaveWay::Direct;
    FileSystem::Replacement replacement;
    FileSystem::Backup backup;
};

int StorePath(std::string& field, const char* path)
{
    try {
        field = path ? path : "";
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
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
    return StorePath(sourcePath, path);
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
        if (length < std::numeric_limits<std::size_t>::max()
            && length < std::uint64_t(std::numeric_limits<std::ptrdiff_t>::max()))
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
    return StorePath(destinationPath, path);
}

ConvStatus TabrixDocument::Save()
{
    // An unknown version is refused before the destination is touched.
    if (!IsKnownVersion(targetVersion))
        return BadFormat;
    // What the system says of an empty name, without making a file in the working folder.
    if (destinationPath.empty())
        return StatusFromCause(FileErrorCause::BadPath);
    SaveSession session;
    if (ConvStatus opened = session.Open(*this, destinationPath, TargetSize(record, targetVersion)); opened != Success)
        return opened;
    ConvStatus status = BadFormat;
    try {
        status = WriteTarget(*this, record, targetVersion);
        // The backup goes once the rewrite is complete: its bytes must be on the disk first,
        // also where this document's flush leaves the wait to a batch.
        if (status == Success && session.RewritesInPlace())
            CFile::Flush();
        Close();
    } catch (...) {
        // The close or memory failed: the framework reports it, and the destination keeps its
        // old content.
        Abort();
        session.Undo();
        throw;
    }
    return session.Finish(status);
}
