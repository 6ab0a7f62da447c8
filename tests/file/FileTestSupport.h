#pragma once

// A scratch folder per test and whole-file reads and writes that do not go through CFile.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace file_support {

using Bytes = std::vector<std::uint8_t>;

class ScratchFolder {
public:
    ScratchFolder()
    {
        static unsigned counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        folder = std::filesystem::temp_directory_path()
            / ("kovrel-file-" + std::to_string(stamp) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(folder);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path() const { return folder.string(); }
    std::string File(const std::string& name) const { return (folder / name).string(); }

private:
    std::filesystem::path folder;
};

inline Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes Digits() { return { '0', '1', '2', '3', '4', '5', '6', '7', '8', '9' }; }

// Bytes that differ from their neighbours, so that a chunk out of place shows.
inline Bytes Pattern(std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

}
