#pragma once

// Why a file operation failed. Every back end classifies its system errors into these.
enum class FileErrorCause : int {
    None = 0,
    Generic = 1,
    FileNotFound = 2,
    BadPath = 3,
    TooManyOpenFiles = 4,
    AccessDenied = 5,
    InvalidFile = 6,
    RemoveCurrentDir = 7,
    DirectoryFull = 8,
    BadSeek = 9,
    HardIO = 10,
    SharingViolation = 11,
    LockViolation = 12,
    DiskFull = 13,
    EndOfFile = 14,
};

// The cause of a Win32 error code. Portable, so that the table is checked on every build.
FileErrorCause CauseFromWin32Error(long osError);

// The nearest cause of an errno value (POSIX back end).
FileErrorCause CauseFromErrno(int error);

// A failed call of the file layer: why, and the system's own error code (-1 where the layer itself
// decided). True when the call failed.
struct FileError {
    FileErrorCause cause = FileErrorCause::None;
    long osError = -1;
    explicit operator bool() const { return cause != FileErrorCause::None; }
};
