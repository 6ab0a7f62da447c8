#include "platform/file/CFile.h"

#include <cstring>
#include <new>

namespace {
constexpr std::size_t writeBufferSize = 64 * 1024;
}

CFile::CFile() = default;

CFile::~CFile()
{
    if (IsOpen()) {
        try {
            Close();
        } catch (...) {
            Abort();
        }
    }
}

void CFile::Raise(long osError) const
{
    throw CFileException(FileBackend::Cause(osError), osError, filePath);
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
    FileBackend::Handle opened = FileBackend::invalidHandle;
    if (long error = FileBackend::Open(name.c_str(), flags, opened)) {
        if (failure)
            *failure = CFileException(FileBackend::Cause(error), error, name);
        return false;
    }
    handle = opened;
    writable = (flags & accessMask) != modeRead;
    filePath = std::move(name);
    pending = 0;
    return true;
}

std::uint64_t CFile::GetLength()
{
    WritePending();
    std::uint64_t length = 0;
    if (long error = FileBackend::Length(handle, length))
        Raise(error);
    return length;
}

std::size_t CFile::Read(void* buffer, std::size_t count)
{
    if (count == 0)
        return 0;
    // Bytes still in the write buffer come before the read: else the read sees the old bytes
    // and the buffer later lands after them.
    WritePending();
    std::size_t done = 0;
    if (long error = FileBackend::Read(handle, buffer, count, done))
        Raise(error);
    return done;
}

void CFile::WritePending()
{
    if (pending == 0)
        return;
    std::size_t count = pending;
    // The buffer is dropped whatever happens: after a failure its bytes are lost anyway.
    pending = 0;
    std::size_t done = 0;
    if (long error = FileBackend::Write(handle, writeBuffer.get(), count, done))
        Raise(error);
    if (done < count)
        throw CFileException(FileErrorCause::DiskFull, -1, filePath);
}

void CFile::Write(const void* buffer, std::size_t count)
{
    if (count == 0)
        return;
    if (!IsOpen())
        throw CFileException(FileErrorCause::InvalidFile, -1, filePath);
    if (!writable)
        throw CFileException(FileErrorCause::AccessDenied, -1, filePath);
    if (count <= writeBufferSize - pending) {
        std::memcpy(writeBuffer.get() + pending, buffer, count);
        pending += count;
        return;
    }
    WritePending();
    if (count < writeBufferSize) {
        std::memcpy(writeBuffer.get(), buffer, count);
        pending = count;
        return;
    }
    std::size_t done = 0;
    if (long error = FileBackend::Write(handle, buffer, count, done))
        Raise(error);
    if (done < count)
        throw CFileException(FileErrorCause::DiskFull, -1, filePath);
}

void CFile::Flush()
{
    WritePending();
}

void CFile::Sync()
{
    Flush();
    if (long error = FileBackend::Sync(handle))
        Raise(error);
}

void CFile::Attach(FileBackend::Handle opened, const std::string& path)
{
    if (IsOpen())
        Abort();
    // The buffer first: memory that runs out leaves the object as it was.
    if (!writeBuffer)
        writeBuffer.reset(new unsigned char[writeBufferSize]);
    handle = opened;
    filePath = path;
    writable = true;
    pending = 0;
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
    FileBackend::Handle closing = handle;
    handle = FileBackend::invalidHandle;
    if (long error = FileBackend::Close(closing))
        Raise(error);
}

void CFile::Abort()
{
    pending = 0;
    if (IsOpen()) {
        FileBackend::Close(handle);
        handle = FileBackend::invalidHandle;
    }
}
