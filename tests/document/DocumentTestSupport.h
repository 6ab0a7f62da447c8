#pragma once

// The document suite's sample file and the document's fields that the tests compare.

#include "engine/TabrixDocument.h"
#include "support/SampleFile.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

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

// The document with its file calls counted, and failed on request.
class ProbedDocument : public TestDocument {
public:
    using TestDocument::TestDocument;

    bool Open(const char* path, unsigned flags, CFileException* failure) override
    {
        ++opens;
        lastFlags = flags;
        return TestDocument::Open(path, flags, failure);
    }
    std::uint64_t GetLength() override
    {
        if (lengthFailure)
            throw CFileException(FileErrorCause::HardIO, 23, GetFilePath());
        return fakeLength ? *fakeLength : TestDocument::GetLength();
    }
    std::size_t Read(void* buffer, std::size_t count) override
    {
        readCount = count;
        if (readFailure != FileErrorCause::None)
            throw CFileException(readFailure, -1, GetFilePath());
        return TestDocument::Read(buffer, count);
    }
    // Fails the failAt-th write (counting from 1) and every one after, as a full disk stays full;
    // or the flush, or the close after writing.
    void Write(const void* buffer, std::size_t count) override
    {
        if (++writes >= failAt && failAt > 0)
            throw CFileException(cause, -1, GetFilePath());
        TestDocument::Write(buffer, count);
    }
    void Flush() override
    {
        if (failFlush)
            throw CFileException(cause, -1, GetFilePath());
        TestDocument::Flush();
    }
    void Close() override
    {
        // Only the close after writing: the check of the destination closes without writes.
        const bool fail = failClose && writes > 0;
        TestDocument::Close();
        if (fail)
            throw CFileException(FileErrorCause::HardIO, -1, GetFilePath());
    }

    int opens = 0;
    unsigned lastFlags = 0;
    bool lengthFailure = false;
    std::optional<std::uint64_t> fakeLength;
    FileErrorCause readFailure = FileErrorCause::None;
    std::size_t readCount = 0;
    int writes = 0;
    int failAt = 0;
    bool failFlush = false;
    bool failClose = false;
    FileErrorCause cause = FileErrorCause::None;
};

// What GetVersion gives: its result, then the numbers (77 and 88 when it leaves them alone).
inline std::tuple<int, int, int> VersionOf(const TabrixDocument& document)
{
    std::uint8_t major = 77, minor = 88;
    const int loaded = document.GetVersion(major, minor);
    return { loaded, major, minor };
}

// The document emptied, given path as its source, and loaded: the load's status.
inline ConvStatus Reload(TestDocument& document, const std::string& path)
{
    document.Reset();
    EXPECT_EQ(document.SetSourcePath(path.c_str()), 1);
    return document.Load();
}

// The document saved to path: the save's status.
inline ConvStatus SaveTo(TabrixDocument& document, const std::string& path)
{
    EXPECT_EQ(document.SetDestinationPath(path.c_str()), 1);
    return document.Save();
}

// A document loaded from bytes written to path; fails the test when the load does.
inline void LoadFrom(TestDocument& document, const std::string& path, const Bytes& bytes)
{
    ASSERT_TRUE(WriteBytes(path, bytes)) << path;
    ASSERT_EQ(Reload(document, path), Success) << path;
}
