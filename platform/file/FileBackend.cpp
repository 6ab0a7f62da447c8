#include "platform/file/FileBackend.h"

namespace FileBackend {

namespace {

long TransferAll(Handle handle, unsigned char* bytes, std::size_t count, bool write, std::size_t& done)
{
    done = 0;
    while (done < count) {
        std::size_t moved = 0;
        if (long error = TransferOnce(handle, bytes + done, count - done, write, moved))
            return error;
        // Nothing moved: the end of the file.
        if (moved == 0)
            break;
        done += moved;
    }
    return 0;
}

}

long Read(Handle handle, void* buffer, std::size_t count, std::size_t& done)
{
    return TransferAll(handle, static_cast<unsigned char*>(buffer), count, false, done);
}

long Write(Handle handle, const void* buffer, std::size_t count, std::size_t& done)
{
    // Only ever read from: one entry point serves both directions.
    return TransferAll(handle, static_cast<unsigned char*>(const_cast<void*>(buffer)), count, true, done);
}

}
