// A save never leaves its destination half old and half new, goes exactly where a plain write
// goes, and plays back only journals that pass every check: faults at every step, kills at
// random moments, two saves at once, planted journals. Run as root and as nobody (ctest's _as_user).
#include "DocumentTestSupport.h"

#include "support/FileSystemWrappers.h"
#include "support/InterruptedSave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

// An owner or mode given by path could reach a file swapped in meanwhile: none may be.
static int changesByPath = 0;
// clang-format off
extern "C" int chmod(const char*, mode_t) noexcept { return ++changesByPath, errno = EPERM, -1; }
extern "C" int fchmodat(int, const char*, mode_t, int) noexcept { return ++changesByPath, errno = EPERM, -1; }
extern "C" int chown(const char*, uid_t, gid_t) noexcept { return ++changesByPath, errno = EPERM, -1; }
extern "C" int fchownat(int, const char*, uid_t, gid_t, int) noexcept { return ++changesByPath, errno = EPERM, -1; }
// clang-format on

static struct stat Info(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}
#endif

namespace fs = std::filesystem;

namespace {

// Notes whether another program could read the file that the document writes.
class Document : public ProbedDocument {
public:
    using ProbedDocument::ProbedDocument;
    void Write(const void* buffer, std::size_t count) override
    {
        if (writes == 0) {
#ifdef _WIN32
            wchar_t name[MAX_PATH * 4] = {};
            ::GetFinalPathNameByHandleW(HANDLE(GetHandle()), name, MAX_PATH * 4, 0);
            HANDLE other = ::CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                0, nullptr);
            openToOthers = other != INVALID_HANDLE_VALUE;
            ::CloseHandle(other);
#else
            // Without a name nobody else can open it; with one, only its owner may.
            struct stat info {};
            openToOthers = ::fstat(int(GetHandle()), &info) != 0 || (info.st_nlink != 0 && (info.st_mode & 077) != 0);
#endif
        }
        ProbedDocument::Write(buffer, count);
    }
    bool openToOthers = true;
};

// Journals that must never be played back, made from a valid one (and another file's).
struct Plant {
    const char* what;
    void (*spoil)(const std::string& journal, const std::string& folder);
};
// clang-format off
const Plant plants[] = {
    { "torn", [](const std::string& j, const std::string&) { fs::resize_file(j, fs::file_size(j) - 1); } },
    { "altered", [](const std::string& j, const std::string&) { fs::resize_file(j, fs::file_size(j) - 1), fs::resize_file(j, fs::file_size(j) + 1); } },
    { "second link", [](const std::string& j, const std::string&) { fs::create_hard_link(j, j + ".copy"); } },
    // The complete journal of another file, under this file's journal name.
    { "stale", [](const std::string& j, const std::string& f) { fs::rename(f + "/other.journal", j); } },
#ifndef _WIN32
    { "link", [](const std::string& j, const std::string& f) { fs::rename(j, f + "/real"), fs::create_symlink(f + "/real", j); } },
#endif
};
// clang-format on

// The ways a save goes: a new file, a replacement, and a rewrite in place (a second name).
enum class Way { New, Replace, InPlace };

class SafeSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Journals go to this test's own state folder.
        UseStateFolder(state.Path());
        Load(3, 10);
        document.SetFileSystem(faults);
    }

    void Load(std::size_t entries, std::size_t length)
    {
        // A 1.2 file with `entries` strings of `length` bytes: a save as 1.2 writes it back unchanged.
        TabrixFields file = Sample();
        file.listA = std::vector<std::string>(entries, std::string(length, 'x'));
        newBytes = NewLayout(file, version12);
        LoadFrom(document, Path("s.tbx"), newBytes);
        document.SetTargetVersion(1, 2);
        document.cause = FileErrorCause::DiskFull;
    }

    ConvStatus SaveTo(const std::string& path, int failAt = 0)
    {
        document.writes = 0;
        document.failAt = failAt;
        return ::SaveTo(document, path);
    }

    // Writes a file with this mode and owner (POSIX), without any change by path.
    static void Put(const std::string& path, const Bytes& bytes, unsigned mode = 0644, unsigned owner = ~0u)
    {
        ASSERT_TRUE(WriteBytes(path, bytes)) << path;
#ifndef _WIN32
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_EQ(::fchown(fd, owner, owner), 0);
        EXPECT_EQ(::fchmod(fd, mode), 0);
        ::close(fd);
#endif
    }

    // d.tbx as the way needs it; the names the folder then holds.
    std::vector<std::string> Prepare(Way way)
    {
        fs::remove(Path("d.tbx")), fs::remove(Path("e.tbx"));
        if (way == Way::New)
            return { "s.tbx" };
        Put(Path("d.tbx"), oldBytes);
        if (way == Way::Replace)
            return { "d.tbx", "s.tbx" };
        fs::create_hard_link(Path("d.tbx"), Path("e.tbx"));
        return { "d.tbx", "e.tbx", "s.tbx" };
    }

    // clang-format off
    std::string Path(const std::string& name) const { return folder.File(name); }
    std::vector<std::string> Names(const std::string& name = ".") const { return NamesIn(Path(name)); }
    std::string JournalFolder() const { return state.Path() + journalsBelowState; }
    std::vector<std::string> Journals() const { return JournalsIn(state.Path()); }
    // clang-format on
    static std::vector<std::string> JournalsIn(const std::string& stateFolder)
    {
        const std::string journals = stateFolder + journalsBelowState;
        return Exists(journals) ? NamesIn(journals) : std::vector<std::string> {};
    }

    // A save of d.tbx that nothing disturbs: its calls, which of them commits, and whether the
    // bytes were waited for before it.
    struct CleanRun {
        std::vector<Call> calls;
        std::size_t commit;
        bool syncedBeforeCommit;
    };
    CleanRun RunClean(Way way)
    {
        // The second of two saves: the first makes the folder of journals.
        for (int round = 0; round < 2; ++round) {
            Prepare(way);
            faults.calls.clear(), faults.failAt = 0;
            EXPECT_EQ(SaveTo(Path("d.tbx")), Success);
        }
        const std::vector<Call>& calls = faults.calls;
        // In place, the journal's removal; where a removal may not last, its emptying before it.
        auto commit = std::find(calls.begin(), calls.end(), way == Way::InPlace ? Call::Remove : Call::Publish);
        if (way == Way::InPlace && !FileSystem::Native().Provides().lastingRemove)
            commit = std::find(std::make_reverse_iterator(commit), calls.rend(), Call::CutAtPosition).base() - 1;
        return { calls, std::size_t(commit - calls.begin()) + 1,
            std::find(calls.begin(), commit, Call::Sync) < commit };
    }
    // The calls that look for the journals of an interrupted save and check them, after the lock
    // and up to a playback (which opens a journal again); without one, the folder of journals and
    // its listing. A failure there leaves every journal alone, and the save goes on.
    static bool LookingForAJournal(const std::vector<Call>& calls, std::size_t k)
    {
        const auto from
            = std::find(std::find(calls.begin(), calls.end(), Call::Lock), calls.end(), Call::OpenJournalFolder);
        const auto opened = std::find(from, calls.end(), Call::OpenNamed);
        const auto playback = opened == calls.end() ? opened : std::find(opened + 1, calls.end(), Call::OpenNamed);
        const auto listed = from != calls.end() && from + 1 != calls.end() && from[1] == Call::ListFolder;
        const auto until = playback != calls.end() ? playback : from + (from == calls.end() ? 0 : listed ? 2 : 1);
        return k - 1 >= std::size_t(from - calls.begin()) && k - 1 < std::size_t(until - calls.begin());
    }
    // A failed close changes nothing either: the handle is gone all the same; nor does a folder of
    // journals that cannot be had for a rewrite in place, which then keeps the old bytes aside.
    static bool Harmless(const std::vector<Call>& calls, std::size_t k)
    {
        return calls[k - 1] == Call::Close || calls[k - 1] == Call::OpenJournalFolder || LookingForAJournal(calls, k);
    }

    // d.tbx is whole on every name: old, or new once committed; nothing else came or stayed.
    void ExpectWhole(Way way, std::vector<std::string> names, bool committed, const std::string& context)
    {
        const Bytes before = way == Way::New ? Bytes {} : oldBytes;
        EXPECT_EQ(Exists(Path("d.tbx")) ? ReadBytes(Path("d.tbx")) : Bytes {}, committed ? newBytes : before)
            << context;
        if (way == Way::InPlace) {
            EXPECT_EQ(ReadBytes(Path("e.tbx")), ReadBytes(Path("d.tbx"))) << context;
        }
        if (committed && way == Way::New)
            names.insert(names.begin(), "d.tbx");
        EXPECT_EQ(Names(), names) << context;
        EXPECT_EQ(Journals(), std::vector<std::string> {}) << context;
    }

#ifndef _WIN32
    // Runs body in a child process that exits with its result; ExitOf waits for that.
    template<class Body>
    static pid_t InChild(Body body)
    {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(body());
        return child;
    }
    static int ExitOf(pid_t child)
    {
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void KillASaveAfter(int microseconds)
    {
        const pid_t child = InChild([&] { return SaveTo(Path("d.tbx")); });
        ::usleep(useconds_t(microseconds));
        ::kill(child, SIGKILL);
        ExitOf(child);
    }
    // A kill around the swap of the complete new file leaves it, or the old one, under a
    // temporary name beside the destination.
    void RemoveTheSwappedOutFile(const std::vector<std::string>& names)
    {
        std::vector<std::string> present = Names();
        if (present.size() != names.size() + 1 || present.back().rfind("~kv", 0) != 0)
            return;
        const Bytes aside = ReadBytes(Path(present.back()));
        EXPECT_TRUE(aside == oldBytes || aside == newBytes);
        fs::remove(Path(present.back()));
    }
#endif

    Recovery Recover(const std::string& path, ConvStatus expected = Success)
    {
        const Playback back = RecoverInterruptedSave(path, faults);
        EXPECT_EQ(back.status, expected) << path;
        return back.outcome;
    }

    FaultyFileSystem faults;
    ScratchFolder folder, state;
    Bytes newBytes;
    const Bytes oldBytes = Bytes(3000, 'o');
    // What an interrupted save of oldBytes that had written ten bytes of 'h' leaves.
    const Bytes torn = Overwritten(oldBytes, Bytes(10, 'h'));
    Document document { "" };
};

}

TEST_F(SafeSave, AFaultAtAnyCallOfAnyWayLeavesAWholeContentOnEveryNameAndNoJournal)
{
    // Every call of every way, alone and in a batch: a fault before the commit leaves the old
    // content, after it the new one; never a journal.
    for (auto [batch, way] : { std::pair { false, Way::New }, { false, Way::Replace }, { false, Way::InPlace },
             { true, Way::New }, { true, Way::Replace }, { true, Way::InPlace } }) {
        document.DeferFolderSync(batch);
        const CleanRun clean = RunClean(way);
        // Every way waits for the disk before its commit, in a batch too.
        EXPECT_TRUE(clean.syncedBeforeCommit) << int(way);
        for (std::size_t k = 1; k <= clean.calls.size(); ++k) {
            const std::vector<std::string> names = Prepare(way);
            faults.calls.clear(), faults.failAt = k;
            const bool harmless = Harmless(clean.calls, k);
            const std::string context = std::to_string(int(way)) + " fault " + std::to_string(k);
            EXPECT_EQ(SaveTo(Path("d.tbx")), harmless ? Success : HardwareError) << context;
            ExpectWhole(way, names, harmless || k > clean.commit, context);
        }
        faults.failAt = 0;
    }
}

