#pragma once

#include "engine/ConvStatus.h"
#include "engine/FormatVersion.h"
#include "engine/RecordParser.h"
#include "engine/TabrixRecord.h"
#include "platform/file/CFile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct SaveDestination;
// The ways a save takes: a new file under a free name, the bytes straight to a device or pipe, a
// new file in place of the old one, the old file rewritten in place under a journal.
enum class SaveWay { New, Direct, Replace, InPlace };

// One Tabrix file: loaded from the source path, saved to the destination path in the target
// version. The object is itself the open file, and only inside Load and Save. A save never
// leaves the destination half written: it replaces the file in one step, or rewrites it in
// place under a journal of its old bytes (TabrixDocumentSave.cpp).
class TabrixDocument : public CFile {
public:
    explicit TabrixDocument(const char* sourcePath);
    ~TabrixDocument() override;

    // Not loaded any more: empties the lead string and both lists; paths and words stay.
    void Reset();
    // 1, or 0 when memory for the path cannot be obtained; a loaded document is Reset first.
    int SetSourcePath(const char* path);
    ConvStatus Load();
    // The same from a handle that the caller keeps open (standard input), from where it stands to
    // its end; the source path only names it.
    ConvStatus LoadFrom(FileSystem::Handle borrowed);
    // Returns loaded; only when it is 1 are major and minor set.
    int GetVersion(std::uint8_t& major, std::uint8_t& minor) const;
    void SetTargetVersion(std::uint8_t major, std::uint8_t minor);
    // 1, or 0 when memory for the path cannot be obtained.
    int SetDestinationPath(const char* path);
    ConvStatus Save();

    // A batch that syncs the folders it wrote to at its end lets the saves of new files leave
    // their folder's sync to it. A file is always on the disk before it takes a name.
    void DeferFolderSync(bool defer) { deferFolderSync = defer; }
    // A source that is not a plain file (a pipe, a FIFO, a device) has no length to read for: tbxconv
    // has its bytes read to the end. The dialog does not, as it would wait on a pipe's writer.
    void ReadStreamsToEnd(bool read) { readStreamsToEnd = read; }
    // The status of a folder of journals that the last save could not read, which left it to go
    // on without looking for an interrupted save of the destination; Success when there was none.
    ConvStatus GetRecoveryFailure() const { return recoveryFailure; }
    // The status of a folder of journals that the last save could not have, which left it to
    // rewrite the destination in place with the old bytes kept aside instead; Success when none.
    ConvStatus GetJournalFailure() const { return journalFailure; }

    const TabrixRecord& GetRecord() const { return record; }
    const std::string& GetSourcePath() const { return sourcePath; }

protected:
    int loaded = 0;
    std::string sourcePath;
    TabrixRecord record;
    FormatVersion targetVersion = 0;
    std::string destinationPath;

private:
    // Reads the open file, parses it and lets go of it.
    ConvStatus ReadAndParse(bool borrowed);
    ConvStatus WriteRecord(FileSystem::Handle file);
    // New or Replace: a new file, written, on the disk, then committed; nothing where a
    // replacement gives way to rewriting in place.
    std::optional<ConvStatus> SaveNewFile(SaveDestination& destination, SaveWay way);
    ConvStatus SaveInPlace(SaveDestination& destination);
    ConvStatus SaveInPlaceAside(SaveDestination& destination);

    bool deferFolderSync = false;
    bool readStreamsToEnd = false;
    ConvStatus recoveryFailure = Success;
    ConvStatus journalFailure = Success;
};

// The most bytes an image holds in this build: one fewer than the largest object it can address,
// for the byte that an image keeps after the file's.
inline constexpr std::uint64_t maxImageSize = std::uint64_t(PTRDIFF_MAX) - 1;

// Reads file from where it stands to its end into one image with a byte to spare, in pieces of
// growing size, the first for expected bytes (a plain file's length): OutOfMemory when more than
// limit bytes come or memory runs out, else the status of a failed read, else Success.
ConvStatus ReadToEnd(CFile& file, std::uint64_t expected, SharedImage& image, std::uint64_t limit = maxImageSize);

// What a playback of a journal found.
enum class Recovery {
    NoJournal,  // no interrupted save of the file
    PlayedBack, // the file has its content from before the interrupted save again
    Refused,    // journals that may be the file's fail their checks: left alone for a person
    Discarded,  // such journals were removed, as a person asked
};

// What a playback came to: its status, what it found, and the names of the refused journals in
// the folder of journals.
struct Playback {
    ConvStatus status = Success;
    Recovery outcome = Recovery::NoJournal;
    std::vector<std::string> refused;
    // The status is that of the folder of journals, which could not be opened or read.
    bool lookupFailed = false;
};

// What a recovery does with journals that fail their checks.
enum class Refusals { Keep, Discard };

// Plays back the journal that an interrupted in-place save of path left, if any; the refused ones
// stay unless told to go.
Playback RecoverInterruptedSave(const std::string& path, FileSystem& files = FileSystem::Native(),
    Refusals refusals = Refusals::Keep);
