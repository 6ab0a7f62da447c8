#pragma once

// The tests' one sample document, for every suite that needs a plain file to load, convert or
// save: head 0x1234, W1..W9 distinct but W4 (the word a conversion changes with the version),
// blocks filled with 0xB1..0xB4, and short strings in both lists.

#include "support/TabrixFile.h"

inline TabrixFields Sample(std::uint32_t w4 = 6, std::uint32_t head = 0x1234)
{
    // clang-format off
    return { .headWord = head, .words = { 11, 12, 13, w4, 15, 16, 17, 18, 19 }, .blockSeeds = { 0xB1, 0xB2, 0xB3, 0xB4 },
        .blockStep = 0, .extWords = { 0x71, 0x72, 0x73, 0x74 }, .tailWords = { 7, 8, 9 }, .lead = "lead",
        .listA = { "a1", "a2" }, .listB = { "b1" } };
    // clang-format on
}

// The sample with strings of its own.
inline TabrixFields Sample(std::uint32_t w4, std::string lead, StoredList listA, StoredList listB)
{
    TabrixFields file = Sample(w4);
    file.lead = std::move(lead);
    file.listA = std::move(listA);
    file.listB = std::move(listB);
    return file;
}
