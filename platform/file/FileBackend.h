#pragma once

// The system calls behind CFile. Each returns 0 or the system's error code (errno on
// POSIX, GetLastError on Windows); CFile turns a code into a cause and raises.

#include "platform/file/FileErrorCause.h"

#include <cstddef>
#include <cstdint>

namespace FileBackend {

using Handle = std::intptr_t;
inline constexpr Handle invalidHandle = -1;

long Open(const char* path, unsigned flags, Handle& handle);
long Length(Handle handle, std::uint64_t& length);
// Read and Write take as many system calls as count bytes need (FileBackend.cpp); a read stops
// early at the end of the file. Each platform makes one call, of at most count bytes, in
// TransferOnce, which writes from bytes when write is set and reads into them otherwise.
long Read(Handle handle, void* buffer, std::size_t count, std::size_t& done);
long Write(Handle handle, const void* buffer, std::size_t count, std::size_t& done);
long TransferOnce(Handle handle, unsigned char* bytes, std::size_t count, bool write, std::size_t& moved);
long Sync(Handle handle);
long Close(Handle handle);
FileErrorCause Cause(long osError);

}
