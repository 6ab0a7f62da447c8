#include "cli/BatchFlush.h"

#include "engine/TabrixDocument.h"

#include <algorithm>

std::unique_ptr<TabrixDocument> MakeBatchDocument()
{
    auto document = std::make_unique<TabrixDocument>("");
    document->DeferFolderSync(true);
    return document;
}

FileError SyncFoldersOf(const std::vector<std::string>& paths, FileSystem& files)
{
    // Where names are written through as they change, there is nothing left to wait for.
    if (!files.Provides().folderSync)
        return {};
    std::vector<std::string> synced;
    FileError first;
    for (const auto& path : paths) {
        const std::string folderPath = FolderOf(path);
        if (std::find(synced.begin(), synced.end(), folderPath) != synced.end())
            continue;
        synced.push_back(folderPath);
        HeldFolder folder(files);
        FileError failed = files.OpenFolder(path, folder);
        if (!failed)
            failed = files.SyncFolder(folder);
        if (failed && !first)
            first = failed;
    }
    return first;
}
