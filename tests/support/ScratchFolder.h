#pragma once

// A fresh folder per test and whole-file reads and writes that do not go through the program.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

// Paths are narrow strings (code page bytes, as the program gets them) or path objects (names of
// any characters).

// The file's bytes, read in large pieces to its end (quick under the sanitizers, and a pipe's
// bytes too); none when it cannot be read.
template<class Path>
std::vector<std::uint8_t> ReadBytes(const Path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes;
    char piece[1 << 16];
    while (in.read(piece, sizeof piece) || in.gcount() > 0)
        bytes.insert(bytes.end(), piece, piece + in.gcount());
    return bytes;
}

// Creates or replaces the file; false when it could not be written whole.
template<class Path>
bool WriteBytes(const Path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out.good();
}

inline bool Exists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

// The names in a folder, sorted.
inline std::vector<std::string> NamesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Made empty for one test and removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder()
    {
        // Wine hands out the same process ids run after run: only a folder made here is fresh.
        static unsigned counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        do {
            folder = std::filesystem::temp_directory_path()
                / ("kovrel-test-" + std::to_string(stamp) + "-" + std::to_string(++counter));
        } while (!std::filesystem::create_directory(folder));
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path() const { return folder.string(); }
    // Joined as text: names may hold code page 932 bytes that a path object would convert.
    std::string File(const std::string& name) const { return Path() + separator + name; }
    // Writes the file and gives its path.
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
    {
        WriteBytes(File(name), bytes);
        return File(name);
    }
    std::string MakeFolder(const std::string& name) const
    {
#ifdef _WIN32
        _mkdir(File(name).c_str());
#else
        mkdir(File(name).c_str(), 0777);
#endif
        return File(name);
    }
    std::vector<std::string> Names() const
    {
        return NamesIn(Path());
    }

private:
#ifdef _WIN32
    static constexpr char separator = '\\';
#else
    static constexpr char separator = '/';
#endif
    std::filesystem::path folder;
};
