#pragma once

// The sample documents of the dialog suites: W1..W9 distinct but W4, the one the conversions
// change together with the version.

#include "support/TabrixFile.h"

inline TabrixFields DialogSample(std::uint32_t head, std::uint32_t w4)
{
    TabrixFields file { .headWord = head, .blockSeeds = { 31, 62, 93, 124 }, .blockStep = 7,
        .extWords = { 0x11111111, 0x22222222, 0x33333333, 0x44444444 }, .tailWords = { 7, 8, 9 },
        .lead = "Lead \x83\x41", .listA = { "alpha", "", "gamma" }, .listB = { "b" } };
    for (std::uint32_t w = 1; w <= 9; ++w)
        file.words[w - 1] = w == 4 ? w4 : 0x01000000u * w + w;
    return file;
}

// One document in the new layout, head 0x1234.
inline Bytes NewLayoutFile(FormatVersion version, std::uint32_t w4) { return NewLayout(DialogSample(0x1234, w4), version); }

// The same kind of document in the old layout of version 1.0.
inline Bytes OldLayoutFile(std::uint32_t head, std::uint32_t w4) { return OldLayout(DialogSample(head, w4)); }
