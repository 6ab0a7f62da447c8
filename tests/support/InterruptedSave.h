#pragma once

// What a save killed while it rewrote a file in place leaves: the journal of the file's content
// before, and the file torn. Journals go to the state folder that the test names.

#include "engine/SaveJournal.h"
#include "support/ScratchFolder.h"
#include "support/TabrixFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
inline const char journalsBelowState[] = "\\Kovrel\\Journals";
#else
inline const char journalsBelowState[] = "/kovrel/journals";
#endif

// This process's journals go below folder.
inline void UseStateFolder(const std::string& folder)
{
#ifdef _WIN32
    ::SetEnvironmentVariableA("LOCALAPPDATA", folder.c_str());
#else
    ::setenv("XDG_STATE_HOME", folder.c_str(), 1);
#endif
}

// path holds `before`, is then cut short to `torn` in place, and its journal holds `before`:
// the journal's full path.
inline std::string LeaveInterruptedSave(const std::string& path, const Bytes& before, const Bytes& torn)
{
    EXPECT_TRUE(WriteBytes(path, before)) << path;
    FileSystem& files = FileSystem::Native();
    HeldFolder journals(files), folder(files);
    ScopedHandle file(files), reader(files);
    FileInfo info;
    // One step after the other, as a braced list evaluates them.
    for (const FileError& failed :
        { files.OpenJournalFolder(Creation::CreateMissing, journals), files.OpenFolder(path, folder),
            files.OpenLikePlainWrite(folder, FileNameOf(path), Creation::OpenExisting, file.handle),
            files.Examine(file.handle, info), files.OpenForReading(file.handle, reader.handle),
            SaveJournal::Write(files, journals, reader.handle, info), files.Seek(file.handle, 0),
            files.Write(file.handle, torn.data(), torn.size()), files.CutAtPosition(file.handle) })
        EXPECT_FALSE(failed) << path << " cause " << int(failed.cause);
    return files.JournalFolderPath() + "/" + SaveJournal::NameFor(info.id);
}
