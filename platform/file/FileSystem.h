#pragma once

// The one file layer: every call that CFile and the save make on the system goes through a
// FileSystem. Each call does one thing and decides nothing; which steps a save takes, and in which
// order, is the engine's. The program uses the system's own (Native); a test gives a document a
// wrapper that fails or forgets what it chooses (tests/support/FileSystemWrappers.h).
//
// Contract of every call that returns a FileError: empty on success; on failure the error names
// the cause and the system's code, and nothing was changed that the call names unless it says so.
// Names are never resolved by hand: a destination is opened as a plain write opens it, so that the
// system alone follows links and applies its rules, and every later step works from its handle and
// its folder's.

#include "platform/file/FileErrorCause.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A volume's own name, which a remount keeps (its UUID, a number the system derives from it, a
// volume serial), or its device number, which a remount may change. Two are compared only when
// they are of the same kind.
struct VolumeId {
    enum class Kind : std::uint8_t { None, Device, DerivedFromUuid, Uuid, Serial };
    Kind kind = Kind::None;
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    bool operator==(const VolumeId&) const = default;
};

// Which file a handle is, whatever name leads to it: device and inode (POSIX), volume serial and
// file index (Windows), and the birth time where the system keeps one, so that a number given
// again to a later file does not match. Two identities are the same file while it is mounted when
// these three agree (Look sees no more).
struct Identity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t birth = 0;
    // What Examine adds, 0 where the system keeps none: the upper half of a 128-bit file id
    // (Windows), the inode's generation, which a file number given again changes (POSIX), and the
    // volume's own id.
    std::uint64_t fileHigh = 0;
    std::uint64_t generation = 0;
    VolumeId volumeId;
    bool operator==(const Identity& other) const
    {
        return volume == other.volume && file == other.file && birth == other.birth;
    }
};

// What an open file is.
struct FileInfo {
    Identity id;
    bool regular = false; // a plain file, not a device, pipe or socket
    std::uint64_t length = 0;
    std::uint32_t links = 0;
    bool mine = false; // owned by this user, where the system tells (Provides)
    // A new file can be given all that this one carries: owner, group and mode, and no ACL or
    // security label that a new file would lack.
    bool recreatable = false;
};

// What a folder's entry of a name is, not followed if it is a link.
struct Entry {
    enum class Kind {
        None,  // no entry at all, not even a link that leads nowhere
        File,  // a plain file under the name itself: not a link, not mounted over the name
        Other, // a link, a folder, a device, a mount
    };
    Kind kind = Kind::None;
    Identity id; // of a File
};

// The entry is the plain file with this identity.
inline bool IsFile(const Entry& entry, const Identity& id)
{
    return entry.kind == Entry::Kind::File && entry.id == id;
}

enum class Creation { OpenExisting, CreateMissing };
// Who may open a new file once it is published: its owner only, or as a plain create makes it
// (the umask, or the folder's default ACL).
enum class Visibility { Private, AsPlainCreate };
// How a complete new file takes a name.
enum class Publishing {
    IfFree,     // only where no entry bears the name; fails when it was taken meanwhile
    Exchanging, // in place of the plain file with the given identity, in one step; fails, and
                // leaves the name as it is, when the name leads to anything else
    Replacing,  // in place of whatever bears the name
};

using FileHandle = std::intptr_t;
inline constexpr FileHandle noFileHandle = -1;
class FileSystem;

// Closes its handle, through the file system that opened it, when it goes.
class ScopedHandle {
public:
    explicit ScopedHandle(FileSystem& files)
        : files(files)
    {
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() { Reset(); }
    void Reset();
    FileHandle handle = noFileHandle;

protected:
    FileSystem& files;
};

// A folder, opened once: a save's names are looked up, made, published and removed in it. POSIX
// holds it by its handle; Windows, whose calls take paths, by its path alone.
struct HeldFolder : ScopedHandle {
    using ScopedHandle::ScopedHandle;
    std::string path; // as given, up to and including its last separator
};

// A file that nobody can open by name until it is published: without a name where the system
// makes such files, else under a temporary name of its own in its folder.
struct UnnamedFile : ScopedHandle {
    using ScopedHandle::ScopedHandle;
    std::string temporaryName;
};

class FileSystem {
public:
    using Handle = FileHandle;
    static constexpr Handle noHandle = noFileHandle;

    // What a system can promise, for the save to ask before it relies on it.
    struct Promises {
        bool owners;       // FileInfo::mine tells whether this user owns a file
        bool folderSync;   // SyncFolder puts a folder's names on the disk; else each name is
                           // written through to the disk as it changes
        bool heldExchange; // Publish Exchanging works while the old file is held open; else the
                           // save must close it first
        bool lastingRemove; // a Remove is on the disk once SyncFolder (or, without it, Remove)
                            // returned; else a power cut may bring the name back, with its bytes
    };

