#include "DocumentTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <algorithm>

namespace fs = std::filesystem;

namespace doctest_support {

namespace {

void Put32(Bytes& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutString(Bytes& out, const std::string& text)
{
    out.push_back(static_cast<std::uint8_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

void PutList(Bytes& out, const std::vector<std::string>& list)
{
    Put32(out, static_cast<std::uint32_t>(list.size()));
    for (const auto& text : list)
        PutString(out, text);
}

void PutMiddle(Bytes& out, const Sample& sample, bool newLayout)
{
    for (auto word : sample.words)
        Put32(out, word);
    for (auto fill : sample.blockFill)
        out.insert(out.end(), 60, fill);
    if (newLayout) {
        for (auto word : sample.extWords)
            Put32(out, word);
    }
    PutString(out, sample.lead);
    PutList(out, sample.listA);
    PutList(out, sample.listB);
    if (newLayout) {
        for (auto word : sample.tailWords)
            Put32(out, word);
    }
}

}

ScratchFolder::ScratchFolder()
{
    static std::atomic<unsigned> counter { 0 };
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path base = fs::temp_directory_path() / ("kovrel-doc-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(base);
    path = base.string();
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::string ScratchFolder::File(const std::string& name) const
{
    return (fs::path(path) / name).string();
}

std::vector<std::string> ScratchFolder::Names() const
{
    return NamesIn(path);
}

std::vector<std::string> NamesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

bool Exists(const std::string& path)
{
    std::error_code ignored;
    return fs::exists(path, ignored);
}

Bytes OldLayout(const Sample& sample)
{
    Bytes out;
    Put32(out, sample.head);
    PutMiddle(out, sample, false);
    return out;
}

Bytes NewLayout(const Sample& sample, std::uint16_t version)
{
    Bytes out;
    Put32(out, 0xFFFF0000u | (sample.head & 0xFFFFu));
    out.push_back(static_cast<std::uint8_t>(version));
    out.push_back(static_cast<std::uint8_t>(version >> 8));
    PutMiddle(out, sample, true);
    return out;
}

void LoadFrom(TestDocument& document, const std::string& path, const Bytes& bytes)
{
    WriteBytes(path, bytes);
    document.Reset();
    ASSERT_EQ(document.SetSourcePath(path.c_str()), 1);
    ASSERT_EQ(document.Load(), Success) << path;
}

}
