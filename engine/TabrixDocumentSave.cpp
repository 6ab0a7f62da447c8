// The save, in named phases. A destination is never left half old and half new, and the save
// reaches exactly the file that a plain write of the destination would reach.
//
//  1. Open and lock: the destination's folder is opened once. A name that nothing bears gets a
//     new file. Otherwise the destination is opened as a plain write opens it, without
//     cutting it, so that the system alone follows links and applies its rules, and it is locked
//     for the whole save.
//  2. Recover: a journal of this very file, left by an interrupted in-place save, is played back.
//  3. Choose the way: a device or pipe is written directly. A plain file whose name holds it
//     alone and whose owner and mode a new file can carry is replaced; any other is rewritten in
//     place under a journal of its old bytes, and so is one whose folder takes no new file or
//     whose volume has no room for a second copy.
//  4. Write: the new content, on the disk before its commit.
//  5. Commit, one function per way: the new file takes its free name (CommitNewFile), the new
//     file takes the old one's place in one step (CommitReplacement), the journal goes
//     (CommitInPlace). A failure before the commit leaves the old content, or nothing new.
//  6. Clean up: new files that were not published go, with their temporary names; handles close.
#include "engine/RecordWriters.h"
#include "engine/SaveJournal.h"
#include "engine/TabrixDocument.h"

#include <new>

