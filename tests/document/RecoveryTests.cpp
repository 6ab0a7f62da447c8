// A journal is played back only over a state that its interrupted save could have left: every
// torn state is recovered; another program's content, a journal of the format before, and a
// folder of journals that cannot be read are never taken for one.
#include "DocumentTestSupport.h"

#include "support/InterruptedSave.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>

#include <aclapi.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr std::size_t sector = 512;

Bytes Pattern(std::size_t size, std::uint8_t seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t(seed + i * 7 + i / 251);
    return bytes;
}

// The file as a power cut can leave it: sector i new where bit i of `kept` is set (the new bytes
// over the old ones, as the rewrite had them), else old; `length` long.
Bytes Kept(const Bytes& before, const Bytes& after, unsigned kept, std::size_t length)
{
    const Bytes written = Overwritten(before, after);
    Bytes file(length);
    for (std::size_t i = 0; i < length; ++i) {
        const bool fresh = kept & (1u << (i / sector));
        file[i] = fresh || i >= before.size() ? written[i] : before[i];
    }
    return file;
}

class Recovering : public ::testing::Test {
protected:
    void SetUp() override { UseStateFolder(state.Path()); }

    // d.tbx is rewritten from `before` to `after`, interrupted, and left holding `now`.
    std::string Interrupt(const Bytes& before, const Bytes& after, const Bytes& now)
    {
        const std::string journal = LeaveInterruptedSave(path, before, after);
        EXPECT_TRUE(WriteBytes(path, now));
        return journal;
    }
    std::vector<std::string> Journals() const
    {
        const std::string journals = state.Path() + journalsBelowState;
        return Exists(journals) ? NamesIn(journals) : std::vector<std::string> {};
    }

    ScratchFolder folder, state;
    const std::string path = folder.File("d.tbx");
    const Bytes longer = Pattern(2000, 1), shorter = Pattern(1500, 2);
};

}

TEST_F(Recovering, EveryStateTheRewriteCanLeaveIsRecovered)
{
    // Killed before the first new byte, on a buffer's edge, after the last write, after the cut;
    // a power cut that kept any of the sectors; for a content that shrinks and one that grows.
    for (const auto& [before, after] : { std::pair { &longer, &shorter }, std::pair { &shorter, &longer } }) {
        std::vector<Bytes> states
            = { *before, Kept(*before, *after, 0b11, before->size()), Overwritten(*before, *after), *after };
        for (unsigned kept = 0; kept < 16; ++kept)
            states.push_back(Kept(*before, *after, kept, before->size()));
        for (std::size_t i = 0; i < states.size(); ++i) {
            Interrupt(*before, *after, states[i]);
            const Playback back = RecoverInterruptedSave(path);
            EXPECT_EQ(std::tuple(back.status, back.outcome), std::tuple(Success, Recovery::PlayedBack)) << i;
            EXPECT_EQ(ReadBytes(path), *before) << i;
            EXPECT_EQ(Journals(), std::vector<std::string> {}) << i;
        }
    }
}

TEST_F(Recovering, ContentThatNoRewriteLeftIsNeverRolledBack)
{
    // Another program wrote, restored or cut the file after the crash: the journal is refused and
    // kept, and a save that fails afterwards leaves the newer content.
    Bytes foreign = Overwritten(longer, shorter), cut = foreign;
    foreign[700] ^= 1;
    cut.resize(1700);
    const Bytes newer[] = { Pattern(1800, 9), foreign, Bytes(longer.begin(), longer.begin() + 1000), cut };
    for (const Bytes& now : newer) {
        const std::string journal = Interrupt(longer, shorter, now);
        const Playback back = RecoverInterruptedSave(path);
        EXPECT_EQ(std::tuple(back.status, back.outcome), std::tuple(Success, Recovery::Refused));
        EXPECT_EQ(back.refused, std::vector<std::string> { FileNameOf(journal) });
        fs::create_hard_link(path, path + ".link");
        ProbedDocument document("");
        LoadFrom(document, folder.File("s.tbx"), NewLayout(Sample(), version12));
        document.SetTargetVersion(1, 2), document.failAt = 1, document.cause = FileErrorCause::HardIO;
        EXPECT_EQ(SaveTo(document, path), HardwareError);
        EXPECT_EQ(ReadBytes(path), now);
        EXPECT_EQ(Journals(), std::vector<std::string> { FileNameOf(journal) });
        // Once a person has looked, it goes.
        EXPECT_EQ(RecoverInterruptedSave(path, FileSystem::Native(), Refusals::Discard).outcome, Recovery::Discarded);
        EXPECT_EQ(Journals(), std::vector<std::string> {});
        fs::remove(path + ".link");
    }
}

