#include "platform/file/FileErrorCause.h"

#include <cerrno>

FileErrorCause CauseFromWin32Error(long osError)
{
    using C = FileErrorCause;
    // clang-format off
    switch (osError) {
    case 0:
        return C::None;
    case 2: case 6: case 18: case 107:
        return C::FileNotFound;
    case 3: case 15: case 17: case 34: case 52: case 53: case 55: case 67: case 70: case 85:
    case 111: case 123: case 124: case 125: case 144: case 154: case 161: case 206: case 208:
    case 267:
        return C::BadPath;
    case 4: case 36: case 68: case 113:
        return C::TooManyOpenFiles;
    case 5: case 12: case 19: case 29: case 54: case 58: case 64: case 65: case 71: case 80:
    case 82: case 86: case 170: case 183: case 999:
        return C::AccessDenied;
    case 11: case 26: case 60: case 66: case 114: case 182: case 191: case 193:
        return C::InvalidFile;
    case 16: case 145:
        return C::RemoveCurrentDir;
    case 62:
        return C::DirectoryFull;
    case 24: case 25: case 27: case 30: case 131: case 132:
        return C::BadSeek;
    case 20: case 21: case 22: case 23: case 57: case 59: case 88: case 117: case 995:
    case 996: case 997:
        return C::HardIO;
    case 32:
        return C::SharingViolation;
    case 33: case 108: case 167:
        return C::LockViolation;
    case 39: case 112:
        return C::DiskFull;
    case 38:
        return C::EndOfFile;
    default:
        return C::Generic;
    }
    // clang-format on
}

FileErrorCause CauseFromErrno(int error)
{
    using C = FileErrorCause;
    // clang-format off
    switch (error) {
    case 0:
        return C::None;
    case ENOENT:
        return C::FileNotFound;
    case ENOTDIR: case ENAMETOOLONG:
#ifdef ELOOP
    case ELOOP:
#endif
        return C::BadPath;
    case EMFILE: case ENFILE:
        return C::TooManyOpenFiles;
    case EACCES: case EPERM: case EROFS: case EISDIR:
        return C::AccessDenied;
    case EBADF:
        return C::InvalidFile;
    case ESPIPE:
        return C::BadSeek;
    case EIO:
        return C::HardIO;
#ifdef ETXTBSY
    case ETXTBSY:
#endif
    case EBUSY:
        return C::SharingViolation;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return C::DiskFull;
    default:
        return C::Generic;
    }
    // clang-format on
}