TEST_F(SafeSave, JournalOfAnInterruptedSaveIsPlayedBackFirstHoweverThePathIsSpelled)
{
    // The journal is found by the file's identity, however the path is spelled; a fault while it
    // is played back fails the save with its cause and keeps the journal for the next one.
    fs::create_directory(Path("sub"));
    LeaveInterruptedSave(Path("sub/d.tbx"), oldBytes, Bytes(10, 'h'));
    faults.calls.clear();
    EXPECT_EQ(Recover(Path("sub/./../sub/d.tbx")), Recovery::PlayedBack);
    EXPECT_EQ(ReadBytes(Path("sub/d.tbx")), oldBytes);
    const std::vector<Call> playback = faults.calls;
    const std::size_t removeAt
        = std::size_t(std::find(playback.begin(), playback.end(), Call::Remove) - playback.begin()) + 1;
    // Up to the file's examination after the playback: what follows is the save's own.
    for (faults.failAt = 1; faults.failAt <= removeAt + 2; ++faults.failAt) {
        const std::string left = LeaveInterruptedSave(Path("sub/d.tbx"), oldBytes, Bytes(10, 'h'));
        faults.calls.clear();
        // The sync of the folder after the journal went lets the save go on too.
        const std::size_t k = faults.failAt;
        EXPECT_EQ(SaveTo(Path("sub/d.tbx")), k == removeAt + 1 || Harmless(playback, k) ? Success : HardwareError) << k;
        // Kept unless it was played back and removed.
        EXPECT_EQ(Exists(left), k <= removeAt && playback[k - 1] != Call::Close) << k;
        fs::remove(left);
    }
    faults.failAt = 0;
    LeaveInterruptedSave(Path("sub/d.tbx"), oldBytes, Bytes(10, 'h'));
    for (int failAt : { 2, 0 }) {
        EXPECT_EQ(SaveTo(Path("./sub/d.tbx"), failAt), failAt ? DiskFull : Success);
        EXPECT_EQ(ReadBytes(Path("sub/d.tbx")), failAt ? oldBytes : newBytes);
        EXPECT_EQ(Journals(), std::vector<std::string> {});
    }
    EXPECT_EQ(Recover(Path("sub/d.tbx")), Recovery::NoJournal);
    EXPECT_EQ(Recover(Path("sub/none.tbx"), FileNotFound), Recovery::NoJournal);
}

// Saves the other document to path at the commit: the publish in place of the old file, or the
// journal's removal.
struct Intruding : FileSystemWrapper {
    FileError Publish(const HeldFolder& folder, UnnamedFile& file, const std::string& name, Publishing how,
        const Identity& replaced) override
    {
        if (how == Publishing::Exchanging)
            intruded = ::SaveTo(*other, path);
        return FileSystemWrapper::Publish(folder, file, name, how, replaced);
    }
    FileError Remove(const HeldFolder& folder, const std::string& name) override
    {
        intruded = ::SaveTo(*other, path);
        return FileSystemWrapper::Remove(folder, name);
    }
    TestDocument* other = nullptr;
    std::string path;
    ConvStatus intruded = Success;
};

TEST_F(SafeSave, AnotherSaveOfTheFileWhileOneCommitsIsRefused)
{
    Intruding intruding;
    // Right at the commit (the publish, or the journal's removal), a second save of the same file
    // finds it locked: the lock is held until the new content has its name.
    TestDocument other("");
    LoadFrom(other, Path("o.tbx"), NewLayout(Sample(5), version11));
    other.SetTargetVersion(1, 1);
    intruding.other = &other, intruding.path = Path("d.tbx");
    document.SetFileSystem(intruding);
    for (Way way : { Way::Replace, Way::InPlace }) {
        Prepare(way);
        intruding.intruded = Success;
        EXPECT_EQ(SaveTo(Path("d.tbx")), Success);
        EXPECT_EQ(intruding.intruded, CannotOpen) << int(way);
        EXPECT_EQ(ReadBytes(Path("d.tbx")), newBytes);
    }
}

TEST_F(SafeSave, JournalsThatFailACheckAreNeverPlayedBack)
{
    // Planted, torn, altered, stale or linked journals, and a file under the old backup name of
    // ours: never played back, left alone; a failing save (not for a full disk, which sends it on
    // to rewrite the file in place) leaves the destination as it was.
    document.cause = FileErrorCause::HardIO;
    for (const Plant& plant : plants) {
        fs::remove_all(JournalFolder());
        fs::rename(LeaveInterruptedSave(Path("other.tbx"), oldBytes, Bytes(7, 'h')),
            JournalFolder() + "/other.journal");
        plant.spoil(LeaveInterruptedSave(Path("d.tbx"), oldBytes, Bytes(10, 'h')), JournalFolder());
        const std::vector<std::string> planted = Journals();
        EXPECT_EQ(Recover(Path("d.tbx")), Recovery::Refused) << plant.what;
        EXPECT_EQ(SaveTo(Path("d.tbx"), 1), HardwareError) << plant.what;
        EXPECT_EQ(ReadBytes(Path("d.tbx")), torn) << plant.what;
        EXPECT_EQ(Journals(), planted) << plant.what;
    }
    Put(Path("d.tbx.kovrel-backup"), oldBytes, 0600);
    EXPECT_EQ(SaveTo(Path("d.tbx"), 1), HardwareError);
    EXPECT_EQ(ReadBytes(Path("d.tbx")), torn);
    EXPECT_EQ(ReadBytes(Path("d.tbx.kovrel-backup")), oldBytes);
}

TEST_F(SafeSave, NewFileIsOpenToNoOneElseWhileItIsWritten)
{
    Put(Path("old.tbx"), oldBytes, 0640);
    for (const char* name : { "new.tbx", "old.tbx" }) {
        document.openToOthers = true;
        ASSERT_EQ(SaveTo(Path(name)), Success);
        EXPECT_FALSE(document.openToOthers) << name;
    }
#ifndef _WIN32
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(Info(Path("new.tbx")).st_mode & 07777, 0666u & ~mask) << "as a plain write creates it";
    EXPECT_EQ(Info(Path("old.tbx")).st_mode & 07777, 0640u);
    EXPECT_EQ(changesByPath, 0);
#endif
}

