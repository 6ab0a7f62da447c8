#include "platform/file/CFile.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {
constexpr std::size_t writeBufferSize = 64 * 1024;
}

CFile::~CFile()
{
    // Not through the virtual Close: a derived object is gone by now.
    if (IsOpen()) {
        try {
            WritePending();
        } catch (...) {
        }
        LetGo();
    }
}

void CFile::Raise(const FileError& error) const
{
    throw CFileException(error, filePath);
}

bool CFile::Open(const char* path, unsigned flags, CFileException* failure)
{
    if (IsOpen())
        Abort();
    std::string name;
    try {
        name = path ? path : "";
        if ((flags & accessMask) != modeRead && !writeBuffer)
            writeBuffer.reset(new unsigned char[writeBufferSize]);
    } catch (const std::bad_alloc&) {
        if (failure)
            *failure = CFileException(FileErrorCause::Generic, -1, name);
        return false;
    }
    FileSystem::Handle opened = FileSystem::noHandle;
    if (FileError error = files->Open(name, flags, opened)) {
        if (failure)
            *failure = CFileException(error, name);
        return false;
    }
    handle = opened;
    owned = true;
    writable = (flags & accessMask) != modeRead;
    filePath = std::move(name);
    pending = 0;
    return true;
}

void CFile::Attach(FileSystem::Handle borrowed, const std::string& path)
{
    if (IsOpen())
        Abort();
    // The buffer first: memory that runs out leaves the object as it was.
    if (!writeBuffer)
        writeBuffer.reset(new unsigned char[writeBufferSize]);
    filePath = path;
    handle = borrowed;
    owned = false;
    writable = true;
    pending = 0;
}

std::uint64_t CFile::GetLength()
{
    WritePending();
    FileInfo info;
    if (FileError error = files->Examine(handle, info))
        Raise(error);
    return info.length;
}

std::size_t CFile::Read(void* buffer, std::size_t count)
{
    if (count == 0)
        return 0;
    // Bytes still in the write buffer come before the read: else the read sees the old bytes
    // and the buffer later lands after them.
    WritePending();
    std::size_t got = 0;
    if (FileError error = files->Read(handle, buffer, count, got))
        Raise(error);
    return got;
}

void CFile::WritePending()
{
    if (pending == 0)
        return;
    const std::size_t count = pending;
    // The buffer is dropped whatever happens: after a failure its bytes are lost anyway.
    pending = 0;
    if (FileError error = files->Write(handle, writeBuffer.get(), count))
        Raise(error);
}

void CFile::Write(const void* buffer, std::size_t count)
{
    if (count == 0)
        return;
    if (!IsOpen())
        throw CFileException(FileErrorCause::InvalidFile, -1, filePath);
    if (!writable)
        throw CFileException(FileErrorCause::AccessDenied, -1, filePath);
    // Only whole buffers go out before a flush, so that a write cut short by a crash ends on a
    // buffer's edge: a file rewritten in place then holds new sectors up to it and old ones after.
    auto bytes = static_cast<const unsigned char*>(buffer);
    while (count > 0) {
        if (pending == 0 && count >= writeBufferSize) {
            const std::size_t whole = count - count % writeBufferSize;
            if (FileError error = files->Write(handle, bytes, whole))
                Raise(error);
            bytes += whole, count -= whole;
            continue;
        }
        const std::size_t taken = std::min(count, writeBufferSize - pending);
        std::memcpy(writeBuffer.get() + pending, bytes, taken);
        pending += taken, bytes += taken, count -= taken;
        if (pending == writeBufferSize)
            WritePending();
    }
}

void CFile::Flush()
{
    WritePending();
}

void CFile::Close()
{
    if (!IsOpen())
        return;
    try {
        WritePending();
    } catch (...) {
        Abort();
        throw;
    }
    const bool closing = owned;
    const FileSystem::Handle letGo = handle;
    handle = FileSystem::noHandle;
    if (FileError error = closing ? files->Close(letGo) : FileError {})
        Raise(error);
}

void CFile::Abort()
{
    pending = 0;
    LetGo();
}

void CFile::LetGo()
{
    if (IsOpen() && owned)
        files->Close(handle);
    handle = FileSystem::noHandle;
}
