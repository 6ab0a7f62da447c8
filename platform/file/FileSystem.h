#pragma once

// What a save needs of the system beyond CFile. Each call does one thing and decides nothing:
// the steps of a save, and which way it takes, are the engine's (TabrixDocument::Save).
//
// Names are never resolved by hand. The destination is opened as a plain write opens it, so
// the system alone follows links and applies its rules; its folder is opened once, and every
// later step works from these two handles.

#include "platform/file/FileBackend.h"
#include "platform/file/FileErrorCause.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace FileSystem {

using Handle = FileBackend::Handle;
inline constexpr Handle noHandle = FileBackend::invalidHandle;
// Names as the system's calls take them: Windows' wide `\\?\` paths, POSIX bytes.
#ifdef _WIN32
using NativeName = std::wstring;
#else
using NativeName = std::string;
#endif

// Which file a handle is, whatever name leads to it: device and inode (POSIX), volume serial
// and file index (Windows), and the file's birth time where the system keeps one, so that a
// number given again to a later file does not match.
struct Identity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t birth = 0;
    bool operator==(const Identity&) const = default;
};

struct Facts {
    Identity id;
    bool regular = false; // a plain file, not a device, pipe or socket
    std::uint64_t length = 0;
    std::uint32_t links = 0;
    bool mine = false; // owned by this user
    // A new file can be given its owner, group and mode, and it carries nothing else that a
    // new file would lack (ACLs, security labels).
    bool carriable = false;
};

FileErrorCause Examine(Handle file, Facts& facts);
// Exclusive for as long as the handle is open: another save, or a reader that shares no
// writing, is refused as the system refuses a file held by another program.
FileErrorCause Lock(Handle file);
// A second handle on the same open file: it shares the position and the lock.
FileErrorCause Duplicate(Handle file, Handle& copy);
// A second handle on the same file, for reading, with this user's own rights.
FileErrorCause OpenForReading(Handle file, Handle& reader);
// got is less than count only at the end of the file.
FileErrorCause ReadAt(Handle file, std::uint64_t offset, void* buffer, std::size_t count, std::size_t& got);
FileErrorCause WriteAt(Handle file, std::uint64_t offset, const void* buffer, std::size_t count);
// Sets the length; the position is left alone.
FileErrorCause CutAt(Handle file, std::uint64_t length);
FileErrorCause Position(Handle file, std::uint64_t& position);
FileErrorCause Rewind(Handle file);
// Waits until the file's bytes are on the disk.
FileErrorCause Sync(Handle file);
// Gives `to` the owner, group and mode of `from`, through the handles.
FileErrorCause CarryAttributes(Handle from, Handle to);
void Close(Handle& file);

// Closes its handle when it goes.
struct ScopedHandle {
    ScopedHandle() = default;
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() { Close(handle); }
    Handle handle = noHandle;
};

// The destination's folder, opened once, and the destination's name in it.
class Place {
public:
    Place() = default;
    Place(const Place&) = delete;
    Place& operator=(const Place&) = delete;
    ~Place();

    FileErrorCause Open(const std::string& path);
    // No entry bears the name: neither a file nor a link, not even one that leads nowhere.
    bool NameIsFree() const;
    // Opens the destination for writing as a plain write does, but without cutting it; without
    // create, only a file that exists.
    FileErrorCause OpenLikePlainWrite(Handle& file, bool create = true) const;
    // The folder's entry of the name is this very file: not a link to it, not a mount on it.
    bool NameHolds(const Identity& id) const;
    bool HasRoomFor(std::uint64_t bytes) const;
    // A new file in the folder that nobody can open by name until it is published: private
    // (its owner only), or as a plain create of the destination would make it.
    FileErrorCause MakeUnnamed(bool privateFile, Handle& file);
    // Gives a complete new file the destination's name; fails when the name was taken meanwhile.
    FileErrorCause PublishNew(Handle& file);
    // Puts a complete new file in the place of `held`, the file that the name led to when the
    // save opened it, in one step. Fails, and leaves the name alone, when it leads elsewhere
    // now. Where the system cannot replace a file that is held open, `held` is closed first.
    FileErrorCause PublishOver(Handle& file, Handle& held, const Identity& old);
    // Waits until the folder's entries are on the disk.
    FileErrorCause SyncFolder() const;
    // Closes a new file that was not published, and removes the name it had meanwhile.
    void Discard(Handle& file);

private:
    std::string path;
    std::string folder;
    std::string name;
    NativeName longPath; // Windows: the destination as a `\\?\` path
    Handle folderHandle = noHandle;
    // Where the system makes no file without a name: the temporary name of the new file.
    NativeName pending;
};

// The user's own folder of journals: on storage that outlives a power cut, where no other user
// can plant, replace or read a file.
class JournalFolder {
public:
    JournalFolder() = default;
    JournalFolder(const JournalFolder&) = delete;
    JournalFolder& operator=(const JournalFolder&) = delete;
    ~JournalFolder();

    // create: make the folder when it is missing. A folder that another user owns or may
    // write or read is refused.
    FileErrorCause Open(bool create);
    // Opens a journal for reading, not through a link.
    FileErrorCause OpenJournal(const std::string& name, Handle& file) const;
    // A new private file that has no name until published.
    FileErrorCause MakeUnnamed(Handle& file);
    // Gives a complete journal its name, in place of any file that bore it, and syncs the folder.
    FileErrorCause Publish(Handle& file, const std::string& name);
    // Removes a journal and syncs the folder.
    FileErrorCause Remove(const std::string& name);
    // Closes a journal that was not published, and removes the name it had meanwhile.
    void Discard(Handle& file);
    // Where the folder is (for messages).
    static std::string Location();

private:
    NativeName path;
    Handle folderHandle = noHandle;
    NativeName pending;
};

// The folder part of path, up to and including its last separator; empty for a bare name.
std::string FolderOf(const std::string& path);
// What follows the folder part.
std::string FileNameOf(const std::string& path);

// The save's own steps that a test can fail: each asks the hook first, and fails with the
// system error it gives (0: go on).
enum class Step { Read, Write, Cut, Sync, Publish, Remove };
using FaultHook = long (*)(Step step);
void SetFaultHook(FaultHook hook);
// The temporary names that come next are "~kv<seed>.tmp" and on, counting up (in hex).
void SetTemporaryNameSeed(std::uint32_t seed);

}
