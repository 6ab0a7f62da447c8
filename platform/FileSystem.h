#pragma once

// Whole-file operations beside CFile: what a save needs to put a finished file in place of
// another in one step. Each returns 0 or the system's error code, as FileBackend does.

#include "platform/FileErrorCause.h"

#include <string>

namespace FileSystem {

// The folder part of path, up to and including its last separator; empty for a bare name.
std::string FolderOf(const std::string& path);

// Puts the finished file at temporaryPath in place of destinationPath, in one step and
// written through to the disk. An existing destination keeps its attributes (Windows) or
// permission bits (POSIX). On failure the destination is as it was.
long Replace(const char* temporaryPath, const char* destinationPath);

// 0, or the error that recreating the existing file at path would give although opening it
// for writing succeeds (Windows refuses to recreate a hidden or system file).
long RecreateRefusal(const char* path);

// True for an existing path that is a device or a pipe rather than a file on a disk: there
// is nothing to replace there, the bytes go straight to it.
bool IsDevice(const char* path);

// The file that writing to path reaches: a symbolic link's target, so that replacing the
// file keeps the link. Else path itself.
std::string ResolveLinks(const std::string& path);

// Deletes a file.
long Remove(const char* path);

// True when creating a new file failed only because the name is taken.
bool IsNameTaken(long osError);

// The cause of a system error code of this back end.
FileErrorCause Cause(long osError);

}
