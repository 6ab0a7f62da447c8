#include "engine/TabrixDocument.h"

#include "engine/RecordParser.h"
#include "engine/RecordWriters.h"

#include <limits>
#include <memory>
#include <new>

namespace {
constexpr unsigned loadFlags = CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary;                      // 0x8020
constexpr unsigned saveFlags = CFile::modeWrite | CFile::shareDenyRead | CFile::modeCreate | CFile::typeBinary; // 0x9031
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
    record.listA.clear();
    record.listA.shrink_to_fit();
    record.listB.clear();
    record.listB.shrink_to_fit();
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
        // One byte more than the file, in one allocation that must not wrap around.
        std::unique_ptr<std::uint8_t[]> buffer;
        if (length < std::numeric_limits<std::size_t>::max() && length < std::uint64_t(std::numeric_limits<std::ptrdiff_t>::max()))
            buffer.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(length) + 1]);
        if (!buffer) {
            status = OutOfMemory;
        } else {
            std::size_t got = 0;
            bool read = true;
            try {
                got = Read(buffer.get(), static_cast<std::size_t>(length));
            } catch (const CFileException& readFailure) {
                status = StatusFromCause(readFailure.cause);
                read = false;
            }
            if (read) {
                loaded = ParseRecord(FileImage { buffer.get(), got }, record);
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
        major = static_cast<std::uint8_t>(record.version >> 8);
        minor = static_cast<std::uint8_t>(record.version & 0xFF);
    }
    return loaded;
}

void TabrixDocument::SetTargetVersion(std::uint8_t major, std::uint8_t minor)
{
    targetVersion = static_cast<FormatVersion>(major * 256 + minor);
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
    CFileException failure;
    if (!Open(destinationPath.c_str(), saveFlags, &failure))
        return StatusFromCause(failure.cause);
    ConvStatus status = BadFormat;
    switch (targetVersion) {
    case version10:
        status = WriteVersion10(*this, record);
        break;
    case version11:
        status = WriteVersion11(*this, record);
        break;
    case version12:
        status = WriteVersion12(*this, record);
        break;
    default:
        break;
    }
    try {
        Close();
    } catch (...) {
        Abort();
        throw;
    }
    return status;
}
