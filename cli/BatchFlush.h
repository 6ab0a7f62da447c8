#pragma once

#include "platform/file/FileSystem.h"

#include <memory>
#include <string>
#include <vector>

class TabrixDocument;

// A batch's saves of new files put each file on the disk before it takes its name, but leave the
// sync of its folder's names to the batch, which syncs every folder it wrote to once, at its end:
// a thousand new files in one folder then cost one folder sync instead of a thousand.

// A document for one thread of a batch.
std::unique_ptr<TabrixDocument> MakeBatchDocument();

// Puts the names of the files at these paths on the disk, each folder once: the first failure.
FileError SyncFoldersOf(const std::vector<std::string>& paths, FileSystem& files = FileSystem::Native());