#ifndef _WIN32
TEST_F(SafeSave, KilledSaveLeavesTheOldOrTheNewFileAndNothingBeside)
{
    // A save killed at a random moment, then a save that fails: a whole content, no journal.
    Load(20000, 250); // some megabytes
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(SaveTo(Path("count.tbx")), Success);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    fs::remove(Path("count.tbx"));
    std::mt19937 random(std::random_device {}());
    for (Way way : { Way::Replace, Way::InPlace }) {
        int outcomes[2] = {};
        for (int run = 0; run < 50; ++run) {
            const std::vector<std::string> names = Prepare(way);
            KillASaveAfter(std::uniform_int_distribution<int>(0, int(took.count() * 3))(random));
            EXPECT_EQ(SaveTo(Path("d.tbx"), 1), DiskFull);
            ++outcomes[ReadBytes(Path("d.tbx")) == newBytes];
            RemoveTheSwappedOutFile(names);
            ExpectWhole(way, names, ReadBytes(Path("d.tbx")) == newBytes, "run " + std::to_string(run));
        }
        EXPECT_GT(outcomes[0], 0) << int(way) << ": no save was killed before it ended";
    }
}

TEST_F(SafeSave, APowerCutAtAnyCallLeavesAWholeContentThatASaveReturnedOrAnOlderOne)
{
    // The power goes before each call of each way, alone and in a batch (which syncs the folder
    // at its end), and after the last: once recovered, every name holds a whole content, and the
    // new one wherever the save, and its batch, had returned success.
    for (auto [batch, way] : { std::pair { false, Way::New }, { false, Way::Replace }, { false, Way::InPlace },
             { true, Way::New }, { true, Way::Replace }, { true, Way::InPlace } }) {
        document.DeferFolderSync(batch);
        RunClean(way);
        bool cutOnTheWay = true;
        for (std::size_t k = 1; cutOnTheWay; ++k) {
            const std::vector<std::string> names = Prepare(way);
            PowerCutFileSystem power;
            power.cutAt = k;
            document.SetFileSystem(power);
            bool returned = SaveTo(Path("d.tbx")) == Success;
            if (batch && returned) {
                HeldFolder written(power);
                returned = !power.OpenFolder(Path("d.tbx"), written) && !power.SyncFolder(written);
            }
            cutOnTheWay = power.cut;
            power.Cut();
            document.SetFileSystem(faults);
            RecoverInterruptedSave(Path("d.tbx"));
            const bool isNew = ReadBytes(Path("d.tbx")) == newBytes;
            const std::string context = std::to_string(batch) + std::to_string(int(way)) + " cut " + std::to_string(k);
            EXPECT_TRUE(isNew || !returned) << context;
            ExpectWhole(way, names, isNew, context);
        }
    }
}

TEST_F(SafeSave, TwoSavesOfOneFileAtOnceLeaveOneWholeContent)
{
    TestDocument older("");
    LoadFrom(older, Path("s10.tbx"), newBytes);
    older.SetTargetVersion(1, 0);
    ASSERT_EQ(::SaveTo(older, Path("v10.tbx")), Success);
    for (Way way : { Way::Replace, Way::InPlace }) {
        const std::vector<std::string> names = Prepare(way);
        for (int round = 0; round < 20; ++round) {
            const pid_t children[] = { InChild([&] { return ::SaveTo(older, Path("d.tbx")); }),
                InChild([&] { return SaveTo(Path("d.tbx")); }) };
            for (pid_t child : children) {
                const int status = ExitOf(child);
                EXPECT_TRUE(status == Success || status == CannotOpen) << status;
            }
            const Bytes left = ReadBytes(Path("d.tbx"));
            EXPECT_TRUE(left == oldBytes || left == newBytes || left == ReadBytes(Path("v10.tbx"))) << round;
            EXPECT_EQ(Journals(), std::vector<std::string> {});
        }
        std::vector<std::string> present = Names();
        std::erase_if(present, [](const std::string& n) { return n == "s10.tbx" || n == "v10.tbx"; });
        EXPECT_EQ(present, names);
    }
}

TEST_F(SafeSave, OtherNamesAttributesAndModeStay)
{
    Put(Path("linked.tbx"), oldBytes);
    fs::create_hard_link(Path("linked.tbx"), Path("other.tbx"));
    Put(Path("private.tbx"), oldBytes, 0600);
    Put(Path("labelled.tbx"), oldBytes, 0640);
    ASSERT_EQ(::setxattr(Path("labelled.tbx").c_str(), "user.kovrel", "kept", 4, 0), 0);
    // A hard-linked file with a name as long as names go: its journal's name is its identity.
    const std::string longName = std::string(251, 'n') + ".tbx";
    Put(Path(longName), oldBytes);
    fs::create_hard_link(Path(longName), Path("long-link"));
    for (const std::string name : { "linked.tbx", "private.tbx", "labelled.tbx", longName.c_str() }) {
        ASSERT_EQ(SaveTo(Path(name)), Success) << name;
        EXPECT_EQ(ReadBytes(Path(name)), newBytes) << name;
    }
    EXPECT_EQ(ReadBytes(Path("other.tbx")), newBytes);
    EXPECT_TRUE(fs::equivalent(Path("linked.tbx"), Path("other.tbx")));
    char value[8] = {};
    EXPECT_EQ(::getxattr(Path("labelled.tbx").c_str(), "user.kovrel", value, sizeof value), 4) << value;
    EXPECT_EQ(Info(Path("private.tbx")).st_mode & 07777, 0600u);
    EXPECT_EQ(Names().size(), 7u);
    EXPECT_EQ(Journals(), std::vector<std::string> {});
    EXPECT_EQ(Info(JournalFolder()).st_mode & 0777, 0700u) << "no other user may reach a journal";
    EXPECT_EQ(changesByPath, 0);
}

