// The save, every step in one sequence. A destination is never left half old and half new, and
// the save reaches exactly the file that a plain write of the destination would reach.
//
//  1. The destination's folder is opened once. A name that nothing bears gets a new file that
//     has no name until its content is complete (SaveNew).
//  2. Otherwise the destination is opened as a plain write opens it, without cutting it: the
//     system alone follows links and applies its rules. It is locked for the whole save.
//  3. A journal of this very file, left by an interrupted in-place save, is played back first.
//  4. The way: a device or pipe is written directly. A plain file whose name holds it alone,
//     whose owner and mode a new file can carry, with room for a copy, is replaced (the new file
//     on the disk before it takes the old one's place). Any other is rewritten in place under a
//     journal of its old bytes; removing the journal is the commit, and any failure before it
//     plays the journal back.
#include "engine/RecordWriters.h"
#include "engine/SaveJournal.h"
#include "engine/TabrixDocument.h"

#include "platform/file/FileSystem.h"

#include <new>

namespace {
using FileSystem::Facts;
using FileSystem::Handle;
using FileSystem::ScopedHandle;

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

ConvStatus StatusOf(FileErrorCause cause)
{
    return cause == FileErrorCause::None ? Success : StatusFromCause(cause);
}

// Plays back a valid journal of this file and removes it; journals that fail a check are never
// played back. A failed playback keeps the journal, and its cause is the save's.
ConvStatus PlayBackJournal(FileSystem::JournalFolder& journals, Handle file, const Facts& facts, Recovery& outcome)
{
    outcome = Recovery::NoJournal;
    SaveJournal::Journal journal;
    FileErrorCause failure = FileErrorCause::None;
    switch (SaveJournal::Find(journals, facts, journal, failure)) {
    case SaveJournal::Found::None:
        return Success;
    case SaveJournal::Found::Refused:
        outcome = Recovery::Refused;
        return Success;
    case SaveJournal::Found::Unreadable:
        return StatusFromCause(failure);
    case SaveJournal::Found::Valid:
        break;
    }
    if (FileErrorCause cause = SaveJournal::PlayBack(journal, file); cause != FileErrorCause::None)
        return StatusFromCause(cause);
    FileSystem::Close(journal.file.handle);
    // A journal that is gone, although its removal is not known to be on the disk, would only
    // give the same bytes back again.
    if (FileErrorCause cause = journals.Remove(journal.name); cause != FileErrorCause::None) {
        SaveJournal::Journal left;
        if (SaveJournal::Find(journals, facts, left, failure) != SaveJournal::Found::None)
            return StatusFromCause(cause);
    }
    outcome = Recovery::PlayedBack;
    return Success;
}

// The journal of an interrupted in-place save of this file goes back in first. The facts are
// those of the file afterwards.
ConvStatus PlayBackInterrupted(Handle file, Facts& facts, Recovery& outcome)
{
    FileSystem::JournalFolder journals;
    outcome = Recovery::NoJournal;
    if (journals.Open(false) != FileErrorCause::None)
        return Success; // no folder of journals: no interrupted save
    const ConvStatus status = PlayBackJournal(journals, file, facts, outcome);
    if (status != Success || outcome != Recovery::PlayedBack)
        return status;
    return StatusOf(FileSystem::Examine(file, facts));
}

// The save's own journal goes back in: the file has its old content again.
ConvStatus RollBack(FileSystem::JournalFolder& journals, Handle file, const Facts& facts)
{
    Recovery outcome;
    const ConvStatus status = PlayBackJournal(journals, file, facts, outcome);
    return status == Success && outcome != Recovery::PlayedBack ? CannotOpen : status;
}

// The destination opened as a plain write opens it (without create, only a file that exists),
// locked for the whole save, and its facts.
FileErrorCause OpenLocked(const FileSystem::Place& place, bool create, Handle& file, Facts& facts)
{
    FileErrorCause cause = place.OpenLikePlainWrite(file, create);
    if (cause == FileErrorCause::None)
        cause = FileSystem::Lock(file);
    if (cause == FileErrorCause::None)
        cause = FileSystem::Examine(file, facts);
    return cause;
}

// Memory that runs out on the way is the framework's out-of-memory failure.
template<class Step>
ConvStatus RaisingMemory(Step step)
{
    try {
        return step();
    } catch (const std::bad_alloc&) {
        throw CMemoryException();
    }
}
}

ConvStatus TabrixDocument::Save()
{
    // An unknown version is refused before the destination is touched.
    if (!IsKnownVersion(targetVersion))
        return BadFormat;
    // What the system says of an empty name, without making a file in the working folder.
    if (destinationPath.empty())
        return StatusFromCause(FileErrorCause::BadPath);
    return RaisingMemory([&]() -> ConvStatus {
        FileSystem::Place place;
        if (FileErrorCause cause = place.Open(destinationPath); cause != FileErrorCause::None)
            return StatusFromCause(cause);
        if (place.NameIsFree())
            return SaveNew(place);
        ScopedHandle held;
        Facts facts;
        Recovery recovery;
        if (FileErrorCause cause = OpenLocked(place, true, held.handle, facts); cause != FileErrorCause::None)
            return StatusFromCause(cause);
        // A device or a pipe: nothing to keep, the bytes go straight to it.
        if (!facts.regular)
            return WriteRecord(held.handle);
        if (ConvStatus replayed = PlayBackInterrupted(held.handle, facts, recovery); replayed != Success)
            return replayed;
        if (facts.links == 1 && facts.carriable && place.NameHolds(facts.id)
            && place.HasRoomFor(TargetSize(record, targetVersion))) {
            // A folder that takes no new file leaves the way in place.
            if (std::optional<ConvStatus> replaced = SaveByReplacing(place, held.handle, facts))
                return *replaced;
        }
        return SaveInPlace(held.handle, facts);
    });
}

