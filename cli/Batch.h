#pragma once

#include "engine/ConvStatus.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class TabrixDocument;

// What converting one file of a batch ended in; on failure, the path it failed on.
struct FileOutcome {
    ConvStatus status = Success;
    const std::string* failedPath = nullptr;
    unsigned notes = 0;   // the ConversionNotes of a conversion that succeeded, or that was refused
    bool refused = false; // --strict: it would not have kept every value, so nothing was written
    // A folder of journals that the save could not read, and went on without: its status.
    ConvStatus lookupFailure = Success;
    // A folder of journals that the save could not have, which rewrote in place without one.
    ConvStatus journalFailure = Success;
};

using ConvertFile = std::function<FileOutcome(std::size_t index, TabrixDocument& document)>;
using ReportFile = std::function<void(std::size_t index, const FileOutcome& outcome)>;
using MakeDocument = std::function<std::unique_ptr<TabrixDocument>()>;

// Converts files 0 to count - 1 on as many threads as the machine has cores, each thread with a
// document of its own, and hands each outcome to report on the calling thread in the order of
// the files, as soon as that file and all before it are done. A file that runs out of memory
// beside others is tried once more alone, so that a batch converts every file that converts alone.
void ConvertConcurrently(std::size_t count, const MakeDocument& makeDocument, const ConvertFile& convert,
    const ReportFile& report);