namespace {

using Handle = FileSystem::Handle;

// Opens of a destination that another save replaced meanwhile, before the save gives up.
constexpr int lockAttempts = 3;

ConvStatus StatusOf(const FileError& error)
{
    return error ? StatusFromCause(error.cause) : Success;
}

// A new file that goes again, with its temporary name, unless its commit published it.
struct PendingFile : UnnamedFile {
    PendingFile(FileSystem& files, const HeldFolder& folder)
        : UnnamedFile(files)
        , folder(folder)
    {
    }
    ~PendingFile() { files.Discard(folder, *this); }
    const HeldFolder& folder;
};

// Plays back the journal of the file that info describes that passes every check, if one does
// (only the one named `only`, where given), and removes it; refused journals stay for a person. For
// an interrupted save, a rollback and a failed commit alike.
Playback PlayBack(FileSystem& files, const HeldFolder& journals, Handle file, const FileInfo& info,
    const std::string* only = nullptr)
{
    std::vector<SaveJournal::Found> found;
    if (FileError failed = SaveJournal::FindAll(files, journals, file, info, found))
        return { StatusOf(failed), Recovery::NoJournal, {}, true };
    Playback back;
    const SaveJournal::Found* valid = nullptr;
    for (const SaveJournal::Found& journal : found) {
        if (only && journal.name != *only)
            continue;
        if (journal.verdict == SaveJournal::Found::Verdict::Spent)
            files.Remove(journals, journal.name);
        else if (journal.verdict == SaveJournal::Found::Verdict::Refused)
            back.refused.push_back(journal.name);
        else if (!valid)
            valid = &journal;
    }
    back.outcome = back.refused.empty() ? Recovery::NoJournal : Recovery::Refused;
    if (!valid)
        return back;
    if (FileError failed = SaveJournal::CopyBack(files, journals, *valid, file))
        return { StatusOf(failed), back.outcome, back.refused };
    if (FileError failed = files.Remove(journals, valid->name))
        return { StatusOf(failed), back.outcome, back.refused };
    // Gone, if perhaps not yet from the disk: it would only give the same bytes back again.
    files.SyncFolder(journals);
    back.outcome = Recovery::PlayedBack;
    return back;
}

// The save's own journal goes back in; the save fails with its own status, or the playback's.
ConvStatus RollBack(FileSystem& files, const HeldFolder& journals, Handle file, const FileInfo& info,
    const std::string& journal, ConvStatus failure)
{
    const Playback back = PlayBack(files, journals, file, info, &journal);
    return back.status != Success ? back.status : failure;
}

// The commit of a new file: it takes the free name, which goes on the disk unless a batch syncs
// the folder at its end.
ConvStatus CommitNewFile(FileSystem& files, const HeldFolder& folder, UnnamedFile& fresh, const std::string& name,
    bool deferFolderSync)
{
    if (FileError failed = files.Publish(folder, fresh, name, Publishing::IfFree))
        return StatusOf(failed);
    return deferFolderSync ? Success : StatusOf(files.SyncFolder(folder));
}

// The commit of a replacement: the new file takes the place of the held one in one step, and the
// folder's names go on the disk.
ConvStatus CommitReplacement(FileSystem& files, const HeldFolder& folder, UnnamedFile& fresh, const std::string& name,
    ScopedHandle& held, const Identity& old)
{
    // Where the system cannot exchange a file held open, the save lets go of it; the exchange
    // still checks that the name leads to it.
    if (!files.Provides().heldExchange)
        held.Reset();
    if (FileError failed = files.Publish(folder, fresh, name, Publishing::Exchanging, old))
        return StatusOf(failed);
    return StatusOf(files.SyncFolder(folder));
}

// The commit of an in-place save: once its journal is gone, the new content stands.
ConvStatus CommitInPlace(FileSystem& files, const HeldFolder& journals, Handle file, const FileInfo& info,
    const std::string& journal)
{
    if (FileError failed = SaveJournal::Retire(files, journals, journal))
        return RollBack(files, journals, file, info, journal, StatusOf(failed));
    // Gone, but not known to be gone from the disk: the new content stays, and a journal that
    // comes back after a power cut gives the old one back.
    return StatusOf(files.SyncFolder(journals));
}

// Writes over the held file from its start (write), cuts it there and puts it on the disk; after a
// failure, or one that the framework raises, undo puts the old content back. The new bytes go over
// the old ones, which keeps their room for the undoing on a full volume.
template<class Write, class Undo>
ConvStatus Rewrite(FileSystem& files, Handle held, Write write, Undo undo)
{
    ConvStatus status = StatusOf(files.Seek(held, 0));
    try {
        if (status == Success)
            status = write();
    } catch (...) {
        undo();
        throw;
    }
    if (status == Success)
        status = StatusOf(files.CutAtPosition(held));
    if (status == Success)
        status = StatusOf(files.Sync(held));
    if (status == Success)
        return Success;
    const ConvStatus undone = undo();
    return undone != Success ? undone : status;
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

// The destination: its folder and name, the file held open and locked, and what it is.
struct SaveDestination {
    explicit SaveDestination(FileSystem& files)
        : folder(files)
        , held(files)
    {
    }
    // Opens the folder and looks at the name.
    ConvStatus Open(FileSystem& files, const std::string& path)
    {
        name = FileNameOf(path);
        // A name that ends in a separator is a folder, which no save writes.
        if (name.empty())
            return AccessDenied;
        return StatusOf(files.OpenFolder(path, folder));
    }
    // Opens the file as a plain write opens it, locks it for the whole save, and examines it.
    // Once locked, the name must still lead to the file: another save that replaced it between the
    // open and the lock has left an orphan, and the name is opened again, a bounded number of times.
    ConvStatus OpenAndLock(FileSystem& files, Creation creation)
    {
        for (int attempt = 0; attempt < lockAttempts; ++attempt) {
            held.Reset();
            FileError failed = files.OpenLikePlainWrite(folder, name, creation, held.handle);
            if (!failed)
                failed = files.Lock(held.handle);
            if (!failed)
                failed = files.Examine(held.handle, info);
            if (failed || !info.regular || IsFile(files.LookThrough(folder, name), info.id))
                return StatusOf(failed);
        }
        return CannotOpen;
    }
    // The journal of an interrupted in-place save of this file goes back in first; without a
    // folder of journals there was none. The file is examined again afterwards.
    Playback Recover(FileSystem& files)
    {
        HeldFolder journals(files);
        if (!info.regular)
            return {};
        if (FileError failed = files.OpenJournalFolder(Creation::OpenExisting, journals))
            return failed.cause == FileErrorCause::FileNotFound
                ? Playback {}
                : Playback { StatusOf(failed), Recovery::NoJournal, {}, true };
        Playback back = PlayBack(files, journals, held.handle, info);
        if (back.status == Success && back.outcome == Recovery::PlayedBack)
            back.status = StatusOf(files.Examine(held.handle, info));
        return back;
    }
    SaveWay ChooseWay(FileSystem& files) const
    {
        if (!info.regular)
            return SaveWay::Direct;
        // The name holds the file itself, alone: not a link to it, not a mount on it.
        const bool alone = info.links == 1 && IsFile(files.Look(folder, name), info.id);
        return alone && info.recreatable ? SaveWay::Replace : SaveWay::InPlace;
    }

    HeldFolder folder;
    std::string name;
    ScopedHandle held;
    FileInfo info;
};

ConvStatus TabrixDocument::Save()
{
    // An unknown version is refused before the destination is touched.
    if (!IsKnownVersion(targetVersion))
        return BadFormat;
    // What the system says of an empty name, without making a file in the working folder.
    if (destinationPath.empty())
        return StatusFromCause(FileErrorCause::BadPath);
    recoveryFailure = journalFailure = Success;
    return RaisingMemory([&]() -> ConvStatus {
        SaveDestination destination(Files());
        if (ConvStatus opened = destination.Open(Files(), destinationPath); opened != Success)
            return opened;
        if (Files().Look(destination.folder, destination.name).kind == Entry::Kind::None)
            return *SaveNewFile(destination, SaveWay::New);
        if (ConvStatus locked = destination.OpenAndLock(Files(), Creation::CreateMissing); locked != Success)
            return locked;
        // A folder of journals that cannot be read leaves the save to go on without a playback, and
        // is told (GetRecoveryFailure).
        const Playback recovered = destination.Recover(Files());
        if (recovered.lookupFailed)
            recoveryFailure = recovered.status;
        else if (recovered.status != Success)
            return recovered.status;
        const SaveWay way = destination.ChooseWay(Files());
        if (way == SaveWay::Direct)
            return WriteRecord(destination.held.handle);
        if (way == SaveWay::Replace) {
            if (std::optional<ConvStatus> replaced = SaveNewFile(destination, SaveWay::Replace))
                return *replaced;
        }
        return SaveInPlace(destination);
    });
}

ConvStatus TabrixDocument::WriteRecord(Handle file)
{
    // The writers go through this object's buffered writes; the caller keeps its handle.
    Attach(file, destinationPath);
    const ConvStatus status = WriteVersion(*this, record, targetVersion);
    if (status != Success) {
        Abort();
        return status;
    }
    // A failure that the framework raises here leaves the save.
    Close();
    return Success;
}

std::optional<ConvStatus> TabrixDocument::SaveNewFile(SaveDestination& destination, SaveWay way)
{
    FileSystem& files = Files();
    const bool replacing = way == SaveWay::Replace;
    PendingFile fresh(files, destination.folder);
    // A file of a free name is made as a plain create makes it (the umask, or the folder's default
    // ACL); a replacement stays private until it carries the old file's owner and mode.
    const FileError made
        = files.MakeUnnamed(destination.folder, replacing ? Visibility::Private : Visibility::AsPlainCreate, fresh);
    // A folder that takes no new file leaves a replacement to the in-place way.
    if (replacing && made.cause == FileErrorCause::AccessDenied)
        return std::nullopt;
    if (made)
        return StatusOf(made);
    ConvStatus status = WriteRecord(fresh.handle);
    // On the disk before it takes a name, in a batch too: a power cut leaves the one or the other whole.
    if (status == Success)
        status = StatusOf(files.Sync(fresh.handle));
    // So does a volume without room for a second copy, once this copy has gone.
    if (replacing && status == DiskFull)
        return std::nullopt;
    if (status == Success && replacing)
        status = StatusOf(files.CarryAttributes(destination.held.handle, fresh.handle));
    if (status == Success && replacing)
        return CommitReplacement(files, destination.folder, fresh, destination.name, destination.held,
            destination.info.id);
    if (status == Success)
        return CommitNewFile(files, destination.folder, fresh, destination.name, deferFolderSync);
    return status;
}

ConvStatus TabrixDocument::SaveInPlace(SaveDestination& destination)
{
    FileSystem& files = Files();
    const Handle held = destination.held.handle;
    HeldFolder journals(files);
    if (FileError failed = files.OpenJournalFolder(Creation::CreateMissing, journals)) {
        journalFailure = StatusOf(failed);
        return SaveInPlaceAside(destination);
    }
    std::string journal;
    {
        // A destination that we may write but not read cannot be kept: it is refused. The new
        // content's checksums come from the writer, before a byte of the destination is overwritten.
        ScopedHandle reader(files);
        SaveJournal::NewContent next(destination.info.length);
        WriteVersion(next, record, targetVersion);
        FileError failed = files.OpenForReading(held, reader.handle);
        if (!failed)
            failed = SaveJournal::Write(files, journals, reader.handle, destination.info, next, journal);
        if (failed)
            return StatusOf(failed);
    }
    // From here until the journal goes, the destination may be half rewritten.
    const ConvStatus status = Rewrite(
        files, held, [&] { return WriteRecord(held); },
        [&] { return PlayBack(files, journals, held, destination.info, &journal).status; });
    return status != Success ? status : CommitInPlace(files, journals, held, destination.info, journal);
}

ConvStatus TabrixDocument::SaveInPlaceAside(SaveDestination& destination)
{
    // Without a folder of journals of this user's own, the old bytes are kept aside and put back on
    // any failure; only a crash can then leave the file torn. Where they cannot even be kept
    // aside, the file is written as a plain write would.
    FileSystem& files = Files();
    const Handle held = destination.held.handle;
    SaveJournal::Aside aside(files);
    bool kept = false;
    {
        ScopedHandle reader(files);
        FileError failed = files.OpenForReading(held, reader.handle);
        if (!failed)
            failed = aside.Keep(files, reader.handle, destination.info.length, kept);
        if (failed)
            return StatusOf(failed);
    }
    return Rewrite(
        files, held, [&] { return WriteRecord(held); },
        [&] { return kept ? StatusOf(aside.PutBack(files, held)) : Success; });
}

Playback RecoverInterruptedSave(const std::string& path, FileSystem& files, Refusals refusals)
{
    Playback result;
    result.status = RaisingMemory([&]() -> ConvStatus {
        SaveDestination destination(files);
        ConvStatus status = destination.Open(files, path);
        if (status == Success && files.Look(destination.folder, destination.name).kind == Entry::Kind::None)
            status = FileNotFound;
        if (status == Success)
            status = destination.OpenAndLock(files, Creation::OpenExisting);
        if (status != Success)
            return status;
        result = destination.Recover(files);
        if (result.status != Success || refusals == Refusals::Keep || result.refused.empty())
            return result.status;
        // A person has looked at them: they go, and their names with them from the disk.
        HeldFolder journals(files);
        FileError failed = files.OpenJournalFolder(Creation::OpenExisting, journals);
        for (const std::string& refused : result.refused) {
            if (!failed)
                failed = files.Remove(journals, refused);
        }
        if (!failed)
            failed = files.SyncFolder(journals);
        if (!failed && result.outcome == Recovery::Refused)
            result.outcome = Recovery::Discarded;
        return StatusOf(failed);
    });
    return result;
}
