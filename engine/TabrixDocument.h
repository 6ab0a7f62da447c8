#pragma once

#include "engine/ConvStatus.h"
#include "engine/FormatVersion.h"
#include "engine/TabrixRecord.h"
#include "platform/file/CFile.h"

#include <cstdint>
#include <optional>
#include <string>

namespace FileSystem {
class Place;
struct Facts;
}

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
    // Returns loaded; only when it is 1 are major and minor set.
    int GetVersion(std::uint8_t& major, std::uint8_t& minor) const;
    void SetTargetVersion(std::uint8_t major, std::uint8_t minor);
    // 1, or 0 when memory for the path cannot be obtained.
    int SetDestinationPath(const char* path);
    ConvStatus Save();

    // A batch that waits for its volumes at its end lets the saves of new files skip their own
    // wait for the disk. A file that replaces another is always on the disk before it does.
    void DeferNewFileSync(bool defer) { deferNewFileSync = defer; }

    const TabrixRecord& GetRecord() const { return record; }
    const std::string& GetSourcePath() const { return sourcePath; }

protected:
    int loaded = 0;
    std::string sourcePath;
    TabrixRecord record;
    FormatVersion targetVersion = 0;
    std::string destinationPath;

private:
    ConvStatus SaveNew(FileSystem::Place& place);
    std::optional<ConvStatus> SaveByReplacing(FileSystem::Place& place, FileBackend::Handle& held,
        const FileSystem::Facts& facts);
    ConvStatus SaveInPlace(FileBackend::Handle held, const FileSystem::Facts& facts);
    ConvStatus WriteRecord(FileBackend::Handle file, std::uint64_t* written = nullptr);
    ConvStatus WriteFresh(FileSystem::Place& place, FileBackend::Handle& fresh);

    bool deferNewFileSync = false;
};

// What `RecoverInterruptedSave` found.
enum class Recovery {
    NoJournal,  // no interrupted save of the file
    PlayedBack, // the file has its content from before the interrupted save again
    Refused,    // a file under the journal's name that fails its checks: left alone
};

// Plays back the journal that an interrupted in-place save of path left, if any.
ConvStatus RecoverInterruptedSave(const std::string& path, Recovery& outcome);
