#pragma once

// The system calls behind CFile. Each returns 0 or the system's error code (errno on
// POSIX, GetLastError on Windows); CFile turns a code into a cause and raises.

#include "platform/FileErrorCause.h"

#include <cstddef>
#include <cstdint>

namespace FileBackend {

using Handle = std::intptr_t;
inline constexpr Handle invalidHandle = -1;

long Open(const char* path, unsigned flags, Handle& handle);
long Length(Handle handle, std::uint64_t& length);
long Read(Handle handle, void* buffer, std::size_t count, std::size_t& done);
long Write(Handle handle, const void* buffer, std::size_t count, std::size_t& done);
long Sync(Handle handle);
long Close(Handle handle);
FileErrorCause Cause(long osError);

}
