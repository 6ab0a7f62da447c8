#include "engine/TabrixDocument.h"

#include "engine/RecordParser.h"

#include "platform/file/ImageMemory.h"

#include <limits>
#include <new>

namespace {
constexpr unsigned loadFlags = CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary; // 0x8020
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
