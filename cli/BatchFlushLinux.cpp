// Linux flushes a whole file system with syncfs(2): one call per volume that the batch wrote to.
#include "cli/BatchFlush.h"

#include "engine/TabrixDocument.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class BatchDocument : public TabrixDocument {
public:
    BatchDocument()
        : TabrixDocument("")
    {
    }
    // Hands the written bytes to the system (GetLength does so first, and raises on a failure),
    // so that a failed write is still the writer's status; the wait for the disk is the batch's.
    void Flush() override { GetLength(); }
};

// A descriptor on the volume of path: the file itself, else its folder.
int OpenOnVolume(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0)
        return fd;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}

std::unique_ptr<TabrixDocument> MakeBatchDocument()
{
    return std::make_unique<BatchDocument>();
}

long FlushVolumesOf(const std::vector<std::string>& paths)
{
    std::vector<dev_t> flushed;
    long failure = 0;
    for (const auto& path : paths) {
        struct stat info {};
        const bool known = ::stat(path.c_str(), &info) == 0;
        if (known && std::find(flushed.begin(), flushed.end(), info.st_dev) != flushed.end())
            continue;
        int fd = known ? OpenOnVolume(path) : -1;
        if (fd < 0) {
            // Neither the file nor its folder can be opened: every volume, then.
            ::sync();
            return failure;
        }
        if (::syncfs(fd) != 0 && failure == 0)
            failure = errno;
        ::close(fd);
        flushed.push_back(info.st_dev);
    }
    return failure;
}
