// The three writers against bytes built on the test's side from the conversion rules.
#include "EngineTestSupport.h"

#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct NamedSource {
    const char* name;
    SourceFile file;
};

// Files of both layouts with everything a conversion must change or keep.
std::vector<NamedSource> Sources()
{
    // clang-format off
    const TabrixFields version11Zero { .newLayout = true, .headWord = 0xFFFF0000, .version = 0x0101,
        .words = { 9, 8, 7, 7, 5, 6, 3, 2, 1 }, .extWords = { 0x01020304, 0, 0xFFFFFFFF, 42 },
        .tailWords = { 0, 0xFFFFFFFF, 99 }, .lead = "lead", .listA = { "a1", "a2", "a3" } };
    const TabrixFields version12Full { .newLayout = true, .headWord = 0xFFFFFFFF, .version = 0x0102,
        .words = { 11, 12, 13, 6, 15, 16, 17, 18, 19 }, .extWords = { 0x71, 0x72, 0x73, 0x74 },
        .tailWords = { 2, 1, 2 }, .lead = std::string("\0hid", 4), .listA = { std::string("a", 2), "" },
        .listB = StoredList::Negative(-1), .trailing = Bytes(17, 0x5C) };
    // clang-format on
    TabrixFields oddOld = version11Zero;
    oddOld.headWord = 0xFFFF8001;
    oddOld.version = 0x0100;
    oddOld.words[3] = 5;
    oddOld.listB = StoredList::Negative(INT32_MIN);
    TabrixFields oddNew = version12Full;
    oddNew.headWord = 0xFFFF0003;
    oddNew.version = 0x0205;
    oddNew.lead = std::string(255, 'L');
    oddNew.listB = { std::string(254, '\0') + "z", "q" };
    oddNew.trailing.clear();
    return {
        // clang-format off
        // The upper half one short of the new layout's marker.
        { "old head 0xFFFEFFFF, W4 5",
            { .headWord = 0xFFFEFFFF, .words = { 1, 2, 3, 5, 0xFFFFFFFF, 0x80000000, 7, 8, 9 },
                .lead = std::string("le\0ad", 5), .listA = StoredList::Negative(-1),
                .listB = { "b1", std::string("\0x", 2), "", "b4" }, .trailing = { 0xAA, 0x00, 0xFF } } },
        { "old W4 6, count INT32_MIN",
            { .headWord = 0x12345678, .words = { 0, 0, 0, 6, 0, 0, 0, 0, 0 }, .listA = StoredList::Negative(INT32_MIN),
                .listB = { std::string(255, '\xE9'), "\x82\xA0" } } },
        // clang-format on
        { "1.1 head 0xFFFF0000, W4 7", version11Zero },
        { "1.2 head 0xFFFFFFFF, W4 6", version12Full },
        { "new layout 0x0100, W4 5", oddOld },
        { "new layout 0x0205, W4 6", oddNew },
    };
}

std::uint32_t WordAt(const Bytes& bytes, std::size_t offset)
{
    return std::uint32_t(bytes.at(offset)) | std::uint32_t(bytes.at(offset + 1)) << 8
        | std::uint32_t(bytes.at(offset + 2)) << 16 | std::uint32_t(bytes.at(offset + 3)) << 24;
}

// What writer puts out for record, which it must write without a failure.
Bytes WrittenBy(const Writer& writer, const TabrixRecord& record)
{
    CollectingFile file;
    EXPECT_EQ(writer.write(file, record), Success) << writer.name;
    return file.bytes;
}

// The smallest record: head 3, the tail words of 1.2, everything else zero or empty.
TabrixRecord Smallest()
{
    TabrixRecord record;
    record.head = 3;
    record.tailWords = { 2, 1, 2 };
    record.version = version12;
    return record;
}

}

