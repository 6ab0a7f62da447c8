#pragma once

// What a save killed while it rewrote a file in place leaves: the journal of the file's content
// before, and the file torn. Journals go to the state folder that the test names.

#include "engine/SaveJournal.h"
#include "platform/file/FileSystem.h"
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
    FileSystem::JournalFolder journals;
    FileSystem::Place place;
    FileSystem::ScopedHandle file, reader;
    FileSystem::Facts facts;
    // One step after the other, as a braced list evaluates them.
    for (FileErrorCause cause : { journals.Open(true), place.Open(path), place.OpenLikePlainWrite(file.handle),
             FileSystem::Examine(file.handle, facts), FileSystem::OpenForReading(file.handle, reader.handle),
             SaveJournal::Keep(journals, reader.handle, facts),
             FileSystem::WriteAt(file.handle, 0, torn.data(), torn.size()),
             FileSystem::CutAt(file.handle, torn.size()) })
        EXPECT_EQ(cause, FileErrorCause::None) << path;
    return SaveJournal::Location() + "/" + SaveJournal::NameFor(facts.id);
}
