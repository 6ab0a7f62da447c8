// The parser on files built byte by byte: layouts, strings, counts and files that end early.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <optional>
#include <tuple>

namespace {

SourceFile OldFile()
{
    // clang-format off
    return { .headWord = 7, .words = { 1, 2, 3, 4, 5, 6, 7, 8, 9 }, .lead = "lead", .listA = { "a1", "", "a3" },
        .listB = { "b1" } };
    // clang-format on
}

SourceFile NewFile(std::uint16_t version)
{
    SourceFile file = AsNewLayout(OldFile(), version);
    file.extWords = { 0x81, 0x82, 0x83, 0x84 };
    file.tailWords = { 0x91, 0x92, 0x93 };
    return file;
}

// Every field of the record against the file it was parsed from.
void ExpectFields(const TabrixRecord& record, const SourceFile& file)
{
    EXPECT_EQ(record.head, file.newLayout ? file.headWord & 0xFFFF : file.headWord);
    EXPECT_EQ(record.version, file.newLayout ? file.version : version10);
    EXPECT_EQ(record.words, file.words);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(record.blocks[i], BlockOf(file, i)) << "B" << i + 1;
    EXPECT_EQ(record.extWords, file.newLayout ? file.extWords : (std::array<std::uint32_t, 4> { 0, 0, 0, 0 }));
    EXPECT_EQ(record.tailWords, file.newLayout ? file.tailWords : (std::array<std::uint32_t, 3> { 2, 1, 2 }));
    EXPECT_EQ(record.leadString, CutAtNul(file.lead));
    EXPECT_EQ(record.listA, Converted(file, version12).listA.entries);
    EXPECT_EQ(record.listB, Converted(file, version12).listB.entries);
}

// The file parsed whole, every field checked against it.
TabrixRecord ParsedAs(const SourceFile& file)
{
    const TabrixRecord record = Parsed(Encode(file));
    ExpectFields(record, file);
    return record;
}

}

TEST(ParseRecord, LayoutIsTheUpperHalfOfTheFirstWord)
{
    // The first word, whether it marks the new layout, the head it gives.
    const std::tuple<std::uint32_t, bool, std::uint32_t> cases[] = { { 0xFFFEFFFF, false, 0xFFFEFFFF },
        { 0x0000FFFF, false, 0x0000FFFF }, { 0, false, 0 }, { 0x7FFFFFFF, false, 0x7FFFFFFF }, { 0xFFFF0000, true, 0 },
        { 0xFFFFFFFF, true, 0xFFFF }, { 0xFFFF0102, true, 0x0102 } };
    for (const auto& [first, newLayout, head] : cases) {
        SourceFile file = newLayout ? NewFile(version12) : OldFile();
        file.headWord = first;
        EXPECT_EQ(ParsedAs(file).head, head) << std::hex << first;
    }
}

TEST(ParseRecord, AnyVersionFieldIsKeptAndReadInTheNewLayout)
{
    for (std::uint16_t version : { 0x0101, 0x0102, 0x0100, 0x0205, 0x0000, 0xFFFF }) {
        SCOPED_TRACE(version);
        ParsedAs(NewFile(version));
    }
}

TEST(ParseRecord, NegativeCountsEmbeddedNulsAndTrailingBytes)
{
    for (bool newLayout : { false, true }) {
        SCOPED_TRACE(newLayout ? "new layout" : "old layout");
        SourceFile file = newLayout ? NewFile(version11) : OldFile();
        file.lead = std::string("AB\0CD", 5);
        file.listA = StoredList::Negative(-1);
        file.listB = StoredList::Negative(INT32_MIN);
        const TabrixRecord record = ParsedAs(file);
        EXPECT_TRUE(record.listA.empty());
        EXPECT_TRUE(record.listB.empty());
        file.listA = { std::string("x\0yz", 4), std::string(1, '\0'), std::string(255, 'w') };
        file.trailing = Bytes(40, 0xFF);
        EXPECT_EQ(ParsedAs(file).listA, (std::vector<std::string> { "x", "", std::string(255, 'w') }));
    }
}

TEST(ParseRecord, AppendsToTheListsAndReplacesTheLeadString)
{
    TabrixRecord record;
    record.leadString = "earlier lead";
    record.listA = { "kept" };
    ASSERT_EQ(Parse(Encode(OldFile()), record), 1);
    EXPECT_EQ(record.leadString, "lead");
    EXPECT_EQ(record.listA, (std::vector<std::string> { "kept", "a1", "", "a3" }));
    EXPECT_EQ(record.listB, (std::vector<std::string> { "b1" }));
}

