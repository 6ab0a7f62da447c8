// Any bytes: the parser must stay inside them, and what it parsed must survive every writer.
#include "engine/RecordParser.h"
#include "engine/RecordWriters.h"
#include "support/CollectingFile.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

std::uint32_t MappedW4(std::uint32_t value)
{
    return value == 5 ? 4 : value == 6 ? 3 : value;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void RoundTrip(const TabrixRecord& first, FormatVersion target)
{
    CollectingFile file;
    ConvStatus status = target == version10 ? WriteVersion10(file, first)
        : target == version11               ? WriteVersion11(file, first)
                                            : WriteVersion12(file, first);
    Check(status == Success);
    TabrixRecord second;
    Check(ParseRecord(FileImage { file.bytes.data(), file.bytes.size() }, second) == 1);

    TabrixRecord expected = first;
    if (target != version12)
        expected.words[3] = MappedW4(first.words[3]);
    if (target == version10) {
        expected.extWords = { 0, 0, 0, 0 };
        expected.tailWords = { 2, 1, 2 };
    } else {
        expected.head = first.head & 0xFFFF;
    }
    expected.version = target;
    // A 1.0 head with 0xFFFF in its upper half reads back in the new layout: nothing else to compare.
    if (target == version10 && first.head >= 0xFFFF0000u)
        return;
    Check(second.head == expected.head && second.version == expected.version && second.words == expected.words
        && second.blocks == expected.blocks && second.extWords == expected.extWords
        && second.tailWords == expected.tailWords && second.leadString == expected.leadString
        && second.listA == expected.listA && second.listB == expected.listB);
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact-size copy, so that a read past the end is caught.
    std::vector<std::uint8_t> image(data, data + size);
    TabrixRecord record;
    if (ParseRecord(FileImage { image.data(), image.size() }, record) != 1)
        return 0;
    for (FormatVersion target : { version10, version11, version12 })
        RoundTrip(record, target);
    return 0;
}
