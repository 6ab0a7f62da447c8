#pragma once

// Whole-file operations beside CFile: what a save needs to keep the old content of its
// destination until the new content is complete, and to lose nothing that hangs on it.
//
// A save goes one of two ways. Replace: a new private file is written beside the destination
// and put in its place in one step. In place: the old bytes are copied to a backup, the
// destination is rewritten as a plain write would, and on failure the backup is copied back.
//
// What a crash leaves. Replace: nothing beside the destination where the system can make a
// file without a name (Linux); elsewhere a `~kvXXXXX.tmp` beside it. In place: the backup
// ("<name>.kovrel-backup" beside the destination, else "kovrel-backup-<number>-<name>" in the
// user's temporary folder), flushed to the disk before the destination was cut, so it holds
// the last complete content. The next save of that destination goes in place and takes that
// backup as its own instead of copying the possibly half-written destination: a failure puts
// the backup's bytes back, a success removes it.

#include "platform/CFile.h"
#include "platform/FileErrorCause.h"

#include <cstdint>
#include <functional>
#include <string>

namespace FileSystem {

// A replacement's open: the save's own access and sharing (others may write, not read), on a
// new file that only its owner may open.
inline constexpr unsigned replacementFlags = CFile::modeWrite | CFile::shareDenyRead | CFile::modeCreate
    | CFile::modeCreateNew | CFile::modePrivate | CFile::typeBinary;

enum class SaveWay {
    Replace, // a new file put in place of the old one in one step
    InPlace, // the old file rewritten, its old bytes kept in a backup meanwhile
    Direct,  // a device or a pipe: nothing to keep, the bytes go straight to it
};

struct SavePlan {
    SaveWay way = SaveWay::Replace;
    // The file that writing to the destination reaches: through symbolic links, also one that
    // leads nowhere yet (the save creates the file it names).
    std::string target;
    bool exists = false;
};

// What the system says of a save of newSize bytes to destination: Replace only when replacing
// loses nothing (a missing file, or a plain file with one link whose owner, group, mode and
// attributes the new file can carry, on a volume with room for both) and no backup of a
// crashed save waits for it.
SavePlan PlanSave(const std::string& destination, std::uint64_t newSize);

// A new private file that takes the place of target in one step once it is complete; until
// then target is untouched. Destroying an uncommitted one removes the new file.
class Replacement {
public:
    Replacement() = default;
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;
    ~Replacement();

    // Opens file on the new file (owner only); false with failure filled in.
    bool Open(CFile& file, const std::string& target, CFileException& failure);
    // After file is closed: gives the new file target's owner and mode through its handle and
    // puts it in place. On failure target holds its old content.
    FileErrorCause Commit();

private:
    // Opens file on a new file beside target under a name of its own.
    bool OpenNamed(CFile& file, CFileException& failure);

    std::string target;
    std::string name; // empty while the new file has no name
    FileBackend::Handle kept = FileBackend::invalidHandle;
    bool committed = false;
};

// The old bytes of a file that is rewritten in place.
class Backup {
public:
    // Copies target's bytes to a new private backup and flushes it, or takes the backup that a
    // crashed save of target left.
    FileErrorCause Keep(const std::string& target);
    // Copies the backup's bytes back into target, then removes the backup; false (and the
    // backup stays) when that fails.
    bool Restore();
    // Removes the backup once the new content is complete.
    void Discard();
    // True when Keep took the backup of a crashed save.
    bool IsLeftover() const { return leftover; }

private:
    std::string target;
    std::string path;
    bool leftover = false;
};

// The backup that a crashed in-place save of target left, or empty.
std::string LeftoverBackup(const std::string& target);

// Tries new names beside target ("~kvXXXXX.tmp") until make, given one, does not fail with
// "name taken". Returns make's last result: 0 or the system's error.
long MakeBeside(const std::string& target, std::string& name, const std::function<long(const std::string&)>& make);

// The step that puts a replacement in place of destination (Windows: ReplaceFileA with a
// backup name; POSIX: rename). 0 or the system's error. Tests put a failing one in.
using ReplaceStep = long (*)(const char* destination, const char* replacement, const char* backup);
void SetReplaceStep(ReplaceStep step); // nullptr: the system's
long SystemReplace(const char* destination, const char* replacement, const char* backup);
extern ReplaceStep replaceStep;

// The folder part of path, up to and including its last separator; empty for a bare name.
std::string FolderOf(const std::string& path);
// path from the root, without resolving links.
std::string FullPath(const std::string& path);
// The user's own folder for temporary files, with its separator.
std::string TemporaryFolder();
// An existing plain file that only this user owns and may read (a backup we made).
bool IsOwnPrivateFile(const std::string& path);

// 0, or the error that recreating the existing file at path would give although opening it
// for writing succeeds (Windows refuses to recreate a hidden or system file).
long RecreateRefusal(const char* path);

// Deletes a file.
long Remove(const char* path);

// True when creating a new file failed only because the name is taken.
bool IsNameTaken(long osError);

// The cause of a system error code of this back end.
FileErrorCause Cause(long osError);

}
