#pragma once

#include "engine/ConvStatus.h"
#include "engine/FormatVersion.h"
#include "engine/TabrixRecord.h"
#include "platform/CFile.h"

#include <cstdint>
#include <string>

// One Tabrix file: loaded from the source path, saved to the destination path in the target
// version. The object is itself the open file, and only inside Load and Save. A save keeps
// the destination's old content until the new content is complete: it replaces the file in
// one step, or rewrites it in place over a backup of its old bytes (see FileSystem.h).
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

    const TabrixRecord& GetRecord() const { return record; }
    const std::string& GetSourcePath() const { return sourcePath; }

protected:
    int loaded = 0;
    std::string sourcePath;
    TabrixRecord record;
    FormatVersion targetVersion = 0;
    std::string destinationPath;
};
