#pragma once

// The journal of an in-place save: the destination's old bytes, kept in the user's own journal
// folder while the destination is rewritten. It is published only once it is complete and on
// the disk, and it names its file by identity (never by path) with the old length and checksums.
// While it exists the destination may be half rewritten; removing it commits the save. A save,
// or `tbxconv recover`, that finds the journal of its file plays it back first, and only a
// journal that passes every check is ever played back.

#include "platform/file/FileSystem.h"

#include <cstdint>
#include <string>

namespace SaveJournal {

// Why a journal of the file is not played back, or that there is none.
enum class Found {
    None,       // no journal of this file
    Valid,      // ours, one link, this file's identity, complete, checksums hold
    Refused,    // any other file under the journal's name: left alone, never played back
    Unreadable, // it could not be read to the end: the cause is the save's
};

struct Journal {
    explicit Journal(FileSystem& files)
        : file(files)
    {
    }
    std::string name;
    ScopedHandle file;
    std::uint64_t oldLength = 0;
};

// The journal's name in the folder: the file's identity.
std::string NameFor(const Identity& id);

// Copies the bytes of reader (the destination, which info describes) into a new journal, and
// publishes it once it and then its name are on the disk.
FileError Write(FileSystem& files, const HeldFolder& folder, FileSystem::Handle reader, const FileInfo& info);

// Looks for the journal of the file that info describes and checks it; a valid one stays open in
// journal. failure: the cause when it is unreadable.
Found Find(FileSystem& files, const HeldFolder& folder, const FileInfo& info, Journal& journal, FileError& failure);

// Writes a valid journal's bytes back into file from its start, cuts it to their length and
// waits for the disk. The journal stays: the caller removes it once this succeeded.
FileError CopyBack(FileSystem& files, const Journal& journal, FileSystem::Handle file);

}