// Swaps a file of its own into the folder's d.tbx just before the lock, as often as it is told.
struct Swapping : FileSystemWrapper {
    FileError Lock(Handle file) override
    {
        if (swaps-- > 0)
            WriteBytes(folder + "/t.tbx", Bytes(7, 't')), fs::rename(folder + "/t.tbx", folder + "/d.tbx");
        return FileSystemWrapper::Lock(file);
    }
    std::string folder;
    int swaps = 0;
};

TEST_F(SafeSave, ANameReplacedBetweenTheOpenAndTheLockIsOpenedAgain)
{
    Swapping swapping;
    // Another save swaps a file of its own into the name just before this one locks: this save
    // opens the name again and reaches that file, and the file it opened first stays as it was.
    // Against one that swaps before every lock, it gives up with "cannot open".
    swapping.folder = folder.Path();
    document.SetFileSystem(swapping);
    for (int swaps : { 1, 3 }) {
        Prepare(Way::InPlace);
        swapping.swaps = swaps;
        EXPECT_EQ(SaveTo(Path("d.tbx")), swaps == 1 ? Success : CannotOpen) << swaps;
        EXPECT_EQ(ReadBytes(Path("d.tbx")), swaps == 1 ? newBytes : Bytes(7, 't')) << swaps;
        EXPECT_EQ(ReadBytes(Path("e.tbx")), oldBytes) << swaps;
    }
}

TEST_F(SafeSave, DanglingLinkGetsTheFileItNames)
{
    fs::create_directory(Path("real"));
    fs::create_symlink("real/t.tbx", Path("link.tbx"));
    ASSERT_EQ(SaveTo(Path("link.tbx")), Success);
    EXPECT_TRUE(fs::is_symlink(Path("link.tbx")));
    EXPECT_EQ(ReadBytes(Path("real/t.tbx")), newBytes);
    EXPECT_EQ(Names("real"), std::vector<std::string> { "t.tbx" });
}

TEST_F(SafeSave, NewFileGetsWhatAPlainCreateGivesUnderADefaultAcl)
{
    // A default ACL that leaves others nothing (user rw, group r, other none).
    fs::create_directory(Path("acl"));
    const unsigned char acl[] = { 2, 0, 0, 0, 1, 0, 6, 0, 0xFF, 0xFF, 0xFF, 0xFF, 4, 0, 4, 0, 0xFF, 0xFF, 0xFF, 0xFF,
        0x20, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF };
    if (::setxattr(Path("acl").c_str(), "system.posix_acl_default", acl, sizeof acl, 0) != 0)
        GTEST_SKIP() << "no ACLs on this file system";
    ASSERT_TRUE(WriteBytes(Path("acl/plain"), Bytes { 1 }));
    ASSERT_EQ(SaveTo(Path("acl/new.tbx")), Success);
    EXPECT_EQ(Info(Path("acl/new.tbx")).st_mode & 07777, Info(Path("acl/plain")).st_mode & 07777);
    EXPECT_EQ(Info(Path("acl/new.tbx")).st_mode & 07, 0u);
}

constexpr unsigned nobody = 65534;

// Cases with other users' files, folders and volumes: root only.
class AsAnotherUser : public SafeSave {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "only root can make other users' files and volumes";
        SafeSave::SetUp();
        // nobody's journals go to a state folder of nobody's own.
        fs::create_directory(NobodysState());
        const int fd = ::open(NobodysState().c_str(), O_RDONLY | O_DIRECTORY);
        EXPECT_EQ(::fchown(fd, nobody, nobody), 0);
        ::close(fd);
    }
    std::string NobodysState() const { return state.Path() + "/nobody"; }
    void TearDown() override
    {
        for (const auto& [name, value] : sysctls)
            Run("sysctl -qw fs." + name + "=" + value);
        SafeSave::TearDown();
    }

    // The kernel's rules for links, files and pipes in sticky folders, on as most systems run
    // them (or off), and put back after the case.
    void Protect(const std::string& name, const char* on = "1")
    {
        std::ifstream in("/proc/sys/fs/" + name);
        std::string value;
        in >> value;
        sysctls.emplace_back(name, value);
        ASSERT_TRUE(Run("sysctl -qw fs." + name + "=" + on)) << name;
    }

    // The save, run by nobody in a child: its status.
    int SaveAsNobody(const std::string& path)
    {
        return By(true, [&] { return SaveTo(path); });
    }
    // Runs body here, or by nobody in a child with a state folder of nobody's own: its result.
    template<class Body>
    int By(bool byNobody, Body body)
    {
        return !byNobody ? body() : ExitOf(InChild([&] {
            UseStateFolder(NobodysState());
            return BecomeNobody() ? body() : 100;
        }));
    }
    static bool BecomeNobody()
    {
        return ::setgroups(0, nullptr) == 0 && ::setresgid(nobody, nobody, nobody) == 0
            && ::setresuid(nobody, nobody, nobody) == 0;
    }

    std::string Sticky()
    {
        fs::create_directory(Path("sticky"));
        const int fd = ::open(Path("sticky").c_str(), O_RDONLY | O_DIRECTORY);
        EXPECT_EQ(::fchmod(fd, 01777), 0);
        ::close(fd);
        return Path("sticky/");
    }

    void ExpectNewBytesAndOwner(const std::string& path, unsigned owner)
    {
        EXPECT_EQ(ReadBytes(path), newBytes) << path;
        EXPECT_EQ(Info(path).st_uid, owner) << path;
        EXPECT_EQ(Journals(), std::vector<std::string> {});
        EXPECT_EQ(JournalsIn(NobodysState()), std::vector<std::string> {});
    }

    static bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }
    std::vector<std::pair<std::string, std::string>> sysctls;
};

