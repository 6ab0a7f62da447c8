#pragma once

// Scratch folders, raw file bytes and hand-built Tabrix files for the document tests.

#include "engine/TabrixDocument.h"

#include <cstdint>
#include <string>
#include <vector>

namespace doctest_support {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder for one test, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const;
    // The names in the folder, sorted.
    std::vector<std::string> Names() const;

private:
    std::string path;
};

// The names in a folder, sorted.
std::vector<std::string> NamesIn(const std::string& folder);

Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);
bool Exists(const std::string& path);

// The fields of a Tabrix file, written out by hand in either layout.
struct Sample {
    std::uint32_t head = 0x1234;
    std::uint32_t words[9] = { 11, 12, 13, 6, 15, 16, 17, 18, 19 };
    std::uint8_t blockFill[4] = { 0xB1, 0xB2, 0xB3, 0xB4 };
    std::uint32_t extWords[4] = { 0x71, 0x72, 0x73, 0x74 };
    std::uint32_t tailWords[3] = { 7, 8, 9 };
    std::string lead = "lead";
    std::vector<std::string> listA = { "a1", "a2" };
    std::vector<std::string> listB = { "b1" };
};

// The old layout: head word as given, W4 as given (the caller maps it).
Bytes OldLayout(const Sample& sample);
// The new layout with this version field.
Bytes NewLayout(const Sample& sample, std::uint16_t version);

// Reaches the document's fields that the tests compare.
class TestDocument : public TabrixDocument {
public:
    using TabrixDocument::TabrixDocument;
    TabrixRecord& Record() { return record; }
    int Loaded() const { return loaded; }
    const std::string& SourcePath() const { return sourcePath; }
    const std::string& DestinationPath() const { return destinationPath; }
    FormatVersion Target() const { return targetVersion; }
};

// A document loaded from bytes written to path; fails the test when the load does.
void LoadFrom(TestDocument& document, const std::string& path, const Bytes& bytes);

}
