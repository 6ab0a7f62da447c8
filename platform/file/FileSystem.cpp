// The parts of FileSystem that every back end shares.
#include "platform/file/FileSystemBackend.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>

namespace FileSystem {

namespace {
std::atomic<FaultHook> faultHook { nullptr };

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

void SetFaultHook(FaultHook hook)
{
    faultHook = hook;
}

void SetTemporaryNameSeed(std::uint32_t seed)
{
    nextName = seed;
}

std::string FileNameOf(const std::string& path)
{
    return path.substr(FolderOf(path).size());
}

namespace Backend {

long Injected(Step step)
{
    FaultHook hook = faultHook;
    return hook ? hook(step) : 0;
}

std::string TemporaryName()
{
    char name[16];
    std::snprintf(name, sizeof name, "~kv%05X.tmp", static_cast<unsigned>(nextName++ & 0xFFFFF));
    return name;
}

}

}
