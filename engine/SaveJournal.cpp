#include "engine/SaveJournal.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <random>

namespace SaveJournal {

namespace {
using Handle = FileSystem::Handle;

// Header: fifteen numbers, every one little-endian; then the checksums of the new sectors and of
// the new bytes up to the old end, then the old bytes.
constexpr char magic[8] = { 'K', 'V', 'J', 'R', 'N', 'L', '0', '2' };
// The first format named its file by identity alone, and is refused: magic, volume, file, birth,
// length and two checksums; the file where this format has it, the birth after it.
constexpr char firstMagic[8] = { 'K', 'V', 'J', 'R', 'N', 'L', '0', '1' };
constexpr std::size_t firstBirthField = 3;
enum Field : std::size_t {
    magicField,
    volumeField,
    fileField,
    fileHighField,
    generationField,
    birthField,
    volumeKindField,
    volumeHighField,
    volumeLowField,
    oldLengthField,
    newLengthField,
    oldSumField,
    tableSumField,
    headerSumField,
    fieldCount,
};
constexpr std::size_t headerSize = fieldCount * 8;
constexpr std::size_t checkedHeader = headerSize - 8;
constexpr std::size_t chunkSize = 1 << 20;
// The most old bytes kept in memory where there is no journal; more go to a temporary file.
constexpr std::uint64_t inMemory = std::uint64_t(64) << 20;
const char nameSuffix[] = ".journal";
// A journal's name: the file's number and 8 hex digits of its own (33 characters); the first
// format's: the volume's and the file's numbers (41).
constexpr std::size_t nameLength = 16 + 1 + 8 + 8;
constexpr std::size_t firstNameLength = 16 + 1 + 16 + 8;

using Header = std::array<unsigned char, headerSize>;

// A 64-bit checksum of a stream of bytes, taken eight at a time however the stream is cut into
// pieces: quick enough to take in passing, fine enough that a torn or altered sector shows.
class Checksum {
public:
    void Add(const unsigned char* bytes, std::size_t count)
    {
        length += count;
        for (; count > 0 && filled > 0; --count)
            Take(*bytes++);
        for (; count >= 8; bytes += 8, count -= 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes, 8);
            state = Mixed(state, word);
        }
        for (; count > 0; --count)
            Take(*bytes++);
    }
    std::uint64_t Value() const
    {
        std::uint64_t sum = (filled ? Mixed(state, word) : state) ^ length;
        sum ^= sum >> 33;
        sum *= 0xFF51AFD7ED558CCDu;
        return sum ^ (sum >> 33);
    }

private:
    static std::uint64_t Mixed(std::uint64_t sum, std::uint64_t word)
    {
        sum ^= word;
        return ((sum << 23) | (sum >> 41)) * 0x9E3779B97F4A7C15u;
    }
    void Take(unsigned char byte)
    {
        word |= std::uint64_t(byte) << (8 * filled);
        if (++filled == 8)
            state = Mixed(state, word), word = 0, filled = 0;
    }