TEST_F(AsAnotherUser, WritableFileInAFolderTheUserCannotWriteOrInAStickyOne)
{
    Protect("protected_regular", "0"); // where a plain write may write another user's file there
    const std::string sticky = Sticky();
    for (auto [name, owner] :
        { std::pair { "d.tbx", 0u }, std::pair { "own.tbx", nobody }, std::pair { "sticky/d.tbx", 4321u } }) {
        Put(Path(name), oldBytes, 0666, owner);
        EXPECT_EQ(SaveAsNobody(Path(name)), Success) << name;
        ExpectNewBytesAndOwner(Path(name), owner);
    }
    EXPECT_EQ(Names("sticky"), std::vector<std::string> { "d.tbx" });
}

TEST_F(AsAnotherUser, WhatAPlainWriteRefusesInAStickyFolderTheSaveRefuses)
{
    for (const char* rule : { "protected_symlinks", "protected_regular", "protected_fifos" })
        Protect(rule);
    const std::string sticky = Sticky();
    Put(Path("victim"), oldBytes);
    Put(sticky + "theirs.tbx", oldBytes, 0666, nobody);
    ASSERT_EQ(::mkfifo((sticky + "pipe").c_str(), 0666), 0);
    ASSERT_EQ(::lchown((sticky + "pipe").c_str(), nobody, nobody), 0);
    for (const char* link : { "link.tbx", "dangling.tbx" }) {
        fs::create_symlink(link[0] == 'l' ? Path("victim") : Path("root-only/new.tbx"), sticky + link);
        ASSERT_EQ(::lchown((sticky + link).c_str(), nobody, nobody), 0);
    }
    fs::create_directory(Path("root-only"));
    for (const char* name : { "theirs.tbx", "pipe", "link.tbx", "dangling.tbx" })
        EXPECT_EQ(SaveTo(sticky + name), AccessDenied) << name;
    EXPECT_EQ(ReadBytes(sticky + "theirs.tbx"), oldBytes);
    EXPECT_EQ(Info(sticky + "theirs.tbx").st_mode & 0777, 0666u);
    EXPECT_EQ(ReadBytes(Path("victim")), oldBytes);
    EXPECT_EQ(Names("root-only"), std::vector<std::string> {});
}

TEST_F(AsAnotherUser, AFileSwappedWithALinkDuringTheSaveNeverLeadsItElsewhere)
{
    // Another user swaps their own file and a link to a file of root's, again and again, while
    // root saves over the name: the save reaches their file or nothing.
    Protect("protected_symlinks");
    Protect("protected_regular", "0"); // their plain file may be written, as a plain write may
    const std::string sticky = Sticky();
    Put(Path("victim"), oldBytes);
    Put(sticky + "d.tbx", Bytes(5, 'u'), 0644, nobody);
    fs::create_symlink(Path("victim"), sticky + "x");
    ASSERT_EQ(::lchown((sticky + "x").c_str(), nobody, nobody), 0);
    const pid_t swapper = InChild([&] {
        for (bool nobodyNow = BecomeNobody(); nobodyNow; ::usleep(20))
            ::syscall(SYS_renameat2, AT_FDCWD, (sticky + "d.tbx").c_str(), AT_FDCWD, (sticky + "x").c_str(), 2);
        return 100;
    });
    int saved = 0;
    // 300 saves at least, and on a busy machine more, until one reached their file.
    for (int run = 0; run < 300 || (saved == 0 && run < 20000); ++run)
        saved += SaveTo(sticky + "d.tbx") == Success;
    ::kill(swapper, SIGKILL);
    ExitOf(swapper);
    EXPECT_EQ(ReadBytes(Path("victim")), oldBytes);
    EXPECT_GT(saved, 0);
    EXPECT_EQ(Names("sticky"), (std::vector<std::string> { "d.tbx", "x" }));
}

TEST_F(AsAnotherUser, AnotherUsersJournalOrJournalFolderIsNeverUsed)
{
    const std::string journal = LeaveInterruptedSave(Path("d.tbx"), oldBytes, Bytes(10, 'h'));
    ASSERT_EQ(::lchown(journal.c_str(), nobody, nobody), 0);
    EXPECT_EQ(Recover(Path("d.tbx")), Recovery::Refused);
    EXPECT_EQ(ReadBytes(Path("d.tbx")), torn);
    // A folder of journals that another user owns is not ours to write to or to read from: looked
    // for, it is an error, not "nothing to do"; a rewrite in place goes on without it.
    ASSERT_EQ(::lchown(JournalFolder().c_str(), nobody, nobody), 0);
    EXPECT_EQ(Recover(Path("d.tbx"), AccessDenied), Recovery::NoJournal);
    EXPECT_EQ(ReadBytes(Path("d.tbx")), torn);
    fs::create_hard_link(Path("d.tbx"), Path("e.tbx"));
    EXPECT_EQ(SaveTo(Path("d.tbx")), Success);
    EXPECT_EQ(std::tuple(document.GetRecoveryFailure(), document.GetJournalFailure()),
        std::tuple(AccessDenied, AccessDenied));
    EXPECT_EQ(ReadBytes(Path("e.tbx")), newBytes);
    EXPECT_EQ(Journals(), std::vector<std::string> { FileNameOf(journal) });
}

