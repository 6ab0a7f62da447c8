#include "engine/ConversionNotes.h"

#include "engine/TabrixRecord.h"

unsigned ConversionNotesOf(const TabrixRecord& record, FormatVersion target)
{
    const bool oldLayout = target == version10;
    unsigned notes = 0;
    if (oldLayout && record.extWords != oldLayoutExtWords)
        notes |= ExtWordsDropped;
    if (oldLayout && record.tailWords != oldLayoutTailWords)
        notes |= TailWordsDropped;
    if (!oldLayout && (record.head & newLayoutMarker) != 0)
        notes |= HeadHighDropped;
    if (target == version10 || target == version11) {
        const std::uint32_t w4 = record.words[3];
        notes |= w4 == 5 ? W4FiveAsFour : w4 == 6 ? W4SixAsThree : 0u;
    }
    return notes;
}
