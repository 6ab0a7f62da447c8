#include "engine/TabrixRecord.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
// push_back's chunks grow from a few entries to many, so that a list built entry by entry
// costs a handful of allocations and as many runs.
constexpr std::size_t firstChunkSize = 1024;
constexpr std::size_t lastChunkSize = std::size_t(1) << 20;
}

StringList& StringList::operator=(std::initializer_list<std::string_view> texts)
{
    StringList list;
    for (std::string_view text : texts)
        list.push_back(text);
    return *this = std::move(list);
}

std::string_view StringList::operator[](std::size_t index) const
{
    for (const Run& run : runs) {
        if (index < run.count) {
            const std::uint8_t* at = run.bytes;
            for (; index > 0; --index)
                at += 1 + *at;
            return { reinterpret_cast<const char*>(at + 1), *at };
        }
        index -= run.count;
    }
    return {};
}

void StringList::push_back(std::string_view text)
{
    const std::size_t length = std::min(text.size(), maxStringLength);
    const std::size_t needed = 1 + length;
    if (!chunk || chunkSize - chunkUsed < needed) {
        const std::size_t size = std::max(needed, std::clamp(chunkSize * 2, firstChunkSize, lastChunkSize));
        chunk = std::shared_ptr<std::uint8_t>(new std::uint8_t[size], std::default_delete<std::uint8_t[]>());
        chunkUsed = 0;
        chunkSize = size;
    }
    std::uint8_t* at = chunk.get() + chunkUsed;
    at[0] = static_cast<std::uint8_t>(length);
    std::memcpy(at + 1, text.data(), length);
    if (!runs.empty() && runs.back().storage.get() == chunk.get() && runs.back().bytes + runs.back().size == at) {
        runs.back().size += needed;
        ++runs.back().count;
    } else {
        runs.push_back({ chunk, at, needed, 1 });
    }
    chunkUsed += needed;
    ++entries;
}

void StringList::AppendRun(std::shared_ptr<const std::uint8_t> storage, const std::uint8_t* bytes, std::size_t size,
    std::size_t count)
{
    if (count == 0)
        return;
    runs.push_back({ std::move(storage), bytes, size, count });
    entries += count;
}

void StringList::clear()
{
    std::vector<Run>().swap(runs);
    entries = 0;
    ReleaseChunk();
}

void StringList::ReleaseChunk()
{
    chunk.reset();
    chunkUsed = 0;
    chunkSize = 0;
}

void StringList::Take(StringList& other) noexcept
{
    runs = std::move(other.runs);
    other.runs.clear();
    entries = std::exchange(other.entries, 0);
    chunk = std::move(other.chunk);
    chunkUsed = std::exchange(other.chunkUsed, 0);
    chunkSize = std::exchange(other.chunkSize, 0);
}