TEST_F(Recovering, JournalOfTheFormatBeforeIsRefused)
{
    // Its header named the file by identity alone: magic, volume, file, birth, length, two sums.
    const std::string journal = LeaveInterruptedSave(path, longer, shorter);
    const Bytes header = ReadBytes(journal);
    Bytes first = { 'K', 'V', 'J', 'R', 'N', 'L', '0', '1' };
    first.insert(first.end(), header.begin() + 8, header.begin() + 24);
    first.insert(first.end(), header.begin() + 40, header.begin() + 48);
    first.resize(56 + longer.size());
    const std::string number = FileNameOf(journal).substr(0, 16);
    const std::string older = FolderOf(journal) + std::string(16, '0') + "-" + number + ".journal";
    fs::rename(journal, older);
    ASSERT_TRUE(WriteBytes(older, first));
    EXPECT_EQ(RecoverInterruptedSave(path).outcome, Recovery::Refused);
    EXPECT_EQ(ReadBytes(older), first);
}

TEST_F(Recovering, FolderOfJournalsThatCannotBeReadIsAnErrorAndASaveGoesOnWithoutIt)
{
    WriteBytes(path, longer);
    fs::create_directories(state.Path() + journalsBelowState);
    fs::remove(state.Path() + journalsBelowState);
    ASSERT_TRUE(WriteBytes(state.Path() + journalsBelowState, Bytes { 1 })) << "a file where the folder should be";
    const Playback back = RecoverInterruptedSave(path);
    EXPECT_TRUE(IsErrorStatus(back.status));
    EXPECT_TRUE(back.lookupFailed);
    TestDocument document("");
    LoadFrom(document, folder.File("s.tbx"), NewLayout(Sample(), version12));
    document.SetTargetVersion(1, 2);
    EXPECT_EQ(SaveTo(document, path), Success);
    EXPECT_EQ(document.GetRecoveryFailure(), back.status);
    EXPECT_EQ(ReadBytes(path), NewLayout(Sample(), version12));
}

#ifdef _WIN32
TEST_F(Recovering, FolderOfJournalsThatEveryoneMayWriteIsNotUsed)
{
    // Everyone may write it: recover fails and names it; a rewrite in place keeps the old bytes aside.
    const std::string journals = state.Path() + journalsBelowState;
    const Bytes before = Pattern(700, 3);
    WriteBytes(path, before);
    fs::create_directories(journals);
    EXPLICIT_ACCESS_A everyone {};
    char world[] = "EVERYONE";
    BuildExplicitAccessWithNameA(&everyone, world, GENERIC_ALL, GRANT_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
    PACL access = nullptr;
    ASSERT_EQ(SetEntriesInAclA(1, &everyone, nullptr, &access), DWORD(ERROR_SUCCESS));
    ASSERT_EQ(SetNamedSecurityInfoA(const_cast<char*>(journals.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                  nullptr, nullptr, access, nullptr),
        DWORD(ERROR_SUCCESS));
    LocalFree(access);
    const Playback back = RecoverInterruptedSave(path);
    EXPECT_EQ(std::tuple(back.status, back.lookupFailed), std::tuple(AccessDenied, true));
    fs::create_hard_link(path, path + ".link");
    TestDocument document("");
    LoadFrom(document, folder.File("s.tbx"), NewLayout(Sample(), version12));
    document.SetTargetVersion(1, 2);
    EXPECT_EQ(SaveTo(document, path), Success);
    EXPECT_EQ(document.GetJournalFailure(), AccessDenied);
    EXPECT_EQ(ReadBytes(path + ".link"), NewLayout(Sample(), version12));
    EXPECT_EQ(Journals(), std::vector<std::string> {});
}
#endif
