#include "engine/ConvStatus.h"

#include "engine/Messages.h"

bool IsErrorStatus(std::int32_t status)
{
    return status >= NoFileName && status <= BadFormat;
}

void GetStatusMessage(std::int32_t status, std::string& message)
{
    message.clear();
    if (const char* text = StatusMessage(status, Language::Japanese))
        message = text;
}

ConvStatus StatusFromCause(FileErrorCause cause)
{
    switch (cause) {
    case FileErrorCause::FileNotFound:
    case FileErrorCause::BadPath:
        return FileNotFound;
    case FileErrorCause::TooManyOpenFiles:
        return TooManyOpenFiles;
    case FileErrorCause::AccessDenied:
        return AccessDenied;
    case FileErrorCause::DirectoryFull:
    case FileErrorCause::DiskFull:
        return DiskFull;
    case FileErrorCause::HardIO:
        return HardwareError;
    default:
        return CannotOpen;
    }
}
