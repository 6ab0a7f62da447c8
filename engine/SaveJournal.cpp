#include "engine/SaveJournal.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace SaveJournal {

namespace {
using Handle = FileSystem::Handle;

// Header: magic, volume, file, birth, old length, checksum of the old bytes, checksum of the
// header's first 48 bytes; then the old bytes. Every number little-endian.
constexpr char magic[8] = { 'K', 'V', 'J', 'R', 'N', 'L', '0', '1' };
constexpr std::size_t fieldCount = 7;
constexpr std::size_t headerSize = fieldCount * 8;
constexpr std::size_t checkedHeader = headerSize - 8;
constexpr std::size_t chunkSize = 1 << 20;
constexpr std::uint64_t checksumBasis = 0xCBF29CE484222325u;
constexpr std::uint64_t checksumPrime = 0x100000001B3u;

using Header = std::array<unsigned char, headerSize>;

// FNV-1a, 64 bits: a torn or altered journal does not pass for a complete one.
std::uint64_t Checksum(std::uint64_t sum, const unsigned char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        sum = (sum ^ bytes[i]) * checksumPrime;
    return sum;
}

void PutNumber(Header& header, std::size_t field, std::uint64_t value)
{
    for (std::size_t i = 0; i < 8; ++i)
        header[field * 8 + i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint64_t NumberAt(const Header& header, std::size_t field)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i)
        value |= std::uint64_t(header[field * 8 + i]) << (8 * i);
    return value;
}

enum Field : std::size_t { magicField, volumeField, fileField, birthField, lengthField, dataSumField, headerSumField };

Header MakeHeader(const Identity& id, std::uint64_t length, std::uint64_t dataSum)
{
    Header header {};
    std::memcpy(header.data(), magic, sizeof magic);
    PutNumber(header, volumeField, id.volume);
    PutNumber(header, fileField, id.file);
    PutNumber(header, birthField, id.birth);
    PutNumber(header, lengthField, length);
    PutNumber(header, dataSumField, dataSum);
    PutNumber(header, headerSumField, Checksum(checksumBasis, header.data(), checkedHeader));
    return header;
}

std::unique_ptr<unsigned char[]> Chunk()
{
    return std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[chunkSize]);
}

// Copies from `from` at fromOffset to `to` (none: nowhere) at toOffset until the end of `from` or
// `limit` bytes; gives the count copied and the checksum of the bytes.
FileError Copy(FileSystem& files, Handle from, std::uint64_t fromOffset, Handle to, std::uint64_t toOffset,
    std::uint64_t limit, std::uint64_t& copied, std::uint64_t& sum)
{
    std::unique_ptr<unsigned char[]> chunk = Chunk();
    if (!chunk)
        return { FileErrorCause::Generic, -1 };
    copied = 0;
    sum = checksumBasis;
    FileError failed = files.Seek(from, fromOffset);
    if (!failed && to != FileSystem::noHandle)
        failed = files.Seek(to, toOffset);
    while (!failed && copied < limit) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunkSize, limit - copied));
        std::size_t got = 0;
        if ((failed = files.Read(from, chunk.get(), want, got)))
            break;
        if (to != FileSystem::noHandle && (failed = files.Write(to, chunk.get(), got)))
            break;
        sum = Checksum(sum, chunk.get(), got);
        copied += got;
        if (got < want)
            break;
    }
    return failed;
}

// Refused, Valid, or Unreadable with the cause of a failed read.
Found Check(FileSystem& files, Handle file, const FileInfo& destination, std::uint64_t& oldLength, FileError& failure)
{
    FileInfo info;
    // Ours, where the system says who owns a file; the folder is ours in any case.
    if (files.Examine(file, info) || !info.regular || !(info.mine || !files.Provides().owners) || info.links != 1
        || info.length < headerSize)
        return Found::Refused;
    Header header {};
    std::size_t got = 0;
    if ((failure = files.Seek(file, 0)) || (failure = files.Read(file, header.data(), headerSize, got)))
        return Found::Unreadable;
    if (got != headerSize || std::memcmp(header.data(), magic, sizeof magic) != 0
        || NumberAt(header, headerSumField) != Checksum(checksumBasis, header.data(), checkedHeader))
        return Found::Refused;
    const Identity named { NumberAt(header, volumeField), NumberAt(header, fileField), NumberAt(header, birthField) };
    oldLength = NumberAt(header, lengthField);
    if (!(named == destination.id) || info.length - headerSize != oldLength)
        return Found::Refused;
    std::uint64_t read = 0, sum = 0;
    if ((failure = Copy(files, file, headerSize, FileSystem::noHandle, 0, oldLength, read, sum)))
        return Found::Unreadable;
    return read == oldLength && sum == NumberAt(header, dataSumField) ? Found::Valid : Found::Refused;
}
}

std::string NameFor(const Identity& id)
{
    char name[64];
    std::snprintf(name, sizeof name, "%016llx-%016llx.journal", static_cast<unsigned long long>(id.volume),
        static_cast<unsigned long long>(id.file));
    return name;
}

FileError Write(FileSystem& files, const HeldFolder& folder, Handle reader, const FileInfo& info)
{
    UnnamedFile journal(files);
    const std::string name = NameFor(info.id);
    std::uint64_t length = 0, sum = 0;
    FileError failed = files.MakeUnnamed(folder, Visibility::Private, journal);
    if (!failed)
        failed = Copy(files, reader, 0, journal.handle, headerSize, UINT64_MAX, length, sum);
    const Header header = MakeHeader(info.id, length, sum);
    if (!failed && !(failed = files.Seek(journal.handle, 0)))
        failed = files.Write(journal.handle, header.data(), header.size());
    // Complete and on the disk before it gets its name: a journal under its name is whole.
    if (!failed)
        failed = files.Sync(journal.handle);
    if (!failed)
        failed = files.Publish(folder, journal, name, Publishing::Replacing);
    // It is kept only once its name is on the disk too.
    if (!failed && (failed = files.SyncFolder(folder)))
        files.Remove(folder, name);
    files.Discard(folder, journal);
    return failed;
}

Found Find(FileSystem& files, const HeldFolder& folder, const FileInfo& info, Journal& journal, FileError& failure)
{
    journal.name = NameFor(info.id);
    failure = files.OpenNamed(folder, journal.name, journal.file.handle);
    if (failure.cause == FileErrorCause::FileNotFound)
        return Found::None;
    // A link, a folder, a device: not a journal of ours.
    if (failure)
        return Found::Refused;
    return Check(files, journal.file.handle, info, journal.oldLength, failure);
}

FileError CopyBack(FileSystem& files, const Journal& journal, Handle file)
{
    std::uint64_t copied = 0, sum = 0;
    FileError failed = Copy(files, journal.file.handle, headerSize, file, 0, journal.oldLength, copied, sum);
    if (!failed && copied != journal.oldLength)
        failed = { FileErrorCause::EndOfFile, -1 };
    if (!failed)
        failed = files.CutAtPosition(file);
    if (!failed)
        failed = files.Sync(file);
    return failed;
}

}