    std::uint64_t state = 0xCBF29CE484222325u, word = 0, length = 0;
    unsigned filled = 0;
};

std::uint64_t SumOf(const unsigned char* bytes, std::size_t count)
{
    Checksum sum;
    sum.Add(bytes, count);
    return sum.Value();
}

void PutNumber(unsigned char* at, std::uint64_t value)
{
    for (std::size_t i = 0; i < 8; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint64_t NumberAt(const unsigned char* at)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i)
        value |= std::uint64_t(at[i]) << (8 * i);
    return value;
}

std::uint64_t FieldOf(const Header& header, Field field)
{
    return NumberAt(header.data() + field * 8);
}

std::string Hex(std::uint64_t value, int digits)
{
    char text[20];
    std::snprintf(text, sizeof text, "%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

// A name no journal has yet: the file's number, then eight random hex digits.
std::string NewName(const Identity& id)
{
    std::uint32_t own = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&id));
    try {
        own ^= std::random_device {}();
    } catch (...) {
        // The address alone is enough: a taken name is refused by the publish.
    }
    return Hex(id.file, 16) + "-" + Hex(own, 8) + nameSuffix;
}

// The name is that of a journal of the file with this number, in either format.
bool NamedFor(const std::string& name, std::uint64_t file)
{
    const std::string number = Hex(file, 16);
    if (name.size() < sizeof nameSuffix || name.compare(name.size() - 8, 8, nameSuffix) != 0)
        return false;
    return (name.size() == nameLength && name.compare(0, 17, number + "-") == 0)
        || (name.size() == firstNameLength && name.compare(17, 16, number) == 0);
}

// A number that both sides keep and that differs tells another file.
bool Differ(std::uint64_t named, std::uint64_t file)
{
    return named != 0 && file != 0 && named != file;
}

// The journal that names `named` may be the file's: nothing lasting that both keep differs. A
// device number is no such thing: a remount changes it.
bool MayBeOf(const Identity& named, const Identity& file)
{
    const bool lastingVolume = named.volumeId.kind != VolumeId::Kind::None
        && named.volumeId.kind != VolumeId::Kind::Device && named.volumeId.kind == file.volumeId.kind;
    return named.file == file.file && named.fileHigh == file.fileHigh && !Differ(named.generation, file.generation)
        && !Differ(named.birth, file.birth) && !(lastingVolume && !(named.volumeId == file.volumeId));
}

Header MakeHeader(const Identity& id, std::uint64_t oldLength, const NewContent& next, std::uint64_t oldSum,
    std::uint64_t tableSum)
{
    Header header {};
    std::memcpy(header.data(), magic, sizeof magic);
    const std::uint64_t values[] = { 0, id.volume, id.file, id.fileHigh, id.generation, id.birth,
        std::uint64_t(id.volumeId.kind), id.volumeId.high, id.volumeId.low, oldLength, next.length, oldSum, tableSum };
    for (std::size_t field = volumeField; field < headerSumField; ++field)
        PutNumber(header.data() + field * 8, values[field]);
    PutNumber(header.data() + headerSumField * 8, SumOf(header.data(), checkedHeader));
    return header;
}

Identity IdentityIn(const Header& header)
{
    Identity id { FieldOf(header, volumeField), FieldOf(header, fileField), FieldOf(header, birthField),
        FieldOf(header, fileHighField), FieldOf(header, generationField), {} };
    id.volumeId = { VolumeId::Kind(FieldOf(header, volumeKindField)), FieldOf(header, volumeHighField),
        FieldOf(header, volumeLowField) };
    return id;
}

// Gives a file's bytes from an offset on, a sector at a time, read in big pieces.
class SectorReader {
public:
    SectorReader(FileSystem& files, Handle file)
        : files(files)
        , file(file)
        , buffer(new (std::nothrow) unsigned char[chunkSize])
    {
    }
    FileError Start(std::uint64_t offset)
    {
        at = held = 0;
        return buffer ? files.Seek(file, offset) : FileError { FileErrorCause::Generic, -1 };
    }
    // count bytes, fewer only at the end of the file.
    FileError Next(std::size_t count, const unsigned char*& bytes, std::size_t& got)
    {
        if (held - at < count) {
            std::memmove(buffer.get(), buffer.get() + at, held - at);
            held -= at, at = 0;
            std::size_t read = 0;
            if (FileError failed = files.Read(file, buffer.get() + held, chunkSize - held, read))
                return failed;
            held += read;
        }
        bytes = buffer.get() + at;
        got = std::min(count, held - at);
        at += got;
        return {};
    }

private:
    FileSystem& files;
    Handle file;
    std::unique_ptr<unsigned char[]> buffer;
    std::size_t at = 0, held = 0;
};

// Copies from `from` at fromOffset to `to` at toOffset, until the end of `from` or `limit` bytes:
// the count copied and their checksum.
FileError Copy(FileSystem& files, Handle from, std::uint64_t fromOffset, Handle to, std::uint64_t toOffset,
    std::uint64_t limit, std::uint64_t& copied, std::uint64_t& sum)
{
    SectorReader reader(files, from);
    Checksum checksum;
    copied = 0;
    FileError failed = reader.Start(fromOffset);
    if (!failed)
        failed = files.Seek(to, toOffset);
    for (std::size_t got = chunkSize; !failed && got == chunkSize && copied < limit;) {
        const unsigned char* bytes = nullptr;
        if (!(failed = reader.Next(std::size_t(std::min<std::uint64_t>(chunkSize, limit - copied)), bytes, got))
            && !(failed = files.Write(to, bytes, got)))
            checksum.Add(bytes, got), copied += got;
    }
    sum = checksum.Value();
    return failed;
}

// What a journal says of the new content, read back from it.
struct Told {
    std::uint64_t oldLength, newLength;
    std::vector<std::uint64_t> sums;
    std::uint64_t sumToOldEnd;
};

// A sector of the file as the interrupted rewrite could have left it, at `start`, with `told` and
// the old bytes of the sector: as it was; new (then old up to where the file ends, the sector
// where the new content ended having been written whole); or new but cut where the old content
// ended, the length not having grown yet.
bool Explained(const Told& told, std::uint64_t start, const unsigned char* now, std::size_t count,
    const unsigned char* old, std::size_t oldCount)
{
    if (count <= oldCount && std::memcmp(now, old, count) == 0)
        return true;
    if (start >= told.newLength)
        return false;
    const std::size_t fresh = std::size_t(std::min<std::uint64_t>(start + sectorSize, told.newLength) - start);
    if (fresh <= count)
        return SumOf(now, fresh) == told.sums[std::size_t(start / sectorSize)]
            && (count == fresh || (count <= oldCount && std::memcmp(now + fresh, old + fresh, count - fresh) == 0));
    return told.oldLength < told.newLength && start + count == told.oldLength && SumOf(now, count) == told.sumToOldEnd;
}

enum class Verdict { Valid, Refused, OtherFile, Spent };

// The file (read by reader, now `length` bytes) is in a state the rewrite could have left, and
// the old bytes in the journal from dataOffset on are whole.
FileError CheckState(FileSystem& files, Handle journal, std::uint64_t dataOffset, std::uint64_t oldSum, Handle reader,
    std::uint64_t length, const Told& told, Verdict& verdict)
{
    // The length is the old or the new one, or, while a content that grows is written, on a
    // sector's edge between them: a file cut short by another program is not taken for one.
    verdict = Verdict::Refused;
    const bool growing = told.oldLength < length && length < told.newLength && length % sectorSize == 0;
    if (length != told.oldLength && length != told.newLength && !growing)
        return {};
    SectorReader old(files, journal), now(files, reader);
    Checksum sum;
    FileError failed = old.Start(dataOffset);
    if (!failed)
        failed = now.Start(0);
    for (std::uint64_t at = 0; !failed && at < std::max(length, told.oldLength); at += sectorSize) {
        const unsigned char *oldBytes = nullptr, *nowBytes = nullptr;
        std::size_t oldCount = 0, nowCount = 0;
        const auto want = [&](std::uint64_t end) {
            return std::size_t(std::min<std::uint64_t>(sectorSize, end > at ? end - at : 0));
        };
        if ((failed = old.Next(want(told.oldLength), oldBytes, oldCount))
            || (failed = now.Next(want(length), nowBytes, nowCount)))
            break;
        if (oldCount != want(told.oldLength) || nowCount != want(length))
            return {};
        sum.Add(oldBytes, oldCount);
        if (nowCount > 0 && !Explained(told, at, nowBytes, nowCount, oldBytes, oldCount))
            return {};
    }
    if (!failed && sum.Value() == oldSum)
        verdict = Verdict::Valid;
    return failed;
}

// Checks one journal of the file's number against the file.
FileError Check(FileSystem& files, const HeldFolder& folder, Found& journal, Handle reader, const FileInfo& file,
    Verdict& verdict)
{
    verdict = Verdict::Refused;
    ScopedHandle opened(files);
    FileInfo info;
    // A link, a folder, a device, another user's file or one of several names: not ours to play back.
    if (files.OpenNamed(folder, journal.name, opened.handle) || files.Examine(opened.handle, info) || !info.regular
        || !(info.mine || !files.Provides().owners) || info.links != 1)
        return {};
    if (info.length == 0)
        verdict = Verdict::Spent;
    if (info.length < headerSize)
        return {};
    Header header {};
    std::size_t got = 0;
    if (FileError failed = files.Seek(opened.handle, 0))
        return failed;
    if (FileError failed = files.Read(opened.handle, header.data(), headerSize, got))
        return failed;
    const Identity named = IdentityIn(header);
    if (std::memcmp(header.data(), firstMagic, sizeof firstMagic) == 0) {
        verdict = named.file == file.id.file && !Differ(FieldOf(header, Field(firstBirthField)), file.id.birth)
            ? Verdict::Refused
            : Verdict::OtherFile;
        return {};
    }
    if (got != headerSize || std::memcmp(header.data(), magic, sizeof magic) != 0
        || FieldOf(header, headerSumField) != SumOf(header.data(), checkedHeader))
        return {};
    // A journal under the file's name that names another file is not to be trusted.
    if (named.file != file.id.file)
        return {};
    if (!MayBeOf(named, file.id)) {
        verdict = Verdict::OtherFile;
        return {};
    }
    Told told { FieldOf(header, oldLengthField), FieldOf(header, newLengthField), {}, 0 };
    // A table that could not fit in the journal is not read.
    const std::uint64_t sectors = told.newLength / sectorSize + (told.newLength % sectorSize != 0);
    if (sectors >= info.length / 8)
        return {};
    const std::uint64_t tableBytes = (sectors + 1) * 8;
    if (info.length - headerSize < tableBytes || info.length - headerSize - tableBytes != told.oldLength)
        return {};
    std::vector<unsigned char> table(static_cast<std::size_t>(tableBytes));
    if (FileError failed = files.Read(opened.handle, table.data(), table.size(), got))
        return failed;
    if (got != table.size() || SumOf(table.data(), table.size()) != FieldOf(header, tableSumField))
        return {};
    for (std::size_t i = 0; i < sectors; ++i)
        told.sums.push_back(NumberAt(table.data() + i * 8));
    told.sumToOldEnd = NumberAt(table.data() + sectors * 8);
    journal.oldLength = told.oldLength;
    journal.dataOffset = headerSize + tableBytes;
    return CheckState(files, opened.handle, journal.dataOffset, FieldOf(header, oldSumField), reader, file.length, told,
        verdict);
}
}

