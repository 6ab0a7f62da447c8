#pragma once

#include "platform/file/FileErrorCause.h"

#include <string>
#include <utility>

// A failed file operation: its cause, the system's error code (-1 for none) and the file's path.
class CFileException {
public:
    CFileException() = default;
    CFileException(FileErrorCause cause, long osError = -1, std::string fileName = {})
        : cause(cause)
        , osError(osError)
        , fileName(std::move(fileName))
    {
    }
    CFileException(const FileError& error, std::string fileName)
        : CFileException(error.cause, error.osError, std::move(fileName))
    {
    }

    FileErrorCause cause = FileErrorCause::None;
    long osError = -1;
    std::string fileName;
};

// Memory could not be obtained where the framework raises instead of returning nothing.
class CMemoryException {};
