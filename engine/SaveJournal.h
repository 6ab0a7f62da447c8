#pragma once

// The journal of an in-place save, kept in the user's own folder of journals while the
// destination is rewritten: the destination's old bytes, and what its new content will be sector
// by sector (old and new length, a checksum of each new sector). It is published under a name of
// its own once it is complete and on the disk; removing it commits the save.
//
// A journal is played back only over a state that its interrupted save could have left: every
// sector of the file old or new (the new ones up to a point, or any of them after a power cut),
// the length between the old and the new one. A file that another program wrote since, or another
// file that took the number, fails that, and its journal is never played back: it is kept, refused,
// for a person to look at (`tbxconv recover`), and a later save writes a journal of its own beside it.

#include "platform/file/CFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SaveJournal {

// The unit in which a crash is taken to keep or lose bytes: a disk writes a sector whole or not at
// all, and a rewrite is cut short only on the edge of a whole buffer of CFile's.
inline constexpr std::size_t sectorSize = 512;

// Takes the bytes that a writer puts into a file, and keeps instead what a journal needs of them:
// their length and the checksum of each sector, and of the part of a sector that ends where the
// old content ended.
class NewContent : public CFile {
public:
    explicit NewContent(std::uint64_t oldLength)
        : oldLength(oldLength)
    {
    }
    void Write(const void* buffer, std::size_t count) override;
    void Flush() override;

    std::uint64_t length = 0;
    std::vector<std::uint64_t> sums;
    std::uint64_t sumToOldEnd = 0;

private:
    void Add(const unsigned char* bytes, std::size_t count);
    void EndSector();

    const std::uint64_t oldLength;
    unsigned char sector[sectorSize] = {};
    std::size_t filled = 0;
};

// A journal found for a file.
struct Found {
    enum class Verdict {
        Valid,   // whole, ours, and the file is in a state its save could have left: play it back
        Refused, // it may be the file's, but fails a check: left alone for a person
        Spent,   // emptied by a commit whose removal a power cut took back: it goes
    };
    std::string name;
    Verdict verdict = Verdict::Refused;
    std::uint64_t oldLength = 0;
    std::uint64_t dataOffset = 0;
};

// Copies the bytes of reader (the destination, which info describes) into a new journal with
// what next says of the new content, puts it on the disk and publishes it under a name of its own,
// then puts the name on the disk: that name.
FileError Write(FileSystem& files, const HeldFolder& folder, FileSystem::Handle reader, const FileInfo& info,
    const NewContent& next, std::string& name);

// The journals in the folder that may be those of the file that info describes, each checked
// against what reader reads of the file now. Journals of other files are left out.
FileError FindAll(FileSystem& files, const HeldFolder& folder, FileSystem::Handle reader, const FileInfo& info,
    std::vector<Found>& found);

// The old bytes of a file that is rewritten in place where no folder of journals can be had: in
// memory where they fit, else in a temporary file. They undo a failure of the save, not a crash.
class Aside {
public:
    explicit Aside(FileSystem& files)
        : temporary(files)
    {
    }
    // Keeps the bytes that reader reads; kept is false, and nothing kept, where neither memory
    // nor a temporary file can be had.
    FileError Keep(FileSystem& files, FileSystem::Handle reader, std::uint64_t length, bool& kept);
    // Writes them back into file from its start, cuts it to their length and waits for the disk.
    FileError PutBack(FileSystem& files, FileSystem::Handle file);

private:
    std::vector<unsigned char> bytes;
    UnnamedFile temporary;
    std::uint64_t length = 0;
};

// The commit's removal of a journal. Where a removal may not last through a power cut, the
// journal is emptied and put on the disk first: an empty journal is spent.
FileError Retire(FileSystem& files, const HeldFolder& folder, const std::string& name);

// Writes a valid journal's bytes back into file from its start, cuts it to their length and
// waits for the disk. The journal stays: the caller removes it once this succeeded.
FileError CopyBack(FileSystem& files, const HeldFolder& folder, const Found& journal, FileSystem::Handle file);

}
