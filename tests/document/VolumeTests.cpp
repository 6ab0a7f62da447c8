// Saves onto a full and onto a read-only volume: the system refuses, the old file stays.
//
// Natively the test mounts small tmpfs volumes itself (root only). The Windows build cannot
// mount: a CTest fixture mounts them and passes their folders in KOVREL_SMALL_VOLUME and
// KOVREL_READONLY_VOLUME (the read-only one holding old.tbx).
#include "DocumentTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifndef _WIN32
// A tmpfs mounted for one test and unmounted at its end, also when the test fails.
class MountedVolume {
public:
    MountedVolume()
    {
        char pattern[] = "/tmp/kovrel-volume-XXXXXX";
        if (::mkdtemp(pattern))
            path = pattern;
    }
    ~MountedVolume()
    {
        if (mounted)
            Run("umount '" + path + "'");
        if (!path.empty())
            ::rmdir(path.c_str());
    }
    MountedVolume(const MountedVolume&) = delete;
    MountedVolume& operator=(const MountedVolume&) = delete;

    bool Mount()
    {
        mounted = !path.empty() && Run("mount -t tmpfs -o size=16k tmpfs '" + path + "' 2>/dev/null");
        return mounted;
    }
    bool RemountReadOnly() { return Run("mount -o remount,ro '" + path + "'"); }
    const std::string& Path() const { return path; }

private:
    static bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

    std::string path;
    bool mounted = false;
};
#endif

#ifdef _WIN32
std::optional<std::string> VolumeFromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || !*value)
        return std::nullopt;
    return std::string(value);
}
#endif

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

    ConvStatus SaveTo(const std::string& path)
    {
        document.SetDestinationPath(path.c_str());
        return document.Save();
    }

    void ExpectFullVolumeKeepsTheDestination(const std::string& volume)
    {
        const std::string destination = (fs::path(volume) / "d.tbx").string();
        const std::string filler = (fs::path(volume) / "filler").string();
        const std::string absent = (fs::path(volume) / "new.tbx").string();
        Leftovers leftovers { { destination, filler, absent } };
        const Bytes old(100, 0x42);
        WriteBytes(destination, old);
        Fill(filler);
        const auto names = NamesIn(volume);

        EXPECT_EQ(SaveTo(destination), DiskFull);
        EXPECT_EQ(ReadBytes(destination), old);
        EXPECT_EQ(NamesIn(volume), names) << "no temporary file stays behind";
        EXPECT_EQ(SaveTo(absent), DiskFull);
        EXPECT_FALSE(Exists(absent));
        EXPECT_EQ(NamesIn(volume), names);

        // With room again the same save goes through: it was the disk that refused.
        fs::remove(filler);
        EXPECT_EQ(SaveTo(destination), Success);
        EXPECT_NE(ReadBytes(destination), old);
    }

    void ExpectReadOnlyVolumeKeepsTheDestination(const std::string& volume)
    {
        const std::string destination = (fs::path(volume) / "old.tbx").string();
        const Bytes old = ReadBytes(destination);
        ASSERT_FALSE(old.empty()) << destination;
        const auto names = NamesIn(volume);

        EXPECT_EQ(SaveTo(destination), AccessDenied);
        EXPECT_EQ(ReadBytes(destination), old);
        EXPECT_EQ(SaveTo((fs::path(volume) / "new.tbx").string()), AccessDenied);
        EXPECT_EQ(NamesIn(volume), names);
    }

    ScratchFolder source;
    TestDocument document { "" };
};

}

TEST_F(Volume, FullDiskGivesDiskFullAndKeepsTheOldDestination)
{
#ifdef _WIN32
    auto volume = VolumeFromEnvironment("KOVREL_SMALL_VOLUME");
    if (!volume || !Exists(*volume + "\\.mounted"))
        GTEST_SKIP() << "no small volume: run through ctest as root, whose fixture mounts it";
    ExpectFullVolumeKeepsTheDestination(*volume);
#else
    MountedVolume volume;
    if (!volume.Mount())
        GTEST_SKIP() << "mounting a 16 KiB tmpfs was refused (needs root): full-disk save not tested";
    ExpectFullVolumeKeepsTheDestination(volume.Path());
#endif
}

TEST_F(Volume, ReadOnlyDestinationGivesAccessDeniedAndStaysAsItWas)
{
#ifdef _WIN32
    auto volume = VolumeFromEnvironment("KOVREL_READONLY_VOLUME");
    if (!volume || !Exists(*volume + "\\old.tbx"))
        GTEST_SKIP() << "no read-only volume: run through ctest as root, whose fixture mounts it";
    ExpectReadOnlyVolumeKeepsTheDestination(*volume);
#else
    MountedVolume volume;
    if (!volume.Mount())
        GTEST_SKIP() << "mounting a tmpfs was refused (needs root): read-only save not tested";
    WriteBytes(volume.Path() + "/old.tbx", Bytes { 'o', 'l', 'd' });
    ASSERT_TRUE(volume.RemountReadOnly());
    ExpectReadOnlyVolumeKeepsTheDestination(volume.Path());
#endif
}
