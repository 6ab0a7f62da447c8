#pragma once

#include "platform/file/FileErrorCause.h"

#include <cstdint>
#include <string>

// The outcome of every load, save and writer.
enum ConvStatus : std::int32_t {
    Success = 2,
    NoFileName = 3,
    FileNotFound = 4,
    AccessDenied = 5,
    HardwareError = 6,
    DiskFull = 7,
    TooManyOpenFiles = 8,
    CannotOpen = 9,
    OutOfMemory = 10,
    BadFormat = 11,
};

// True exactly for 3..11; any other value, also one the engine never produces, is not an error.
bool IsErrorStatus(std::int32_t status);

// Empties message, then gives it the Shift-JIS text of a status 2..11.
void GetStatusMessage(std::int32_t status, std::string& message);

// The status that a file failure with this cause ends in.
ConvStatus StatusFromCause(FileErrorCause cause);
