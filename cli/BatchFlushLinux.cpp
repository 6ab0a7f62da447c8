// Linux flushes a whole file system with syncfs(2): one call per volume that the batch wrote to.
#include "cli/BatchFlush.h"

#include "engine/TabrixDocument.h"
#include "platform/file/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A descriptor on the volume of path: the file itself, else its folder.
int OpenOnVolume(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0)
        return fd;
    const std::string folder = FileSystem::FolderOf(path);
    return ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}

std::unique_ptr<TabrixDocument> MakeBatchDocument()
{
    // The batch waits once, at its end, for the new files it wrote.
    auto document = std::make_unique<TabrixDocument>("");
    document->DeferNewFileSync(true);
    return document;
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