void NewContent::Write(const void* buffer, std::size_t count)
{
    Add(static_cast<const unsigned char*>(buffer), count);
}

void NewContent::Flush()
{
    if (filled > 0)
        EndSector();
}

void NewContent::Add(const unsigned char* bytes, std::size_t count)
{
    while (count > 0) {
        const std::uint64_t start = length - filled;
        // A sector that holds the old content's end is taken up to it first.
        const bool holdsOldEnd = oldLength > length && oldLength < start + sectorSize;
        std::size_t taken = std::min(count, sectorSize - filled);
        if (holdsOldEnd)
            taken = std::min<std::size_t>(taken, std::size_t(oldLength - length));
        std::memcpy(sector + filled, bytes, taken);
        filled += taken, length += taken, bytes += taken, count -= taken;
        if (holdsOldEnd && length == oldLength && filled < sectorSize)
            sumToOldEnd = SumOf(sector, filled);
        if (filled == sectorSize)
            EndSector();
    }
}

void NewContent::EndSector()
{
    sums.push_back(SumOf(sector, filled));
    filled = 0;
}

FileError Write(FileSystem& files, const HeldFolder& folder, Handle reader, const FileInfo& info,
    const NewContent& next, std::string& name)
{
    std::vector<unsigned char> table((next.sums.size() + 1) * 8);
    for (std::size_t i = 0; i < next.sums.size(); ++i)
        PutNumber(table.data() + i * 8, next.sums[i]);
    PutNumber(table.data() + next.sums.size() * 8, next.sumToOldEnd);
    UnnamedFile journal(files);
    std::uint64_t length = 0, sum = 0;
    FileError failed = files.MakeUnnamed(folder, Visibility::Private, journal);
    if (!failed)
        failed = Copy(files, reader, 0, journal.handle, headerSize + table.size(), UINT64_MAX, length, sum);
    const Header header = MakeHeader(info.id, length, next, sum, SumOf(table.data(), table.size()));
    if (!failed && !(failed = files.Seek(journal.handle, 0))
        && !(failed = files.Write(journal.handle, header.data(), header.size())))
        failed = files.Write(journal.handle, table.data(), table.size());
    // Complete and on the disk before it gets its name: a journal under its name is whole.
    if (!failed)
        failed = files.Sync(journal.handle);
    name = NewName(info.id);
    if (!failed)
        failed = files.Publish(folder, journal, name, Publishing::IfFree);
    // It is kept only once its name is on the disk too.
    if (!failed && (failed = files.SyncFolder(folder)))
        files.Remove(folder, name);
    files.Discard(folder, journal);
    return failed;
}

