// What every file system shares: the temporary names of new files, and the parts of a path.
#include "platform/file/FileSystem.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>

namespace {
std::uint32_t Seed()
{
    std::uint32_t seed = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        seed ^= std::random_device {}();
    } catch (...) {
        // The clock alone is enough: a taken name is skipped.
    }
    return seed;
}

// Documents of one batch save on several threads at once.
std::atomic<std::uint32_t> nextName { Seed() };
}

std::string FileSystem::TemporaryName()
{
    char name[16];
    std::snprintf(name, sizeof name, "~kv%05X.tmp", static_cast<unsigned>(nextName++ & 0xFFFFF));
    return name;
}

std::string FileNameOf(const std::string& path)
{
    return path.substr(FolderOf(path).size());
}
