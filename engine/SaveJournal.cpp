#include "engine/SaveJournal.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace SaveJournal {

namespace {
using FileSystem::Handle;

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

Header MakeHeader(const FileSystem::Identity& id, std::uint64_t length, std::uint64_t dataSum)
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

// Copies from `from` at fromOffset to `to` at toOffset until the end of `from` or `limit` bytes;
// gives the count copied and the checksum of the bytes.
FileErrorCause Copy(Handle from, std::uint64_t fromOffset, Handle to, std::uint64_t toOffset, std::uint64_t limit,
    std::uint64_t& copied, std::uint64_t& sum)
{
    std::unique_ptr<unsigned char[]> chunk = Chunk();
    if (!chunk)
        return FileErrorCause::Generic;
    copied = 0;
    sum = checksumBasis;
    while (copied < limit) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunkSize, limit - copied));
        std::size_t got = 0;
        if (FileErrorCause cause = FileSystem::ReadAt(from, fromOffset + copied, chunk.get(), want, got);
            cause != FileErrorCause::None)
            return cause;
        if (to != FileSystem::noHandle) {
            if (FileErrorCause cause = FileSystem::WriteAt(to, toOffset + copied, chunk.get(), got);
                cause != FileErrorCause::None)
                return cause;
        }
        sum = Checksum(sum, chunk.get(), got);
        copied += got;
        if (got < want)
            break;
    }
    return FileErrorCause::None;
}

// Refused, Valid, or Unreadable with the cause of a failed read.
Found Check(Handle file, const FileSystem::Facts& destination, std::uint64_t& oldLength, FileErrorCause& failure)
{
    FileSystem::Facts facts;
    if (FileSystem::Examine(file, facts) != FileErrorCause::None || !facts.regular || !facts.mine || facts.links != 1
        || facts.length < headerSize)
        return Found::Refused;
    Header header {};
    std::size_t got = 0;
    if ((failure = FileSystem::ReadAt(file, 0, header.data(), headerSize, got)) != FileErrorCause::None)
        return Found::Unreadable;
    if (got != headerSize || std::memcmp(header.data(), magic, sizeof magic) != 0
        || NumberAt(header, headerSumField) != Checksum(checksumBasis, header.data(), checkedHeader))
        return Found::Refused;
    const FileSystem::Identity named { NumberAt(header, volumeField), NumberAt(header, fileField),
        NumberAt(header, birthField) };
    oldLength = NumberAt(header, lengthField);
    if (!(named == destination.id) || facts.length - headerSize != oldLength)
        return Found::Refused;
    std::uint64_t read = 0, sum = 0;
    if ((failure = Copy(file, headerSize, FileSystem::noHandle, 0, oldLength, read, sum)) != FileErrorCause::None)
        return Found::Unreadable;
    return read == oldLength && sum == NumberAt(header, dataSumField) ? Found::Valid : Found::Refused;
}
}

std::string Location()
{
    return FileSystem::JournalFolder::Location();
}

std::string NameFor(const FileSystem::Identity& id)
{
    char name[64];
    std::snprintf(name, sizeof name, "%016llx-%016llx.journal", static_cast<unsigned long long>(id.volume),
        static_cast<unsigned long long>(id.file));
    return name;
}

FileErrorCause Keep(FileSystem::JournalFolder& folder, Handle reader, const FileSystem::Facts& facts)
{
    Handle journal = FileSystem::noHandle;
    if (FileErrorCause cause = folder.MakeUnnamed(journal); cause != FileErrorCause::None)
        return cause;
    std::uint64_t length = 0, sum = 0;
    FileErrorCause cause = Copy(reader, 0, journal, headerSize, UINT64_MAX, length, sum);
    if (cause == FileErrorCause::None) {
        const Header header = MakeHeader(facts.id, length, sum);
        cause = FileSystem::WriteAt(journal, 0, header.data(), header.size());
    }
    // Complete and on the disk before it gets its name: a journal under its name is whole.
    if (cause == FileErrorCause::None)
        cause = FileSystem::Sync(journal);
    if (cause == FileErrorCause::None)
        cause = folder.Publish(journal, NameFor(facts.id));
    folder.Discard(journal);
    return cause;
}

Found Find(const FileSystem::JournalFolder& folder, const FileSystem::Facts& facts, Journal& journal,
    FileErrorCause& failure)
{
    journal.name = NameFor(facts.id);
    failure = folder.OpenJournal(journal.name, journal.file.handle);
    if (failure == FileErrorCause::FileNotFound)
        return Found::None;
    // A link, a folder, a device: not a journal of ours.
    if (failure != FileErrorCause::None)
        return Found::Refused;
    return Check(journal.file.handle, facts, journal.oldLength, failure);
}

FileErrorCause PlayBack(const Journal& journal, Handle file)
{
    std::uint64_t copied = 0, sum = 0;
    FileErrorCause cause = Copy(journal.file.handle, headerSize, file, 0, journal.oldLength, copied, sum);
    if (cause == FileErrorCause::None && copied != journal.oldLength)
        cause = FileErrorCause::EndOfFile;
    if (cause == FileErrorCause::None)
        cause = FileSystem::CutAt(file, journal.oldLength);
    if (cause == FileErrorCause::None)
        cause = FileSystem::Sync(file);
    return cause;
}

}
