#pragma once

// A CFile that keeps every byte written, in memory. Can fail the write that would pass byte
// failAfter, or the flush, with a chosen cause.

#include "platform/file/CFile.h"

#include <cstdint>
#include <vector>

class CollectingFile : public CFile {
public:
    void Write(const void* buffer, std::size_t count) override
    {
        ++writeCalls;
        if (count == 0)
            return;
        if (failing && bytes.size() + count > failAfter) {
            ++failedWrites;
            throw CFileException(cause, -1, "collected");
        }
        auto* data = static_cast<const std::uint8_t*>(buffer);
        bytes.insert(bytes.end(), data, data + count);
    }
    void Flush() override
    {
        ++flushCalls;
        if (failFlush)
            throw CFileException(cause, -1, "collected");
    }

    void FailAfter(std::size_t byteCount, FileErrorCause withCause)
    {
        failing = true;
        failAfter = byteCount;
        cause = withCause;
    }

    std::vector<std::uint8_t> bytes;
    int writeCalls = 0;
    int failedWrites = 0;
    int flushCalls = 0;
    bool failFlush = false;
    FileErrorCause cause = FileErrorCause::None;

private:
    bool failing = false;
    std::size_t failAfter = 0;
};