TEST_F(AsAnotherUser, AReplacementKeepsOfSetIdBitsAndAttributeFlagsWhatAPlainWriteKeeps)
{
    // Set-id bits with and without the group's execute bit, written by root and by nobody, the
    // owner; beside each, the same file written plainly by the same user.
    fs::create_directory(Path("own"));
    ASSERT_TRUE(Run("chown nobody '" + Path("own") + "'"));
    for (unsigned mode : { 06755u, 06745u }) {
        for (bool byNobody : { false, true }) {
            Put(Path("own/plain"), oldBytes, mode, nobody), Put(Path("own/d.tbx"), oldBytes, mode, nobody);
            EXPECT_EQ(By(byNobody,
                          [&] { return WriteBytes(Path("own/plain"), newBytes) ? SaveTo(Path("own/d.tbx")) : 100; }),
                Success);
            EXPECT_EQ(Info(Path("own/d.tbx")).st_mode & 07777, Info(Path("own/plain")).st_mode & 07777)
                << std::oct << mode << " by nobody " << byNobody;
            EXPECT_EQ(ReadBytes(Path("own/d.tbx")), newBytes);
        }
    }
    // chattr +A +S +d go with the new file.
    const int flags = FS_NOATIME_FL | FS_SYNC_FL | FS_NODUMP_FL;
    int set = flags, got = 0;
    const int fd = ::open(Path("own/d.tbx").c_str(), O_RDONLY | O_CLOEXEC);
    if (::ioctl(fd, FS_IOC_SETFLAGS, &set) != 0)
        GTEST_SKIP() << "no attribute flags on this file system";
    ::close(fd);
    const ino_t before = Info(Path("own/d.tbx")).st_ino;
    EXPECT_EQ(SaveTo(Path("own/d.tbx")), Success);
    const int replaced = ::open(Path("own/d.tbx").c_str(), O_RDONLY | O_CLOEXEC);
    ::ioctl(replaced, FS_IOC_GETFLAGS, &got);
    ::close(replaced);
    EXPECT_NE(Info(Path("own/d.tbx")).st_ino, before) << "replaced";
    EXPECT_EQ(got & flags, flags);
}

TEST_F(AsAnotherUser, AFolderOfJournalsThatSomeoneElseControlsIsNeitherUsedNorTouched)
{
    // Another user owns a folder on the way to it or it, anyone may write one, or it is a tmpfs:
    // recover fails and names it, a rewrite in place goes on with the old bytes kept aside, and
    // nothing in it changes. For root and for nobody.
    for (bool byNobody : { false, true }) {
        const std::string user = byNobody ? "nobody" : "root";
        const std::string home = (byNobody ? NobodysState() : state.Path()) + "/a";
        const std::string journals = home + "/b/kovrel/journals";
        ASSERT_TRUE(Run("mkdir -p '" + journals + "' && chown -R " + user + " '" + home + "'"));
        const std::pair<std::string, const char*> spoils[] = { { home, "chown 4321" }, { home + "/b", "chown 4321" },
            { home + "/b/kovrel", "chmod 0777" }, { journals, "chown 4321" }, { journals, "mount -t tmpfs tmpfs" } };
        for (const auto& [folder, spoil] : spoils) {
            Put(Path("d.tbx"), oldBytes, 0666, byNobody ? nobody : 0);
            fs::remove(Path("e.tbx")), fs::create_hard_link(Path("d.tbx"), Path("e.tbx"));
            const bool mount = spoil[0] == 'm';
            ASSERT_TRUE(Run(spoil + (" '" + folder + "'") + (mount ? " && chown " + user + " '" + folder + "'" : "")));
            const int told = By(byNobody, [&] {
                ::setenv("XDG_STATE_HOME", (home + "/b").c_str(), 1);
                const Playback back = RecoverInterruptedSave(Path("d.tbx"));
                const ConvStatus saved = SaveTo(Path("d.tbx"));
                UseStateFolder(state.Path());
                return back.lookupFailed * 100 + back.status * 10 + (saved == Success) * document.GetJournalFailure();
            });
            EXPECT_EQ(told, 100 + AccessDenied * 10 + AccessDenied) << user << ": " << spoil << " " << folder;
            EXPECT_EQ(ReadBytes(Path("e.tbx")), newBytes);
            EXPECT_EQ(NamesIn(journals), std::vector<std::string> {}) << folder;
            Run(mount ? "umount '" + folder + "'"
                      : "chmod 0700 '" + folder + "' && chown " + user + " '" + folder + "'");
        }
    }
}

TEST_F(AsAnotherUser, WithoutAHomeOfItsOwnAUserSavesWhereAPlainWriteCanAndMakesNothing)
{
    // HOME missing (nobody's own is /nonexistent), root's, or unset: nobody's hard-linked file,
    // another user's writable file in a sticky folder, and a writable file in a folder nobody cannot
    // write are saved, the old bytes kept aside; nothing is made anywhere.
    Protect("protected_regular", "0"); // where a plain write may write another user's file there
    const std::string sticky = Sticky();
    fs::create_directory(Path("mine"));
    ASSERT_TRUE(Run("chown nobody '" + Path("mine") + "'"));
    const std::string saved[] = { Path("mine/d.tbx"), sticky + "theirs.tbx", Path("w.tbx") };
    const std::vector<std::string> rootsHome = NamesIn(state.Path());
    for (const char* home : { "/nonexistent", state.Path().c_str(), static_cast<const char*>(nullptr) }) {
        Put(saved[0], oldBytes, 0644, nobody), Put(saved[1], oldBytes, 0666, 4321), Put(saved[2], oldBytes, 0666, 0);
        fs::remove(Path("mine/e.tbx")), fs::create_hard_link(saved[0], Path("mine/e.tbx"));
        for (const std::string& path : saved) {
            const int told = ExitOf(InChild([&] {
                ::unsetenv("XDG_STATE_HOME");
                home ? ::setenv("HOME", home, 1) : ::unsetenv("HOME");
                return BecomeNobody() ? SaveTo(path) * 10 + document.GetJournalFailure() : 100;
            }));
            EXPECT_EQ(told, Success * 10 + FileNotFound) << (home ? home : "no HOME") << " " << path;
            EXPECT_EQ(ReadBytes(path), newBytes) << path;
        }
        EXPECT_FALSE(Exists("/nonexistent"));
        EXPECT_EQ(NamesIn(state.Path()), rootsHome);
    }
}