    virtual ~FileSystem() = default;
    // The system's own.
    static FileSystem& Native();
    virtual Promises Provides() const = 0;

    // Any open file. flags are CFile's; Open never creates a folder and refuses to open one.
    virtual FileError Open(const std::string& path, unsigned flags, Handle& file) = 0;
    // got is less than count only at the end of the file.
    virtual FileError Read(Handle file, void* buffer, std::size_t count, std::size_t& got) = 0;
    // All count bytes at the file's position, or a failure (a full disk when the system takes none).
    virtual FileError Write(Handle file, const void* buffer, std::size_t count) = 0;
    virtual FileError Seek(Handle file, std::uint64_t offset) = 0;
    // The file ends at its position.
    virtual FileError CutAtPosition(Handle file) = 0;
    // Waits until the file's bytes are on the disk; a pipe or a device has none to wait for.
    virtual FileError Sync(Handle file) = 0;
    virtual FileError Examine(Handle file, FileInfo& info) = 0;
    // Exclusive for as long as the handle is open: another save, or a reader that shares no
    // writing, is refused as the system refuses a file held by another program.
    virtual FileError Lock(Handle file) = 0;
    // A second handle on the same file, for reading, with this user's own rights on it.
    virtual FileError OpenForReading(Handle file, Handle& reader) = 0;
    // Gives `to` the owner, group and mode of `from`, through the handles.
    virtual FileError CarryAttributes(Handle from, Handle to) = 0;
    // The handle is gone whatever the result.
    virtual FileError Close(Handle file) = 0;

    // Names in a folder.
    virtual FileError OpenFolder(const std::string& path, HeldFolder& folder) = 0;
    // The user's own folder of journals: owned by this user and open to no other, on storage that
    // outlives a reboot, with every folder above it owned by this user or an administrator and
    // writable by no one else; any other is refused (AccessDenied) and left as it is. FileNotFound
    // when it does not exist. CreateMissing makes what is missing, but only in this user's own
    // folders, and puts it on the disk.
    virtual FileError OpenJournalFolder(Creation creation, HeldFolder& folder) = 0;
    // Where that folder is, for messages.
    virtual std::string JournalFolderPath() = 0;
    // Never fails: a name that cannot be looked at is Other, and the open that follows says why,
    // as a plain write would.
    virtual Entry Look(const HeldFolder& folder, const std::string& name) = 0;
    // What the name leads to, links followed (a File then is the plain file they lead to).
    virtual Entry LookThrough(const HeldFolder& folder, const std::string& name) = 0;
    // Opens the name for writing as a plain write does, but without cutting it.
    virtual FileError OpenLikePlainWrite(const HeldFolder& folder, const std::string& name, Creation creation,
        Handle& file)
        = 0;
    // Opens the name for reading, never through a link.
    virtual FileError OpenNamed(const HeldFolder& folder, const std::string& name, Handle& file) = 0;
    virtual FileError MakeUnnamed(const HeldFolder& folder, Visibility visibility, UnnamedFile& file) = 0;
    // A private file for reading and writing in the system's folder for temporary files, which
    // goes when it is closed.
    virtual FileError MakeTemporary(UnnamedFile& file) = 0;
    // Gives a complete new file the name, as `how` says (replaced: the identity of the file it
    // replaces). Afterwards the handle may have been closed; Discard closes what is left.
    virtual FileError Publish(const HeldFolder& folder, UnnamedFile& file, const std::string& name, Publishing how,
        const Identity& replaced = {})
        = 0;
    virtual FileError Remove(const HeldFolder& folder, const std::string& name) = 0;
    // Waits until the folder's names are on the disk.
    virtual FileError SyncFolder(const HeldFolder& folder) = 0;
    // The names of the folder's entries but its folders (files, links, devices), in no order.
    virtual FileError ListFolder(const HeldFolder& folder, std::vector<std::string>& names) = 0;
    // Closes a new file that was not published, and removes its temporary name.
    virtual void Discard(const HeldFolder& folder, UnnamedFile& file) = 0;

protected:
    // Names tried before giving up: a clash means another program is saving beside us.
    static constexpr int nameAttempts = 64;
    // A fresh temporary name, "~kvXXXXX.tmp": short, so that it fits wherever a name fits.
    static std::string TemporaryName();
};

inline void ScopedHandle::Reset()
{
    if (handle != noFileHandle)
        files.Close(handle);
    handle = noFileHandle;
}

// The folder part of path, up to and including its last separator; empty for a bare name.
std::string FolderOf(const std::string& path);
// What follows the folder part.
std::string FileNameOf(const std::string& path);
