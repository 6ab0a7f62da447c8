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
inline const char journalSeparator[] = "\\";
#else
inline const char journalsBelowState[] = "/kovrel/journals";
inline const char journalSeparator[] = "/";
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

// What a rewrite of `before` leaves that wrote `after` whole and stopped before the cut.
inline Bytes Overwritten(const Bytes& before, const Bytes& after)
{
    Bytes torn = after;
    if (before.size() > after.size())
        torn.insert(torn.end(), before.begin() + std::ptrdiff_t(after.size()), before.end());
    return torn;
}

// path holds `before`, is then rewritten in place with `after` but not cut, and its journal holds
// `before` and what `after` is: the journal's full path.
inline std::string LeaveInterruptedSave(const std::string& path, const Bytes& before, const Bytes& after)
{
    EXPECT_TRUE(WriteBytes(path, before)) << path;
    FileSystem& files = FileSystem::Native();
    HeldFolder journals(files), folder(files);
    ScopedHandle file(files), reader(files);
    FileInfo info;
    SaveJournal::NewContent next(before.size());
    next.Write(after.data(), after.size());
    next.Flush();
    std::string name;
    // One step after the other, as a braced list evaluates them.
    for (const FileError& failed :
        { files.OpenJournalFolder(Creation::CreateMissing, journals), files.OpenFolder(path, folder),
            files.OpenLikePlainWrite(folder, FileNameOf(path), Creation::OpenExisting, file.handle),
            files.Examine(file.handle, info), files.OpenForReading(file.handle, reader.handle),
            SaveJournal::Write(files, journals, reader.handle, info, next, name), files.Seek(file.handle, 0),
            files.Write(file.handle, after.data(), after.size()) })
        EXPECT_FALSE(failed) << path << " cause " << int(failed.cause);
    return files.JournalFolderPath() + journalSeparator + name;
}
