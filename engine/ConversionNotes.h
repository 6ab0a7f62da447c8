#pragma once

#include "engine/FormatVersion.h"

struct TabrixRecord;

// What a conversion writes otherwise than the record holds it, or cannot write at all; one bit each.
enum ConversionNote : unsigned {
    ExtWordsDropped = 1u << 0,  // 1.0 has no X1..X4, and reads them back as 0, 0, 0, 0
    TailWordsDropped = 1u << 1, // 1.0 has no T1..T3, and reads them back as 2, 1, 2
    HeadHighDropped = 1u << 2,  // the new layout keeps the low 16 bits of the head only
    W4FiveAsFour = 1u << 3,     // 1.0 and 1.1 know no W4 of 5
    W4SixAsThree = 1u << 4,     // nor of 6
};

// Every note, in the order a report names them.
inline constexpr ConversionNote conversionNotes[]
    = { ExtWordsDropped, TailWordsDropped, HeadHighDropped, W4FiveAsFour, W4SixAsThree };

// The notes of writing record as version target, or-ed together; 0 when the file read back
// gives the record again.
unsigned ConversionNotesOf(const TabrixRecord& record, FormatVersion target);