TEST(Writers, EveryLayoutIntoEveryLayoutGivesTheConvertedBytes)
{
    for (const auto& source : Sources()) {
        const TabrixRecord record = Parsed(Encode(source.file));
        EXPECT_EQ(record.version, source.file.newLayout ? source.file.version : version10) << source.name;
        for (const auto& writer : writers) {
            SCOPED_TRACE(std::string(source.name) + " into " + writer.name);
            CollectingFile file;
            EXPECT_EQ(writer.write(file, record), Success);
            EXPECT_EQ(file.bytes, Encode(Converted(source.file, writer.version)));
            // What is written is a file of the target's version again.
            const TabrixRecord again = Parsed(file.bytes);
            EXPECT_EQ(again.version, writer.version);
            EXPECT_EQ(file.flushCalls, 1);
        }
    }
}

TEST(Writers, WorkedExampleOfTheSmallestNewLayoutFile)
{
    // Zeros: the words, blocks and extra words (292), the empty lead (1) and the two counts (8).
    Bytes expected12 = { 0x03, 0x00, 0xFF, 0xFF, 0x02, 0x01 };
    expected12.insert(expected12.end(), 292 + 1 + 8, 0x00);
    expected12.insert(expected12.end(), { 2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0 });
    ASSERT_EQ(expected12.size(), 319u);
    const Bytes written = WrittenBy(writers[2], Smallest());
    EXPECT_EQ(written, expected12);
    const TabrixRecord parsed12 = Parsed(written);
    EXPECT_EQ(std::tuple(parsed12.head, parsed12.version), std::tuple(3u, 0x0102));
}

TEST(Writers, WorkedExampleOfTheSmallestOldLayoutFile)
{
    Bytes expected10 = { 0x03, 0x00, 0x00, 0x00 };
    expected10.insert(expected10.end(), 276 + 1 + 8, 0x00);
    ASSERT_EQ(expected10.size(), 289u);
    const Bytes written = WrittenBy(writers[0], Smallest());
    EXPECT_EQ(written, expected10);
    TabrixRecord parsed10;
    parsed10.extWords = { 9, 9, 9, 9 };
    ASSERT_EQ(Parse(written, parsed10), 1);
    EXPECT_EQ(parsed10.version, version10);
    EXPECT_EQ(parsed10.extWords, (std::array<std::uint32_t, 4> { 0, 0, 0, 0 }));
    EXPECT_EQ(parsed10.tailWords, (std::array<std::uint32_t, 3> { 2, 1, 2 }));
}

TEST(Writers, W4MappingOnlyForOneZeroAndOneOneAndRecordUnchanged)
{
    struct Case {
        std::uint32_t held, as10, as11, as12;
    };
    const Case cases[]
        = { { 5, 4, 4, 5 }, { 6, 3, 3, 6 }, { 7, 7, 7, 7 }, { 4, 4, 4, 4 }, { 3, 3, 3, 3 }, { 0, 0, 0, 0 },
              { 0x00010005, 0x00010005, 0x00010005, 0x00010005 }, { 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF } };
    for (const auto& c : cases) {
        TabrixRecord record;
        record.words = { 5, 6, 5, c.held, 6, 5, 6, 5, 6 };
        const TabrixRecord before = record;
        for (const auto& writer : writers) {
            const Bytes bytes = WrittenBy(writer, record);
            const std::size_t w1 = writer.version == version10 ? 4 : 6;
            const std::uint32_t expected[] = { c.as10, c.as11, c.as12 };
            EXPECT_EQ(WordAt(bytes, w1 + 12), expected[&writer - writers]) << writer.name << " W4 " << c.held;
            // Only W4 is ever mapped, whatever the other words hold.
            for (std::size_t i : { 0, 1, 2, 4, 5, 6, 7, 8 })
                EXPECT_EQ(WordAt(bytes, w1 + 4 * i), record.words[i]) << writer.name << " W" << i + 1;
        }
        EXPECT_EQ(record.words, before.words);
    }
}

TEST(Writers, ThroughARealFileSameBytes)
{
    ScratchFolder folder;
    const std::string path = folder.File("out.tbx");
    for (const auto& source : Sources()) {
        const TabrixRecord record = Parsed(Encode(source.file));
        for (const auto& writer : writers) {
            SCOPED_TRACE(std::string(source.name) + " into " + writer.name);
            CFile file;
            CFileException failure;
            ASSERT_TRUE(file.Open(path.c_str(), 0x9031, &failure)) << static_cast<int>(failure.cause);
            EXPECT_EQ(writer.write(file, record), Success);
            file.Close();
            EXPECT_EQ(ReadBytes(path), Encode(Converted(source.file, writer.version)));
        }
    }
}