FileError FindAll(FileSystem& files, const HeldFolder& folder, Handle held, const FileInfo& info,
    std::vector<Found>& found)
{
    found.clear();
    std::vector<std::string> names;
    if (FileError failed = files.ListFolder(folder, names))
        return failed;
    std::sort(names.begin(), names.end());
    std::erase_if(names, [&](const std::string& name) { return !NamedFor(name, info.id.file); });
    if (names.empty())
        return {};
    // The file's content decides, as it is now: it is read with this user's own rights.
    ScopedHandle reader(files);
    FileInfo now = info;
    if (FileError failed = files.OpenForReading(held, reader.handle))
        return failed;
    if (FileError failed = files.Examine(reader.handle, now))
        return failed;
    for (const std::string& name : names) {
        Found journal { name };
        Verdict verdict = Verdict::Refused;
        if (FileError failed = Check(files, folder, journal, reader.handle, now, verdict))
            return failed;
        journal.verdict = verdict == Verdict::Valid ? Found::Verdict::Valid
            : verdict == Verdict::Spent             ? Found::Verdict::Spent
                                                    : Found::Verdict::Refused;
        if (verdict != Verdict::OtherFile)
            found.push_back(journal);
    }
    return {};
}

FileError Aside::Keep(FileSystem& files, Handle reader, std::uint64_t size, bool& kept)
{
    kept = false;
    std::uint64_t sum = 0;
    std::size_t got = 0;
    if (size <= inMemory) {
        try {
            bytes.resize(static_cast<std::size_t>(size));
        } catch (const std::bad_alloc&) {
            size = inMemory + 1; // a temporary file, then
        }
    }
    if (size <= inMemory) {
        FileError failed = files.Seek(reader, 0);
        if (!failed)
            failed = files.Read(reader, bytes.data(), bytes.size(), got);
        bytes.resize(got), length = got, kept = !failed;
        return failed;
    }
    if (files.MakeTemporary(temporary))
        return {};
    const FileError failed = Copy(files, reader, 0, temporary.handle, 0, UINT64_MAX, length, sum);
    kept = !failed;
    return failed;
}

