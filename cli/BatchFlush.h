#pragma once

#include <memory>
#include <string>
#include <vector>

class TabrixDocument;

// Where the system can wait for a whole volume at once, a batch's saves hand their bytes to the
// system without waiting for the disk, and the batch waits once, at its end, for every volume it
// wrote to: a thousand small files then cost one wait instead of a thousand.

// A document for one thread of a batch: its saves wait for the disk only where FlushVolumesOf cannot.
std::unique_ptr<TabrixDocument> MakeBatchDocument();

// Waits until the files at these paths, and their entries in their folders, are on the disk.
// 0, or the system's error code of the first wait that failed.
long FlushVolumesOf(const std::vector<std::string>& paths);
