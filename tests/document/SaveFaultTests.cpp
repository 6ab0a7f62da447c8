#include "DocumentTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class SaveFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        TabrixFields small = Sample();
        small.listA = { "a" };
        small.listB = { "", "bb" };
        LoadFrom(document, folder.File("s.tbx"), NewLayout(small, 0x0102));
        WriteBytes(destination, old);
    }

    void Arm(int failAt, FileErrorCause cause)
    {
        document.writes = 0;
        document.failAt = failAt;
        document.cause = cause;
    }

    // Writes done by a save that nothing disturbs.
    int CountWrites(std::uint8_t minor)
    {
        Arm(0, FileErrorCause::None);
        document.SetTargetVersion(1, minor);
        EXPECT_EQ(SaveTo(document, folder.File("count.tbx")), Success);
        std::filesystem::remove(folder.File("count.tbx"));
        return document.writes;
    }

    void ExpectUntouched(const std::string& context)
    {
        EXPECT_EQ(ReadBytes(destination), old) << context;
        EXPECT_EQ(folder.Names(), (std::vector<std::string> { "d.tbx", "s.tbx" })) << context;
        EXPECT_FALSE(document.IsOpen()) << context;
    }

    ScratchFolder folder;
    const std::string destination = folder.File("d.tbx");
    const Bytes old = Bytes(400, 0x5A);
    ProbedDocument document { "" };
};

}

TEST_F(SaveFailure, EveryFailedWriteGivesItsCauseAndLeavesTheDestination)
{
    const FileErrorCause causes[] = { FileErrorCause::DiskFull, FileErrorCause::DirectoryFull, FileErrorCause::HardIO,
        FileErrorCause::AccessDenied, FileErrorCause::SharingViolation, FileErrorCause::Generic };
    for (std::uint8_t minor : { 0, 1, 2 }) {
        // A write per word, version field and block, two for the lead (length, text), and per list
        // its count and one run of strings: every field of the layout is a failure point of its own.
        const int total = CountWrites(minor);
        ASSERT_EQ(total, minor == 0 ? 1 + 9 + 4 + 2 + 2 * 2 : 1 + 1 + 9 + 4 + 4 + 2 + 2 * 2 + 3);
        for (int k = 1; k <= total; ++k) {
            for (auto cause : causes) {
                Arm(k, cause);
                const std::string context = "1." + std::to_string(minor) + " write " + std::to_string(k) + " cause "
                    + std::to_string(int(cause));
                EXPECT_EQ(SaveTo(document, destination), StatusFromCause(cause)) << context;
                ExpectUntouched(context);
            }
        }
    }
}

TEST_F(SaveFailure, FailedWriteToAnAbsentDestinationLeavesItAbsent)
{
    const int total = CountWrites(1);
    for (int k = 1; k <= total; ++k) {
        Arm(k, FileErrorCause::DiskFull);
        EXPECT_EQ(SaveTo(document, folder.File("new.tbx")), DiskFull) << k;
        EXPECT_FALSE(Exists(folder.File("new.tbx"))) << k;
    }
    ExpectUntouched("absent");
}

TEST_F(SaveFailure, FailedFlushIsTheWritersStatus)
{
    for (auto cause : { FileErrorCause::DiskFull, FileErrorCause::HardIO }) {
        Arm(0, cause);
        document.failFlush = true;
        document.SetTargetVersion(1, 1);
        EXPECT_EQ(SaveTo(document, destination), StatusFromCause(cause));
        ExpectUntouched("flush");
    }
}

TEST_F(SaveFailure, FailedCloseLeavesAsTheFrameworkExceptionAndKeepsTheDestination)
{
    Arm(0, FileErrorCause::None);
    document.failClose = true;
    document.SetTargetVersion(1, 0);
    EXPECT_THROW(SaveTo(document, destination), CFileException);
    ExpectUntouched("close");
    // The document is usable again afterwards.
    document.failClose = false;
    EXPECT_EQ(document.Save(), Success);
    EXPECT_NE(ReadBytes(destination), old);
}
