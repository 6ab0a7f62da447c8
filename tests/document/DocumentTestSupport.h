#pragma once

// The document suite's sample file and the document's fields that the tests compare.

#include "engine/TabrixDocument.h"
#include "support/ScratchFolder.h"
#include "support/TabrixFile.h"

#include <gtest/gtest.h>

// A 1.2-like file with W4 = 6 and blocks filled with 0xB1..0xB4; NewLayout or OldLayout writes it.
inline TabrixFields Sample()
{
    return { .headWord = 0x1234, .words = { 11, 12, 13, 6, 15, 16, 17, 18, 19 }, .blockSeeds = { 0xB1, 0xB2, 0xB3, 0xB4 },
        .blockStep = 0, .extWords = { 0x71, 0x72, 0x73, 0x74 }, .tailWords = { 7, 8, 9 }, .lead = "lead",
        .listA = { "a1", "a2" }, .listB = { "b1" } };
}

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
inline void LoadFrom(TestDocument& document, const std::string& path, const Bytes& bytes)
{
    ASSERT_TRUE(WriteBytes(path, bytes)) << path;
    document.Reset();
    ASSERT_EQ(document.SetSourcePath(path.c_str()), 1);
    ASSERT_EQ(document.Load(), Success) << path;
}