TEST_F(AsAnotherUser, RootWithAUsersHomeKeepsItsJournalsInItsOwn)
{
    // Root with nobody's home for HOME uses its own: nothing of root's appears in nobody's.
    fs::create_directory(Path("mine"));
    ASSERT_TRUE(Run("chown nobody '" + Path("mine") + "'"));
    Put(Path("mine/d.tbx"), oldBytes, 0644, nobody), fs::create_hard_link(Path("mine/d.tbx"), Path("mine/e.tbx"));
    std::string made = std::string(::getpwuid(0)->pw_dir) + "/.local/state/kovrel/journals";
    while (!Exists(FolderOf(made)))
        made = made.substr(0, made.rfind('/'));
    const bool madeNothingYet = !Exists(made);
    const std::string previous = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::unsetenv("XDG_STATE_HOME"), ::setenv("HOME", Path("mine").c_str(), 1);
    EXPECT_EQ(SaveTo(Path("mine/d.tbx")), Success);
    ::setenv("HOME", previous.c_str(), 1), UseStateFolder(state.Path());
    EXPECT_EQ(document.GetJournalFailure(), Success);
    EXPECT_EQ(NamesIn(Path("mine")), (std::vector<std::string> { "d.tbx", "e.tbx" }));
    if (madeNothingYet)
        fs::remove_all(made);
}

TEST_F(AsAnotherUser, BindMountedDestination)
{
    Put(Path("d.tbx"), oldBytes);
    Put(Path("mounted.tbx"), Bytes(5, 'm'));
    if (!Run("mount --bind '" + Path("mounted.tbx") + "' '" + Path("d.tbx") + "' 2>/dev/null"))
        GTEST_SKIP() << "bind mounts are refused here";
    EXPECT_EQ(SaveTo(Path("d.tbx")), Success);
    EXPECT_EQ(ReadBytes(Path("mounted.tbx")), newBytes);
    ExpectNewBytesAndOwner(Path("d.tbx"), 0);
    EXPECT_TRUE(Run("umount '" + Path("d.tbx") + "'"));
}

TEST_F(AsAnotherUser, VolumeWithRoomForTheNewFileOnlyInPlaceOfTheOld)
{
    Load(20, 200); // two pages of the volume, as is the old file
    fs::create_directory(Path("volume"));
    if (!Run("mount -t tmpfs -o size=16k tmpfs '" + Path("volume") + "' 2>/dev/null"))
        GTEST_SKIP() << "mounting a tmpfs was refused";
    Put(Path("volume/d.tbx"), Bytes(8000, 'o'));
    Put(Path("volume/filler"), Bytes(8192, 'f')); // the volume is full
    EXPECT_EQ(SaveTo(Path("volume/d.tbx")), Success);
    ExpectNewBytesAndOwner(Path("volume/d.tbx"), 0);
    EXPECT_TRUE(Run("umount '" + Path("volume") + "'"));
}

TEST_F(AsAnotherUser, OnAVolumeWithoutBirthTimesAJournalOutlivesARemountAndNeverReachesAnotherFile)
{
    // An ext4 volume of 128-byte inodes on a loop device, mounted again after another loop device
    // took its number; its files are saved by root and by nobody.
    const std::string image = Path("ext4.img"), at = Path("ext4"), other = Path("other.img");
    fs::create_directory(at);
    if (!Run("truncate -s 16M '" + image + "' '" + other + "' && mkfs.ext4 -q -F -I 128 '" + image
            + "' 2>/dev/null && mount -o loop '" + image + "' '" + at + "' && chmod 1777 '" + at + "'"))
        GTEST_SKIP() << "no loop volume here";
    struct Unmount {
        std::string at, other;
        ~Unmount() { Run("umount '" + at + "'; losetup -d $(losetup -nO NAME -j '" + other + "') 2>/dev/null"); }
    } unmount { at, other };
    for (bool byNobody : { false, true }) {
        const auto as = [&](auto body) { return By(byNobody, body); };
        const auto recovered
            = [&](const std::string& path) { return as([&] { return int(RecoverInterruptedSave(path).outcome); }); };
        const std::string path = at + (byNobody ? "/nobody.tbx" : "/root.tbx");
        as([&] { return LeaveInterruptedSave(path, oldBytes, Bytes(10, 'h')), 0; });
        const dev_t device = Info(path).st_dev;
        ASSERT_TRUE(
            Run("umount '" + at + "' && losetup -f '" + other + "' && mount -o loop '" + image + "' '" + at + "'"));
        EXPECT_NE(Info(path).st_dev, device) << "the same volume under another device number";
        EXPECT_EQ(recovered(path), int(Recovery::PlayedBack));
        EXPECT_EQ(ReadBytes(path), oldBytes);
        // Interrupted again; the file goes, and another user's new file takes its number.
        as([&] { return LeaveInterruptedSave(path, oldBytes, Bytes(10, 'h')), 0; });
        const ino_t number = Info(path).st_ino;
        fs::remove(path);
        Put(path, Bytes(20, 'u'), 0666, 4321);
        if (Info(path).st_ino != number)
            continue; // the volume gave the number to no new file
        EXPECT_NE(recovered(path), int(Recovery::PlayedBack));
        EXPECT_EQ(ReadBytes(path), Bytes(20, 'u'));
    }
}
#else
TEST_F(SafeSave, NamesNearThePathLimitLeaveNothingBeside)
{
    // The longest folders a name still fits in: every name of the save's own fits as well.
    for (std::size_t length : { 245u, 247u }) {
        std::string sub = folder.Path() + "\\";
        sub += std::string(length - sub.size(), 'f');
        ASSERT_TRUE(::CreateDirectoryA(sub.c_str(), nullptr)) << length;
        const std::string path = sub + "\\" + std::string(MAX_PATH - 2 - sub.size(), 'd');
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(SaveTo(path), Success) << length << " round " << round;
            EXPECT_EQ(ReadBytes(path), newBytes);
        }
        EXPECT_EQ(NamesIn(sub).size(), 1u) << length;
        EXPECT_EQ(SaveTo(path + "x"), FileNotFound) << "a name a plain write cannot open";
    }
}
#endif