FileError Aside::PutBack(FileSystem& files, Handle file)
{
    std::uint64_t copied = 0, sum = 0;
    FileError failed;
    if (temporary.handle != FileSystem::noHandle) {
        failed = Copy(files, temporary.handle, 0, file, 0, length, copied, sum);
    } else if (!(failed = files.Seek(file, 0))) {
        failed = files.Write(file, bytes.data(), bytes.size());
    }
    if (!failed)
        failed = files.CutAtPosition(file);
    if (!failed)
        failed = files.Sync(file);
    return failed;
}

FileError Retire(FileSystem& files, const HeldFolder& folder, const std::string& name)
{
    if (!files.Provides().lastingRemove) {
        ScopedHandle journal(files);
        FileError failed = files.OpenLikePlainWrite(folder, name, Creation::OpenExisting, journal.handle);
        if (!failed && !(failed = files.Seek(journal.handle, 0)) && !(failed = files.CutAtPosition(journal.handle)))
            failed = files.Sync(journal.handle);
        if (failed)
            return failed;
    }
    return files.Remove(folder, name);
}

FileError CopyBack(FileSystem& files, const HeldFolder& folder, const Found& journal, Handle file)
{
    ScopedHandle opened(files);
    std::uint64_t copied = 0, sum = 0;
    FileInfo now;
    FileError failed = files.OpenNamed(folder, journal.name, opened.handle);
    if (!failed)
        failed = files.Examine(file, now);
    // A file that grew is cut to its old length first, and the cut put on the disk: a playback
    // cut short then leaves old sectors over new ones, a state the checks know.
    if (!failed && now.length > journal.oldLength && !(failed = files.Seek(file, journal.oldLength))
        && !(failed = files.CutAtPosition(file)))
        failed = files.Sync(file);
    if (!failed)
        failed = Copy(files, opened.handle, journal.dataOffset, file, 0, journal.oldLength, copied, sum);
    if (!failed && copied != journal.oldLength)
        failed = { FileErrorCause::EndOfFile, -1 };
    if (!failed)
        failed = files.CutAtPosition(file);
    if (!failed)
        failed = files.Sync(file);
    return failed;
}

}
