// Lists that refer to their strings in the file's image: what they hold and what the writers
// make of them is what a list of separate strings gave.
#include "EngineTestSupport.h"

#include "engine/RecordWriters.h"
#include "engine/TabrixDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace engine_support;

namespace {

ConvStatus WriteAs(FormatVersion version, CFile& file, const TabrixRecord& record)
{
    return version == version10 ? WriteVersion10(file, record)
        : version == version11  ? WriteVersion11(file, record)
                                : WriteVersion12(file, record);
}

SourceFile NewFile(StoredList listA, StoredList listB)
{
    SourceFile file;
    file.newLayout = true;
    file.headWord = 0xFFFF0003;
    file.version = version12;
    file.words = { 1, 2, 3, 7, 5, 6, 7, 8, 9 };
    file.tailWords = { 2, 1, 2 };
    file.lead = "lead";
    file.listA = std::move(listA);
    file.listB = std::move(listB);
    return file;
}

// What every writer makes of record is the conversion of file, each list in a few writes.
void ExpectWrittenAs(const TabrixRecord& record, const SourceFile& file)
{
    for (FormatVersion target : knownVersions) {
        CollectingFile out;
        ASSERT_EQ(WriteAs(target, out, record), Success);
        EXPECT_TRUE(out.bytes == Encode(Converted(file, target))) << "to " << target;
        EXPECT_LT(out.writeCalls, 40) << "to " << target;
    }
}

}

TEST(RecordLists, AFileOfEmptyStringsIsWrittenAsItWasRead)
{
    const SourceFile file = NewFile(StoredList::Of(std::vector<std::string>(300000)),
        StoredList::Of(std::vector<std::string>(200001)));
    TabrixRecord record;
    ASSERT_EQ(ParseRecord(ExactImage(Encode(file)).Image(), record), 1);
    ASSERT_EQ(record.listA.size(), 300000u);
    ASSERT_EQ(record.listB.size(), 200001u);
    EXPECT_TRUE(std::all_of(record.listB.begin(), record.listB.end(), [](std::string_view text) { return text.empty(); }));
    ExpectWrittenAs(record, file);

    // The same through a document: loaded from a file and saved to another, byte for byte.
    const auto folder = std::filesystem::temp_directory_path() / "kovrel-record-lists";
    std::filesystem::create_directories(folder);
    const Bytes bytes = Encode(file);
    std::ofstream((folder / "empty.tbx").string(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    TabrixDocument document((folder / "empty.tbx").string().c_str());
    ASSERT_EQ(document.Load(), Success);
    document.SetTargetVersion(1, 2);
    document.SetDestinationPath((folder / "copy.tbx").string().c_str());
    ASSERT_EQ(document.Save(), Success);
    // Closed before the folder goes: Windows removes no open file.
    std::ifstream copy((folder / "copy.tbx").string(), std::ios::binary);
    EXPECT_TRUE(Bytes(std::istreambuf_iterator<char>(copy), {}) == bytes);
    copy.close();
    std::filesystem::remove_all(folder);
}

// A parse that fails inside list A keeps the entries read so far; strings added from elsewhere
// (kept to 255 bytes) and a later parse append to them, and the writers write them all in order.
TEST(RecordLists, AListSplitByAFailedParseGrowsAndIsWrittenInOrder)
{
    const std::string withNul("a\0x", 3);
    Bytes cut = Encode(NewFile(StoredList::Of({ "a1", withNul, "", "a4" }), StoredList::Of({ "b1" })));
    const Bytes a4 = { 2, 'a', '4' };
    cut.resize(std::search(cut.begin(), cut.end(), a4.begin(), a4.end()) - cut.begin() + 2);
    TabrixRecord record;
    ASSERT_EQ(ParseRecord(ExactImage(cut).Image(), record), 0);
    EXPECT_EQ(record.listA, (std::vector<std::string> { "a1", "a", "" }));

    record.listA.push_back(std::string(300, 'p'));
    record.listA.push_back("q");
    const SourceFile later = NewFile(StoredList::Of({ "c1" }), StoredList::Of({ "d1", "d2" }));
    ASSERT_EQ(ParseRecord(ExactImage(Encode(later)).Image(), record), 1);
    record.listB.push_back("d3");

    SourceFile expected = later;
    expected.listA = StoredList::Of({ "a1", "a", "", std::string(255, 'p'), "q", "c1" });
    expected.listB = StoredList::Of({ "d1", "d2", "d3" });
    EXPECT_EQ(record.listA, expected.listA.entries);
    EXPECT_EQ(record.listA[3], std::string(255, 'p'));
    ExpectWrittenAs(record, expected);

    // A copy shares the entries but not the room for new ones.
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
        const Bytes bytes = Encode(withEntries ? NewFile(StoredList::Of({ "a" }), StoredList::Of({ "b" }))
                                               : NewFile(StoredList::Of({}), StoredList::Negative(-1)));
        SharedImage image { std::shared_ptr<std::uint8_t>(new std::uint8_t[bytes.size()], std::default_delete<std::uint8_t[]>()), bytes.size() };
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
