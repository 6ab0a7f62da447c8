#pragma once

#include "engine/FormatVersion.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The upper half of the first word that marks a file of the new layout.
inline constexpr std::uint32_t newLayoutMarker = 0xFFFF0000;
// The most bytes a PString holds.
inline constexpr std::size_t maxStringLength = 255;
// What a file of the old layout, which has no X1..X4 and no T1..T3, stands for in their place.
inline constexpr std::array<std::uint32_t, 4> oldLayoutExtWords { 0, 0, 0, 0 };
inline constexpr std::array<std::uint32_t, 3> oldLayoutTailWords { 2, 1, 2 };

// The strings of one list, kept the way a file stores them: runs of PStrings (a length byte,
// then that many bytes, no NUL among them), each run in memory that it keeps alive. A parsed
// list refers to its strings where they lie in the file's image, so an entry costs no memory of
// its own, and a writer puts a whole run out with one write. Entries read as views of their bytes.
class StringList {
public:
    // Consecutive PStrings; storage owns the memory that bytes points into.
    struct Run {
        std::shared_ptr<const std::uint8_t> storage;
        const std::uint8_t* bytes = nullptr;
        std::size_t size = 0;  // in bytes, length bytes included
        std::size_t count = 0; // entries, at least 1
    };

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;

        const_iterator() = default;
        std::string_view operator*() const { return { reinterpret_cast<const char*>(at + 1), *at }; }
        const_iterator& operator++()
        {
            at += 1 + *at;
            if (at == runEnd)
                Enter(run + 1);
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const const_iterator& other) const { return at == other.at; }

    private:
        friend class StringList;
        const_iterator(const Run* first, const Run* last)
            : last(last)
        {
            Enter(first);
        }
        void Enter(const Run* next)
        {
            run = next;
            at = run == last ? nullptr : run->bytes;
            runEnd = run == last ? nullptr : run->bytes + run->size;
        }

        const Run* run = nullptr;
        const Run* last = nullptr;
        const std::uint8_t* at = nullptr; // the entry's length byte; null at the end
        const std::uint8_t* runEnd = nullptr;
    };
    using iterator = const_iterator;
    using value_type = std::string_view;
    using size_type = std::size_t;

    StringList() = default;
    // A copy shares the runs, which never change; only its own later entries go elsewhere.
    StringList(const StringList& other)
        : runs(other.runs)
        , entries(other.entries)
    {
    }
    StringList& operator=(const StringList& other)
    {
        if (this != &other) {
            runs = other.runs;
            entries = other.entries;
            ReleaseChunk();
        }
        return *this;
    }
    StringList(StringList&& other) noexcept { Take(other); }
    StringList& operator=(StringList&& other) noexcept
    {
        if (this != &other)
            Take(other);
        return *this;
    }
    // The list holds exactly these strings, each kept to 255 bytes.
    StringList& operator=(std::initializer_list<std::string_view> texts);

    std::size_t size() const { return entries; }
    bool empty() const { return entries == 0; }
    const_iterator begin() const { return { runs.data(), runs.data() + runs.size() }; }
    const_iterator end() const { return {}; }
    // These walk the entries one by one: iterate to visit many.
    std::string_view operator[](std::size_t index) const;
    std::string_view front() const { return empty() ? std::string_view() : *begin(); }
    std::string_view back() const { return (*this)[entries - 1]; }

    // A string from elsewhere, kept to its first 255 bytes so that it fits a PString; its bytes
    // are taken as they are. Raises std::bad_alloc and then leaves the list as it was.
    void push_back(std::string_view text);
    // Appends count PStrings that lie in size bytes at bytes, inside storage; nothing for count 0.
    // Raises std::bad_alloc and then leaves the list as it was.
    void AppendRun(std::shared_ptr<const std::uint8_t> storage, const std::uint8_t* bytes, std::size_t size,
        std::size_t count);
    // No entries; the memory they lay in is given back once nothing else refers to it.
    void clear();

    const std::vector<Run>& Runs() const { return runs; }

    friend bool operator==(const StringList& a, const StringList& b) { return Equal(a, b); }
    friend bool operator==(const StringList& a, const std::vector<std::string>& b) { return Equal(a, b); }

private:
    template<typename List>
    static bool Equal(const StringList& a, const List& b)
    {
        if (a.size() != b.size())
            return false;
        auto other = b.begin();
        for (std::string_view text : a) {
            if (text != std::string_view(*other++))
                return false;
        }
        return true;
    }
    void ReleaseChunk();
    void Take(StringList& other) noexcept;

    std::vector<Run> runs;
    std::size_t entries = 0;
    // Where push_back puts its PStrings: chunkUsed of chunkSize bytes are taken. A copy of the
    // list does not get the chunk, so two lists never write into the same bytes.
    std::shared_ptr<std::uint8_t> chunk;
    std::size_t chunkUsed = 0;
    std::size_t chunkSize = 0;
};

// The content of one Tabrix file, the same fields whatever version wrote it.
struct TabrixRecord {
    static constexpr std::size_t blockSize = 60;
    using Block = std::array<std::uint8_t, blockSize>;

    std::uint32_t head = 0;
    std::array<std::uint32_t, 9> words {};     // W1..W9
    std::array<Block, 4> blocks {};            // B1..B4
    std::array<std::uint32_t, 4> extWords {};  // X1..X4
    std::array<std::uint32_t, 3> tailWords {}; // T1..T3
    std::string leadString;
    StringList listA;
    StringList listB;
    FormatVersion version = 0;
};