ConvStatus TabrixDocument::WriteRecord(Handle file, std::uint64_t* written)
{
    // The object writes through a handle of its own on the same open file, so that its close
    // (which the framework may fail) leaves the save's handle for the steps after it.
    Handle copy = FileSystem::noHandle;
    if (FileErrorCause cause = FileSystem::Duplicate(file, copy); cause != FileErrorCause::None)
        return StatusFromCause(cause);
    try {
        Attach(copy, destinationPath);
    } catch (...) {
        FileSystem::Close(copy);
        throw;
    }
    const ConvStatus status = WriteTarget(*this, record, targetVersion);
    if (status != Success) {
        Abort();
        return status;
    }
    // Where the bytes end: a rewrite in place cuts the file there.
    if (FileErrorCause cause = written ? FileSystem::Position(GetHandle(), *written) : FileErrorCause::None;
        cause != FileErrorCause::None) {
        Abort();
        return StatusFromCause(cause);
    }
    Close();
    return Success;
}

ConvStatus TabrixDocument::WriteFresh(FileSystem::Place& place, Handle& fresh)
{
    // A close that the framework fails leaves no new file behind.
    try {
        return WriteRecord(fresh);
    } catch (...) {
        place.Discard(fresh);
        throw;
    }
}

ConvStatus TabrixDocument::SaveNew(FileSystem::Place& place)
{
    ScopedHandle fresh;
    // What a plain create gives: the umask, or the folder's default ACL.
    if (FileErrorCause cause = place.MakeUnnamed(false, fresh.handle); cause != FileErrorCause::None)
        return StatusFromCause(cause);
    ConvStatus status = WriteFresh(place, fresh.handle);
    if (status == Success && !deferNewFileSync)
        status = StatusOf(FileSystem::Sync(fresh.handle));
    if (status == Success)
        status = StatusOf(place.PublishNew(fresh.handle));
    if (status != Success) {
        place.Discard(fresh.handle);
        return status;
    }
    return deferNewFileSync ? Success : StatusOf(place.SyncFolder());
}

std::optional<ConvStatus> TabrixDocument::SaveByReplacing(FileSystem::Place& place, Handle& held, const Facts& facts)
{
    ScopedHandle fresh;
    const FileErrorCause made = place.MakeUnnamed(true, fresh.handle);
    if (made == FileErrorCause::AccessDenied)
        return std::nullopt;
    if (made != FileErrorCause::None)
        return StatusFromCause(made);
    ConvStatus status = WriteFresh(place, fresh.handle);
    // On the disk before it takes the old file's place, in a batch too: a power cut leaves the
    // one or the other whole.
    if (status == Success)
        status = StatusOf(FileSystem::Sync(fresh.handle));
    if (status == Success)
        status = StatusOf(FileSystem::CarryAttributes(held, fresh.handle));
    if (status == Success)
        status = StatusOf(place.PublishOver(fresh.handle, held, facts.id));
    if (status != Success) {
        place.Discard(fresh.handle);
        return status;
    }
    return StatusOf(place.SyncFolder());
}

ConvStatus TabrixDocument::SaveInPlace(Handle held, const Facts& facts)
{
    FileSystem::JournalFolder journals;
    if (FileErrorCause cause = journals.Open(true); cause != FileErrorCause::None)
        return StatusFromCause(cause);
    {
        // A destination that we may write but not read cannot be kept: it is refused.
        ScopedHandle reader;
        FileErrorCause cause = FileSystem::OpenForReading(held, reader.handle);
        if (cause == FileErrorCause::None)
            cause = SaveJournal::Keep(journals, reader.handle, facts);
        if (cause != FileErrorCause::None)
            return StatusFromCause(cause);
    }
    // From here until the journal goes, the destination may be half rewritten. The new bytes go
    // over the old ones, which keeps their room for a playback on a full volume.
    std::uint64_t written = 0;
    ConvStatus status = StatusOf(FileSystem::Rewind(held));
    try {
        if (status == Success)
            status = WriteRecord(held, &written);
    } catch (...) {
        RollBack(journals, held, facts);
        throw;
    }
    if (status == Success)
        status = StatusOf(FileSystem::CutAt(held, written));
    if (status == Success)
        status = StatusOf(FileSystem::Sync(held));
    if (status != Success) {
        const ConvStatus rolledBack = RollBack(journals, held, facts);
        return rolledBack != Success ? rolledBack : status;
    }
    // The commit: once the journal is gone, the new content stands.
    const FileErrorCause removed = journals.Remove(SaveJournal::NameFor(facts.id));
    if (removed == FileErrorCause::None)
        return Success;
    // Still there: the old content goes back. Gone, but not known to be gone from the disk: the
    // new content stays, and a journal that comes back after a power cut gives the old one back.
    const ConvStatus rolledBack = RollBack(journals, held, facts);
    return rolledBack != Success && rolledBack != CannotOpen ? rolledBack : StatusFromCause(removed);
}

ConvStatus RecoverInterruptedSave(const std::string& path, Recovery& outcome)
{
    outcome = Recovery::NoJournal;
    return RaisingMemory([&]() -> ConvStatus {
        FileSystem::Place place;
        FileErrorCause cause = place.Open(path);
        if (cause == FileErrorCause::None && place.NameIsFree())
            cause = FileErrorCause::FileNotFound;
        ScopedHandle file;
        Facts facts;
        if (cause == FileErrorCause::None)
            cause = OpenLocked(place, false, file.handle, facts);
        if (cause != FileErrorCause::None)
            return StatusFromCause(cause);
        return facts.regular ? PlayBackInterrupted(file.handle, facts, outcome) : Success;
    });
}