TEST(WritePString, LengthsZeroTwoFiftyFiveAndLongerCutTo255)
{
    for (std::size_t length : { 0u, 1u, 254u, 255u, 256u, 300u, 70000u }) {
        const std::string text(length, 'k');
        CollectingFile file;
        WritePString(file, text);
        const std::size_t kept = length < 255 ? length : 255;
        ASSERT_EQ(file.bytes.size(), 1 + kept) << length;
        EXPECT_EQ(file.bytes[0], kept) << length;
        EXPECT_EQ(std::string(file.bytes.begin() + 1, file.bytes.end()), std::string(kept, 'k')) << length;
    }
}

TEST(WritePString, RecordWithLongStringsBuiltInCodeParsesBack)
{
    TabrixRecord record;
    record.head = 0x0102;
    record.leadString = std::string(300, 'L');
    record.listA = { std::string(256, 'a'), "short", std::string(1000, 'c') };
    record.listB = { std::string(255, 'b') };
    for (const auto& writer : writers) {
        const TabrixRecord parsed = Parsed(WrittenBy(writer, record));
        EXPECT_EQ(parsed.leadString, std::string(255, 'L')) << writer.name;
        EXPECT_EQ(parsed.listA, (std::vector<std::string> { std::string(255, 'a'), "short", std::string(255, 'c') }))
            << writer.name;
        EXPECT_EQ(parsed.listB, record.listB) << writer.name;
    }
}

TEST(WriterFailures, AFailureAtAnyByteEndsTheWriterWithItsCause)
{
    const FileErrorCause causes[] = { FileErrorCause::DiskFull, FileErrorCause::HardIO, FileErrorCause::AccessDenied,
        FileErrorCause::DirectoryFull, FileErrorCause::Generic, FileErrorCause::SharingViolation,
        FileErrorCause::TooManyOpenFiles, FileErrorCause::BadPath, FileErrorCause::FileNotFound,
        FileErrorCause::EndOfFile, FileErrorCause::LockViolation, FileErrorCause::None, static_cast<FileErrorCause>(15),
        static_cast<FileErrorCause>(-1) };
    const std::size_t causeCount = std::size(causes);
    for (const auto& source : Sources()) {
        const TabrixRecord record = Parsed(Encode(source.file));
        for (const auto& writer : writers) {
            const Bytes whole = Encode(Converted(source.file, writer.version));
            for (std::size_t k = 0; k < whole.size(); ++k) {
                SCOPED_TRACE(
                    std::string(source.name) + " into " + writer.name + " failing after byte " + std::to_string(k));
                const FileErrorCause cause = causes[k % causeCount];
                CollectingFile file;
                file.FailAfter(k, cause);
                ASSERT_EQ(writer.write(file, record), StatusFromCause(cause));
                // Stopped at once: one refused write, nothing after it, no flush.
                ASSERT_EQ(file.failedWrites, 1);
                ASSERT_EQ(file.flushCalls, 0);
                ASSERT_LE(file.bytes.size(), k);
                ASSERT_TRUE(std::equal(file.bytes.begin(), file.bytes.end(), whole.begin()));
            }
        }
    }
}

TEST(WriterFailures, AFailingFlushIsTheWritersStatus)
{
    const TabrixRecord record = Parsed(Encode(Sources().front().file));
    for (const auto& writer : writers) {
        for (auto cause : { FileErrorCause::DiskFull, FileErrorCause::HardIO, FileErrorCause::SharingViolation }) {
            CollectingFile file;
            file.failFlush = true;
            file.cause = cause;
            EXPECT_EQ(writer.write(file, record), StatusFromCause(cause)) << writer.name;
            EXPECT_EQ(file.bytes, Encode(Converted(Sources().front().file, writer.version))) << writer.name;
        }
    }
}
