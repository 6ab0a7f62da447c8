// Saves onto a full and onto a read-only volume: the system refuses, the old file stays.
//
// The suite's CTest fixture mounts the volumes (tests/support/volumes.sh, root only) and names
// them in KOVREL_SMALL_VOLUME and KOVREL_READONLY_VOLUME, the read-only one holding old.tbx.
#include "DocumentTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {

// The folder of a volume the fixture mounted: the one named in variable, holding marker.
std::optional<std::string> MountedVolume(const char* variable, const char* marker)
{
    const char* value = std::getenv(variable);
    if (!value || !*value || !Exists((fs::path(value) / marker).string()))
        return std::nullopt;
    return std::string(value);
}

// Removes the files a test put on a volume that it does not own, also when it fails.
struct Leftovers {
    std::vector<std::string> paths;
    ~Leftovers()
    {
        std::error_code ignored;
        for (const auto& path : paths)
            fs::remove(path, ignored);
    }
};

// Fills the volume with one file until the system reports it full.
void Fill(const std::string& path)
{
    CFile filler;
    CFileException failure;
    ASSERT_TRUE(filler.Open(path.c_str(), 0x9031, &failure)) << int(failure.cause);
    const Bytes chunk(4096, 0xF0);
    bool full = false;
    try {
        for (int i = 0; i < 1024; ++i)
            filler.Write(chunk.data(), chunk.size());
        filler.Flush();
    } catch (const CFileException& refused) {
        full = refused.cause == FileErrorCause::DiskFull;
    }
    filler.Abort();
    ASSERT_TRUE(full) << "the volume did not fill up within 4 MiB";
}

class Volume : public ::testing::Test {
protected:
    void SetUp() override
    {
        TabrixFields big = Sample();
        big.listA = std::vector<std::string>(20, std::string(200, 'x'));
        LoadFrom(document, source.File("s.tbx"), NewLayout(big, 0x0102));
        document.SetTargetVersion(1, 1);
    }

    ScratchFolder source;
    TestDocument document { "" };
};

}

TEST_F(Volume, FullDiskGivesDiskFullAndKeepsTheOldDestination)
{
    auto volume = MountedVolume("KOVREL_SMALL_VOLUME", ".mounted");
    if (!volume)
        GTEST_SKIP() << "no small volume: run through ctest as root, whose fixture mounts it";
    const std::string destination = (fs::path(*volume) / "d.tbx").string();
    const std::string filler = (fs::path(*volume) / "filler").string();
    const std::string absent = (fs::path(*volume) / "new.tbx").string();
    Leftovers leftovers { { destination, filler, absent } };
    const Bytes old(100, 0x42);
    WriteBytes(destination, old);
    Fill(filler);
    const auto names = NamesIn(*volume);

    EXPECT_EQ(SaveTo(document, destination), DiskFull);
    EXPECT_EQ(ReadBytes(destination), old);
    EXPECT_EQ(NamesIn(*volume), names) << "no temporary file stays behind";
    EXPECT_EQ(SaveTo(document, absent), DiskFull);
    EXPECT_FALSE(Exists(absent));
    EXPECT_EQ(NamesIn(*volume), names);

    // With room again the same save goes through: it was the disk that refused.
    fs::remove(filler);
    EXPECT_EQ(SaveTo(document, destination), Success);
    EXPECT_NE(ReadBytes(destination), old);
}

TEST_F(Volume, ReadOnlyDestinationGivesAccessDeniedAndStaysAsItWas)
{
    auto volume = MountedVolume("KOVREL_READONLY_VOLUME", "old.tbx");
    if (!volume)
        GTEST_SKIP() << "no read-only volume: run through ctest as root, whose fixture mounts it";
    const std::string destination = (fs::path(*volume) / "old.tbx").string();
    const Bytes old = ReadBytes(destination);
    ASSERT_FALSE(old.empty()) << destination;
    const auto names = NamesIn(*volume);

    EXPECT_EQ(SaveTo(document, destination), AccessDenied);
    EXPECT_EQ(ReadBytes(destination), old);
    EXPECT_EQ(SaveTo(document, (fs::path(*volume) / "new.tbx").string()), AccessDenied);
    EXPECT_EQ(NamesIn(*volume), names);
}
