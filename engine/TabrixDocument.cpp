#include "engine/TabrixDocument.h"

#include "engine/RecordParser.h"

#include "platform/file/ImageMemory.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {
constexpr unsigned loadFlags = CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary; // 0x8020
// A stream comes in pieces, the first as big as a pipe holds, each later one as big as all before it
// up to a size that keeps the room left over small.
constexpr std::size_t firstPiece = std::size_t(64) << 10;
constexpr std::size_t largestPiece = std::size_t(16) << 20;

int StorePath(std::string& field, const char* path)
{
    try {
        field = path ? path : "";
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

// Whether the open file is a plain file, whose length is its bytes; raises as GetLength does.
bool IsPlainFile(CFile& file)
{
    FileInfo info;
    if (FileError error = file.Files().Examine(file.GetHandle(), info))
        throw CFileException(error, file.GetFilePath());
    return info.regular;
}

// The file of length bytes with one read request, into one image with a byte to spare.
ConvStatus ReadWhole(CFile& file, std::uint64_t length, SharedImage& image)
{
    if (length <= maxImageSize)
        image.bytes = ImageMemory::Allocate(static_cast<std::size_t>(length) + 1);
    if (!image.bytes)
        return OutOfMemory;
    try {
        image.size = file.Read(image.bytes.get(), static_cast<std::size_t>(length));
    } catch (const CFileException& failure) {
        return StatusFromCause(failure.cause);
    }
    return Success;
}

}

ConvStatus ReadToEnd(CFile& file, std::uint64_t expected, SharedImage& image, std::uint64_t limit)
{
    limit = std::min(limit, maxImageSize);
    try {
        std::vector<SharedImage> pieces;
        std::uint64_t total = 0;
        std::uint64_t next = std::max<std::uint64_t>(std::min(expected, limit) + 1, firstPiece);
        for (bool ended = false; !ended;) {
            // One byte more than may still come tells a stream that goes on past the limit.
            const auto size = static_cast<std::size_t>(std::min(next, limit - total + 1));
            SharedImage piece { ImageMemory::Allocate(size), 0 };
            if (!piece.bytes)
                return OutOfMemory;
            try {
                piece.size = file.Read(piece.bytes.get(), size);
            } catch (const CFileException& failure) {
                return StatusFromCause(failure.cause);
            }
            total += piece.size;
            if (total > limit)
                return OutOfMemory;
            ended = piece.size < size;
            pieces.push_back(std::move(piece));
            next = std::clamp<std::uint64_t>(total, firstPiece, largestPiece);
        }
        // A stream that fitted its first piece is its image, with room to spare.
        if (pieces.size() == 1) {
            image = std::move(pieces.front());
            return Success;
        }
        SharedImage whole { ImageMemory::Allocate(static_cast<std::size_t>(total) + 1), 0 };
        if (!whole.bytes)
            return OutOfMemory;
        for (SharedImage& piece : pieces) {
            std::memcpy(whole.bytes.get() + whole.size, piece.bytes.get(), piece.size);
            whole.size += piece.size;
            piece.bytes.reset();
        }
        image = std::move(whole);
        return Success;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
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
    return ReadAndParse(false);
}

ConvStatus TabrixDocument::LoadFrom(FileSystem::Handle borrowed)
{
    // No stream at all: what a closed descriptor gives.
    if (borrowed == FileSystem::noHandle)
        return StatusFromCause(FileErrorCause::InvalidFile);
    try {
        Attach(borrowed, sourcePath);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    return ReadAndParse(true);
}

ConvStatus TabrixDocument::ReadAndParse(bool borrowed)
{
    ConvStatus status = Success;
    try {
        // A borrowed handle's length only sizes its first piece: one that tells none (a file that
        // Wine hands in as standard input) is read all the same.
        std::uint64_t length = 0;
        try {
            length = GetLength();
        } catch (const CFileException&) {
            if (!borrowed)
                throw;
        }
        // The record keeps the image where its lists refer to their strings; otherwise it goes at
        // the end of the load. A borrowed handle is read from where it stands.
        SharedImage image;
        if (borrowed || (readStreamsToEnd && !IsPlainFile(*this)))
            status = ReadToEnd(*this, length, image);
        else
            status = ReadWhole(*this, length, image);
        if (status == Success) {
            loaded = ParseRecord(std::move(image), record);
            status = loaded == 1 ? Success : BadFormat;
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