TEST(ParseRecord, EveryStrictPrefixFailsWithoutReadingPastIt)
{
    std::vector<SourceFile> files = { OldFile(), NewFile(version12), NewFile(0x0205) };
    files.push_back(NewFile(version11));
    files.back().listA = StoredList::Negative(-1);
    files.back().listB = { std::string(255, 'q'), std::string("n\0l", 3) };
    files.push_back({ .headWord = 7, .words = { 1, 2, 3, 4, 5, 6, 7, 8, 9 } }); // no lead string, empty lists
    files.push_back(OldFile());
    files.back().listB = { "", "last" };

    for (const auto& file : files) {
        const Bytes bytes = Encode(file);
        Parsed(bytes);
        for (std::size_t size = 0; size < bytes.size(); ++size) {
            TabrixRecord record;
            ASSERT_EQ(ParseRecord(ExactImage(bytes, size).Image(), record), 0) << size << " of " << bytes.size();
        }
    }
}

TEST(ParseRecord, AFixedPartShorterThanItsLayoutFails)
{
    // The smallest old file, 289 bytes, is too short for the fixed part of the new layout.
    Bytes bytes = Encode(SourceFile {});
    ASSERT_EQ(bytes.size(), 289u);
    TabrixRecord record;
    EXPECT_EQ(Parse(bytes, record), 1);
    bytes[2] = bytes[3] = 0xFF;
    EXPECT_EQ(Parse(bytes, record), 0);
    // Nothing after the fixed part at all.
    EXPECT_EQ(Parse(Bytes(280, 0x00), record), 0);
    Bytes newFixed(298, 0x00);
    newFixed[2] = newFixed[3] = 0xFF;
    EXPECT_EQ(Parse(newFixed, record), 0);
}

TEST(ParseRecord, AHugeCountFailsAtOnce)
{
    for (bool newLayout : { false, true }) {
        for (bool inListB : { false, true }) {
            SCOPED_TRACE(std::string(newLayout ? "new" : "old") + (inListB ? " list B" : " list A"));
            SourceFile file = newLayout ? NewFile(version12) : OldFile();
            std::tie(file.listA, file.listB, file.tailWords)
                = std::tuple(StoredList {}, StoredList {}, std::array<std::uint32_t, 3> {});
            (inListB ? file.listB : file.listA).count = INT32_MAX;
            Bytes bytes = Encode(file);
            bytes.resize(400, 0x00); // zeros: each could pass for an empty entry
            TabrixRecord record;
            const auto start = std::chrono::steady_clock::now();
            EXPECT_NO_THROW(EXPECT_EQ(Parse(bytes, record), 0));
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
            EXPECT_TRUE(record.listA.empty());
            EXPECT_TRUE(record.listB.empty());
        }
    }
}

TEST(ReadPString, EmbeddedNulEndsTheTextNotThePosition)
{
    const Bytes bytes = { 0x09, 0x05, 0x41, 0x42, 0x00, 0x43, 0x44, 0x00, 0x02, 0x45, 0x46 };
    ExactImage image(bytes);
    const std::tuple<std::size_t, std::size_t, const char*> cases[] = { { 1, 7, "AB" }, { 7, 8, "" }, { 8, 11, "EF" } };
    for (const auto& [at, next, expected] : cases) {
        std::string text = "before";
        EXPECT_EQ(ReadPString(image.Image(), at, text), std::optional<std::size_t>(next)) << at;
        EXPECT_EQ(text, expected) << at;
    }
}

TEST(ReadPString, AStringPastTheEndFailsAndLeavesTheText)
{
    Bytes bytes(256, 'x');
    bytes[0] = 0xFF;
    ExactImage image(bytes);
    std::string text;
    EXPECT_EQ(ReadPString(image.Image(), 0, text), std::optional<std::size_t>(256));
    EXPECT_EQ(text, std::string(255, 'x'));
    for (std::size_t size : { 255u, 1u, 0u }) {
        ExactImage cut(bytes, size);
        text = "before";
        EXPECT_FALSE(ReadPString(cut.Image(), 0, text).has_value()) << size;
        EXPECT_EQ(text, "before");
    }
    EXPECT_FALSE(ReadPString(image.Image(), 256, text).has_value());
    EXPECT_FALSE(ReadPString(image.Image(), 1000, text).has_value());
    EXPECT_EQ(text, "before");
}
