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
    std::string name;
    FileSystem::ScopedHandle file;
    std::uint64_t oldLength = 0;
};

// Where this user's journals live.
std::string Location();

// The journal's name in the folder: the file's identity.
std::string NameFor(const FileSystem::Identity& id);

// Copies the bytes of reader (the destination, whose facts are given) into a new journal, puts
// it on the disk and publishes it under its name.
FileErrorCause Keep(FileSystem::JournalFolder& folder, FileSystem::Handle reader, const FileSystem::Facts& facts);

// Looks for the journal of the file with these facts and checks it; a valid one stays open in
// journal. failure: the cause when it is unreadable.
Found Find(const FileSystem::JournalFolder& folder, const FileSystem::Facts& facts, Journal& journal,
    FileErrorCause& failure);

// Writes a valid journal's bytes back into file from its start, cuts it to their length and
// waits for the disk. The journal stays: the caller removes it once this succeeded.
FileErrorCause PlayBack(const Journal& journal, FileSystem::Handle file);

}
