// Lists that refer to their strings in the file's image: what they hold and what the writers
// make of them is what a list of separate strings gave.
#include "EngineTestSupport.h"

#include "engine/TabrixDocument.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

SourceFile NewFile(StoredList listA, StoredList listB)
{
    // clang-format off
    return { .newLayout = true, .headWord = 0xFFFF0003, .version = version12, .words = { 1, 2, 3, 7, 5, 6, 7, 8, 9 },
        .tailWords = { 2, 1, 2 }, .lead = "lead", .listA = std::move(listA), .listB = std::move(listB) };
    // clang-format on
}

// What every writer makes of record is the conversion of file, each list in a few writes.
void ExpectWrittenAs(const TabrixRecord& record, const SourceFile& file)
{
    for (const auto& writer : writers) {
        CollectingFile out;
        ASSERT_EQ(writer.write(out, record), Success);
        EXPECT_TRUE(out.bytes == Encode(Converted(file, writer.version))) << "to " << writer.name;
        EXPECT_LT(out.writeCalls, 40) << "to " << writer.name;
    }
}

const SourceFile emptyStrings = NewFile(std::vector<std::string>(300000), std::vector<std::string>(200001));

}

TEST(RecordLists, AFileOfEmptyStringsIsWrittenAsItWasRead)
{
    const TabrixRecord record = Parsed(Encode(emptyStrings));
    ASSERT_EQ(record.listA.size(), 300000u);
    ASSERT_EQ(record.listB.size(), 200001u);
    EXPECT_TRUE(
        std::all_of(record.listB.begin(), record.listB.end(), [](std::string_view text) { return text.empty(); }));
    ExpectWrittenAs(record, emptyStrings);
}

TEST(RecordLists, AFileOfEmptyStringsGoesThroughADocumentByteForByte)
{
    const Bytes bytes = Encode(emptyStrings);
    ScratchFolder folder;
    TabrixDocument document(folder.Write("empty.tbx", bytes).c_str());
    ASSERT_EQ(document.Load(), Success);
    document.SetTargetVersion(1, 2);
    document.SetDestinationPath(folder.File("copy.tbx").c_str());
    ASSERT_EQ(document.Save(), Success);
    EXPECT_TRUE(ReadBytes(folder.File("copy.tbx")) == bytes);
}

// A parse that fails inside list A keeps the entries read so far; strings added from elsewhere
// (kept to 255 bytes) and a later parse append to them, and the writers write them all in order.
TEST(RecordLists, AListSplitByAFailedParseGrowsAndIsWrittenInOrder)
{
    const std::string withNul("a\0x", 3);
    Bytes cut = Encode(NewFile({ "a1", withNul, "", "a4" }, { "b1" }));
    const Bytes a4 = { 2, 'a', '4' };
    cut.resize(std::search(cut.begin(), cut.end(), a4.begin(), a4.end()) - cut.begin() + 2);
    TabrixRecord record;
    ASSERT_EQ(Parse(cut, record), 0);
    EXPECT_EQ(record.listA, (std::vector<std::string> { "a1", "a", "" }));

    record.listA.push_back(std::string(300, 'p'));
    record.listA.push_back("q");
    const SourceFile later = NewFile({ "c1" }, { "d1", "d2" });
    ASSERT_EQ(Parse(Encode(later), record), 1);
    record.listB.push_back("d3");

    SourceFile expected = later;
    expected.listA = { "a1", "a", "", std::string(255, 'p'), "q", "c1" };
    expected.listB = { "d1", "d2", "d3" };
    EXPECT_EQ(record.listA, expected.listA.entries);
    ExpectWrittenAs(record, expected);
}

TEST(RecordLists, ACopySharesTheEntriesButNotTheRoomForNewOnes)
{
    TabrixRecord record = Parsed(Encode(NewFile({ "a1", "a2" }, { "b1" })));
    record.listB.push_back("added");
    TabrixRecord copy = record;
    copy.listB.push_back("in the copy");
    record.listB.push_back("in the record");
    EXPECT_EQ(copy.listB.back(), "in the copy");
    EXPECT_EQ(record.listB.back(), "in the record");
    EXPECT_EQ(copy.listA, record.listA);
}

TEST(RecordLists, TheImageGoesWithTheLastEntryThatRefersToIt)
{
    for (bool withEntries : { true, false }) {
        const Bytes bytes = Encode(withEntries ? NewFile({ "a" }, { "b" }) : NewFile({}, StoredList::Negative(-1)));
        SharedImage image { { new std::uint8_t[bytes.size()], std::default_delete<std::uint8_t[]>() }, bytes.size() };
        std::copy(bytes.begin(), bytes.end(), image.bytes.get());
        const std::weak_ptr<std::uint8_t> watch = image.bytes;
        TabrixRecord record;
        ASSERT_EQ(ParseRecord(std::move(image), record), 1);
        EXPECT_EQ(watch.expired(), !withEntries);
        record.listA.clear();
        EXPECT_EQ(watch.expired(), !withEntries);
        record.listB.clear();
        EXPECT_TRUE(watch.expired());
        EXPECT_TRUE(record.listA.empty() && record.listB.empty());
    }
}
