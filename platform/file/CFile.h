#pragma once

#include "platform/file/CFileException.h"
#include "platform/file/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A file on disk, one handle per object, reached through a FileSystem (the system's own unless
// SetFileSystem gives another). Writes are gathered in a buffer so that writing field by field
// costs no system call per field; Flush hands them to the system.
class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020, // others may read
        shareDenyRead = 0x0030,  // others may write
        shareDenyNone = 0x0040,
        modeCreate = 0x1000, // create, or cut an existing file to length 0
        typeBinary = 0x8000, // raw bytes; there is no other kind here
    };
    static constexpr unsigned accessMask = 0x0003;
    static constexpr unsigned shareMask = 0x0070;

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    // Closes an open file; failures are not reported from here.
    virtual ~CFile();

    // Opens path; on failure returns false and fills *failure (when given). Never raises.
    virtual bool Open(const char* path, unsigned flags, CFileException* failure);
    // Size in bytes, buffered writes included.
    virtual std::uint64_t GetLength();
    // Reads up to count bytes; fewer only at the end of the file.
    virtual std::size_t Read(void* buffer, std::size_t count);
    // Writes count bytes at the end of what was written so far.
    virtual void Write(const void* buffer, std::size_t count);
    // Hands buffered bytes to the system; they may not be on the disk yet.
    virtual void Flush();
    // Writes out buffered bytes and lets go of the file; raises on failure, let go of either way.
    virtual void Close();
    // Lets go of the file without writing out buffered bytes and without raising.
    virtual void Abort();

    // Reads or writes a handle that the caller keeps open: Close and Abort let go of it without closing it.
    void Attach(FileSystem::Handle borrowed, const std::string& path);

    void SetFileSystem(FileSystem& other) { files = &other; }
    FileSystem& Files() const { return *files; }
    bool IsOpen() const { return handle != FileSystem::noHandle; }
    FileSystem::Handle GetHandle() const { return handle; }
    const std::string& GetFilePath() const { return filePath; }

private:
    void WritePending();
    void LetGo();
    [[noreturn]] void Raise(const FileError& error) const;

    FileSystem* files = &FileSystem::Native();
    FileSystem::Handle handle = FileSystem::noHandle;
    bool owned = false;
    std::string filePath;
    std::unique_ptr<unsigned char[]> writeBuffer;
    std::size_t pending = 0;
    bool writable = false;
};
