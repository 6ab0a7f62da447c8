// Random steps on a few files in one folder: saves of every way (a new file, a replacement, a
// rewrite in place of a hard-linked file) and recovers, each run whole, killed after a random
// time, killed before a random call of the file layer, or cut off by a power cut at a random call;
// other programs' writes and truncations; files deleted and made again, so that their inode
// numbers come back; and, as root, the whole run on an ext4 volume without birth times that is
// mounted again under another device number. After every step each file holds a whole content that
// some writer completed, never one older than another program's last write, and a save that
// returned left no temporary file. The steps follow from the seed; the outcome of a kill after a
// time also from the machine's timing.
//
// save_fuzz [--seconds N] [--seed S] [--folder DIR]
#include "engine/TabrixDocument.h"
#include "support/FileSystemWrappers.h"
#include "support/SampleFile.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <random>

#include <signal.h>
#include <sys/wait.h>

namespace {

// A file's content by its checksum; `absent`: no file under the name.
using Content = std::uint64_t;
constexpr Content absent = 0;
constexpr int slotCount = 3;
constexpr std::size_t stepsShown = 16;

Content Checksum(const Bytes& bytes)
{
    std::uint64_t sum = 0xCBF29CE484222325u;
    for (std::uint8_t byte : bytes)
        sum = (sum ^ byte) * 0x100000001B3u;
    return sum == absent ? 1 : sum;
}

struct stat StatOf(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        info.st_ino = 0;
    return info;
}

Content ContentOf(const std::string& path)
{
    return StatOf(path).st_ino ? Checksum(ReadBytes(path)) : absent;
}

bool Shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

// Counts the calls, and kills its own process right before the one numbered killAt.
class KillingFileSystem : public FileSystemWrapper {
public:
    std::size_t calls = 0, killAt = 0;

protected:
    FileError Before(Call) override
    {
        if (++calls == killAt)
            ::raise(SIGKILL);
        return {};
    }
};

// An ext4 volume with 128-byte inodes, which keep no birth time, in an image file, mounted on a folder.
struct Volume {
    explicit Volume(const std::string& root)
        : image(root + "/volume.img")
        , other(root + "/other.img")
        , mountPoint(root + "/volume")
    {
    }
    bool Mount()
    {
        mounted = Shell("truncate -s 64M '" + image + "' && truncate -s 1M '" + other + "' && mkfs.ext4 -q -F -I 128 '"
            + image + "' >/dev/null 2>&1 && mkdir -p '" + mountPoint + "' && mount -o loop '" + image + "' '"
            + mountPoint + "' 2>/dev/null");
        return mounted;
    }
    // Mounted again while another image holds its loop device: a new device number.
    bool Remount()
    {
        // The loop device is let go of once unmounted, perhaps not at once.
        const bool again = Shell("set -e; d=$(findmnt -n -o SOURCE '" + mountPoint + "'); umount '" + mountPoint
            + "'; t=; for i in $(seq 50); do losetup \"$d\" '" + other
            + "' 2>/dev/null && t=1 && break; sleep 0.05; done; mount -o loop '" + image + "' '" + mountPoint
            + "'; [ -z \"$t\" ] || losetup -d \"$d\"");
        return again
            || Shell("mountpoint -q '" + mountPoint + "' || mount -o loop '" + image + "' '" + mountPoint + "'");
    }
    void Unmount()
    {
        if (mounted)
            Shell("umount '" + mountPoint + "'");
        mounted = false;
    }
    std::string image, other, mountPoint;
    bool mounted = false;
};

enum class Crash { None, KillAfterTime, KillAtCall, PowerCut };

class SaveFuzz {
public:
    SaveFuzz(std::uint64_t seed, const std::string& work, Volume* volume)
        : random(seed)
        , files(work + "/files")
        , source(work + "/source.tbx")
        , volume(volume)
    {
        // What an earlier run in the folder left goes.
        Shell("rm -rf '" + files + "' '" + work + "/state' && mkdir -p '" + files + "' '" + work + "/state'");
        ::setenv("XDG_STATE_HOME", (work + "/state").c_str(), 1);
        for (int i = 0; i < slotCount; ++i)
            slots[i].path = files + "/d" + std::to_string(i) + ".tbx";
    }

    // One step and the check after it; false with the failure in `failure`.
    bool Step()
    {
        const std::size_t kind = Pick(volume ? 20 : 19);
        Slot& slot = slots[Pick(slotCount)];
        line = "step " + std::to_string(++steps) + ":" + (kind < 19 ? " " + slot.path.substr(files.size() + 1) : "");
        if (kind < 9)
            Save(slot);
        else if (kind < 13)
            Operate(slot, " recover", absent,
                [&](FileSystem& on) { return RecoverInterruptedSave(slot.path, on).status; });
        else if (kind < 17)
            WriteOutside(slot);
        else if (kind < 19)
            Recreate(slot);
        else
            Remount();
        shown.push_back(line);
        if (shown.size() > stepsShown)
            shown.pop_front();
        return failure.empty() && Check();
    }

    void Report(std::uint64_t seed, double seconds) const
    {
        std::printf("save_fuzz: FAILED at step %zu (after %.1f s), seed %llu: %s\nthe last steps:\n", steps, seconds,
            (unsigned long long)seed, failure.c_str());
        for (const std::string& step : shown)
            std::printf("  %s\n", step.c_str());
    }
    void Summary() const
    {
        std::printf("save_fuzz: %zu steps: %zu saves, %zu recovers, %zu crashed (%zu kills after a time, %zu at a "
                    "call, %zu power cuts), %zu other programs' writes, %zu files made again (%zu on the same inode)\n",
            steps, saves, recovers, crashed[1] + crashed[2] + crashed[3], crashed[1], crashed[2], crashed[3], outside,
            recreated, reused);
    }

    std::string failure;
    std::size_t steps = 0;
    dev_t device = 0;

private:
    struct Slot {
        std::string path;
        std::vector<Content> may { absent }; // what the file may hold
        bool linked = false;                 // a second name: a save rewrites it in place
        bool pending = false;                // torn by a crash, for a save or a recover to mend
    };

    std::size_t Pick(std::size_t count) { return std::size_t(random() % count); }
    double Fraction() { return double(random() >> 11) * 0x1.0p-53; }
    static std::string Link(const Slot& slot) { return slot.path + ".link"; }

    // A document of random strings, from some hundred bytes to a few hundred KB, stored in a random
    // version; `output`: what a save of it in target must write.
    Bytes RandomDocument(FormatVersion target, Bytes* output = nullptr)
    {
        TabrixFields fields = Sample(std::uint32_t(3 + Pick(4)), std::uint32_t(Pick(0x10000)));
        const auto count = std::size_t(std::pow(2500.0, Fraction()));
        fields.listA = StoredList(), fields.listB = StoredList();
        for (std::size_t i = 0; i < count; ++i) {
            StoredList& list = Pick(3) ? fields.listA : fields.listB;
            std::string entry(Pick(256), ' ');
            for (char& c : entry)
                c = char(1 + Pick(255));
            list.entries.push_back(entry), ++list.count;
        }
        const FormatVersion version = knownVersions[Pick(3)];
        const TabrixFields stored = version == version10 ? fields : AsNewLayout(fields, version);
        if (output)
            *output = Encode(Converted(stored, target));
        return Encode(stored);
    }

    // Another program's write of the whole file, under the name as it is.
    void Put(Slot& slot, const Bytes& bytes, const std::string& what)
    {
        WriteBytes(slot.path, bytes);
        slot.may = { Checksum(bytes) }, slot.pending = false;
        origins[slot.may[0]] = what + " at step " + std::to_string(steps);
    }
    void Remove(Slot& slot)
    {
        ::unlink(slot.path.c_str()), ::unlink(Link(slot).c_str());
        slot.may = { absent }, slot.linked = slot.pending = false;
    }

    void Save(Slot& slot)
    {
        // The way follows from the file: none, a single-linked one, a hard-linked one.
        const SaveWay way = std::array { SaveWay::New, SaveWay::Replace, SaveWay::InPlace, SaveWay::InPlace }[Pick(4)];
        line += std::array { " save new", "", " save replace", " save in place" }[int(way)];
        if (way == SaveWay::New && StatOf(slot.path).st_ino)
            Remove(slot), line += " (deleted first)";
        if (way != SaveWay::New && !StatOf(slot.path).st_ino)
            Put(slot, RandomDocument(version12), "another program's document"), line += " (written first)";
        if (way == SaveWay::InPlace && !slot.linked)
            slot.linked = ::link(slot.path.c_str(), Link(slot).c_str()) == 0;
        if (way == SaveWay::Replace && slot.linked)
            ::unlink(Link(slot).c_str()), slot.linked = false;
        const FormatVersion target = knownVersions[Pick(3)];
        Bytes output;
        WriteBytes(source, RandomDocument(target, &output));
        TabrixDocument document(source.c_str());
        if (document.Load() != Success) {
            failure = "the sample document does not load";
            return;
        }
        document.SetTargetVersion(VersionMajor(target), VersionMinor(target));
        document.SetDestinationPath(slot.path.c_str());
        const Content made = Checksum(output);
        origins[made] = "the output of the save at step " + std::to_string(steps);
        line += " as " + VersionText(target) + ", " + std::to_string(output.size()) + " bytes";
        ++saves;
        Operate(slot, "", made, [&](FileSystem& on) {
            document.SetFileSystem(on);
            const ConvStatus status = document.Save();
            document.SetFileSystem(FileSystem::Native());
            return status;
        });
    }

    // Runs a save (made: its output) or a recover as the crash chosen says, and follows the model.
    void Operate(Slot& slot, const char* what, Content made, const std::function<ConvStatus(FileSystem&)>& operation)
    {
        recovers += made == absent;
        line += what;
        const auto crash = Crash(Pick(4));
        const double when = Fraction();
        const bool recoverAfterACrash = Pick(2);
        const std::optional<ConvStatus> returned = Run(crash, when, operation);
        if (returned && *returned == Success && made != absent)
            slot.may = { made };
        else if (made != absent && std::find(slot.may.begin(), slot.may.end(), made) == slot.may.end())
            slot.may.push_back(made);
        if (returned) {
            line += " -> status " + std::to_string(*returned);
            slot.pending = slot.pending && *returned != Success;
            return;
        }
        ++crashed[int(crash)];
        const Content now = ContentOf(slot.path);
        slot.pending = slot.pending || std::find(slot.may.begin(), slot.may.end(), now) == slot.may.end();
        if (slot.pending && recoverAfterACrash) {
            line += ", recovered: status " + std::to_string(RecoverInterruptedSave(slot.path).status);
            slot.pending = false;
        }
    }

    // The operation's status, or none when it was killed or the power went while it ran.
    std::optional<ConvStatus> Run(Crash crash, double when, const std::function<ConvStatus(FileSystem&)>& operation)
    {
        const auto atCall = std::size_t(1 + when * double(mostCalls + 2));
        if (crash == Crash::None) {
            KillingFileSystem counting;
            const ConvStatus status = operation(counting);
            mostCalls = std::max(mostCalls, counting.calls);
            Temporaries(false);
            return status;
        }
        if (crash == Crash::PowerCut) {
            PowerCutFileSystem power;
            power.cutAt = atCall;
            const ConvStatus status = operation(power);
            const bool returned = !power.cut;
            if (returned)
                Temporaries(false);
            // The power goes in any case, and the machine starts again with what the disk kept.
            power.Cut();
            Temporaries(true);
            line += returned ? " (power cut after it returned)" : " power cut at call " + std::to_string(atCall);
            return returned ? std::optional(status) : std::nullopt;
        }
        std::fflush(stdout);
        const auto delay = useconds_t(when * timeToKill);
        const pid_t child = ::fork();
        if (child == 0) {
            KillingFileSystem killing;
            killing.killAt = crash == Crash::KillAtCall ? atCall : 0;
            ::_exit(operation(killing));
        }
        if (crash == Crash::KillAfterTime)
            ::usleep(delay), ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const bool killed = !WIFEXITED(status);
        Temporaries(killed);
        // Aimed where the kills land inside the operations about half of the time.
        if (crash == Crash::KillAfterTime)
            timeToKill *= killed ? 1.25 : 0.8;
        line += !killed                  ? ""
            : crash == Crash::KillAtCall ? " killed at call " + std::to_string(atCall)
                                         : " killed after " + std::to_string(delay) + " us";
        return killed ? std::nullopt : std::optional(ConvStatus(WEXITSTATUS(status)));
    }

    // An operation that returned leaves no temporary file; a crash around the swap of a
    // replacement may leave a whole one, which goes.
    void Temporaries(bool crashed)
    {
        for (const std::string& name : NamesIn(files)) {
            if (name.rfind("~kv", 0) != 0)
                continue;
            if (!crashed && failure.empty())
                failure = "an operation returned and left " + name + " beside the file: " + line;
            ::unlink((files + "/" + name).c_str());
            line += " (left " + name + ")";
        }
    }

    void WriteOutside(Slot& slot)
    {
        ++outside;
        const std::size_t how = Pick(3);
        const double fraction = Fraction();
        Bytes bytes = ReadBytes(slot.path);
        if (how == 0 && !bytes.empty()) {
            bytes.resize(std::size_t(fraction * double(bytes.size())));
            ::truncate(slot.path.c_str(), off_t(bytes.size()));
            slot.may = { Checksum(bytes) }, slot.pending = false;
            origins[slot.may[0]] = "another program's truncation at step " + std::to_string(steps);
            line += " truncated by another program to " + std::to_string(bytes.size()) + " bytes";
            return;
        }
        bytes = how == 1 ? Bytes(std::size_t(fraction * 8192)) : RandomDocument(version12);
        if (how == 1)
            for (std::uint8_t& byte : bytes)
                byte = std::uint8_t(Pick(256));
        Put(slot, bytes, "another program's write");
        line += " rewritten by another program: " + std::to_string(bytes.size()) + " bytes";
    }

    void Remount()
    {
        const dev_t before = device;
        if (!volume->Remount())
            failure = "the volume could not be mounted again";
        device = StatOf(files).st_dev;
        line += " volume mounted again: device " + std::to_string(before) + " -> " + std::to_string(device);
    }

    // Deleted and made again by another program: the file system may give the number again.
    void Recreate(Slot& slot)
    {
        const ino_t before = StatOf(slot.path).st_ino;
        Remove(slot);
        Put(slot, RandomDocument(version12), "another program's new file");
        const ino_t after = StatOf(slot.path).st_ino;
        ++recreated, reused += before == after;
        line += (before ? " deleted and made again: inode " + std::to_string(before) + " -> " : " made: inode ")
            + std::to_string(after);
    }

    std::string NameOf(Content content) const
    {
        if (content == absent)
            return "no file";
        const auto origin = origins.find(content);
        return origin != origins.end() ? origin->second : "a torn or unknown content";
    }

    bool Check()
    {
        for (Slot& slot : slots) {
            const Content now = ContentOf(slot.path);
            if (slot.linked && ContentOf(Link(slot)) != now)
                failure = slot.path + "'s second name holds " + NameOf(ContentOf(Link(slot))) + ", the first "
                    + NameOf(now);
            else if (std::find(slot.may.begin(), slot.may.end(), now) != slot.may.end())
                slot.pending = false;
            else if (!slot.pending) {
                failure = slot.path + " holds " + NameOf(now) + "; it may hold only";
                for (Content allowed : slot.may)
                    failure += " [" + NameOf(allowed) + "]";
            }
            if (!failure.empty())
                return false;
        }
        return true;
    }

    std::mt19937_64 random;
    std::string files, source, line;
    Volume* volume;
    Slot slots[slotCount];
    std::map<Content, std::string> origins;
    std::deque<std::string> shown;
    std::size_t mostCalls = 40;
    double timeToKill = 20000; // microseconds at most before a kill after a time
    std::size_t saves = 0, recovers = 0, crashed[4] = {}, outside = 0, recreated = 0, reused = 0;
};

}

int main(int argc, char** argv)
{
    double seconds = 20;
    std::uint64_t seed = std::random_device {}();
    std::string root;
    for (int i = 1; i < argc; i += 2) {
        const std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (value && option == "--seconds")
            seconds = std::atof(value);
        else if (value && option == "--seed")
            seed = std::strtoull(value, nullptr, 10);
        else if (value && option == "--folder")
            root = value;
        else
            seconds = 0;
    }
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: save_fuzz [--seconds N] [--seed S] [--folder DIR]\n");
        return 2;
    }
    char scratch[] = "/tmp/save-fuzz-XXXXXX";
    const bool own = root.empty();
    if (own ? !::mkdtemp(scratch) : !Shell("mkdir -p '" + root + "'")) {
        std::fprintf(stderr, "save_fuzz: cannot make the folder\n");
        return 2;
    }
    if (own)
        root = scratch;
    Volume volume(root);
    const bool onVolume = ::geteuid() == 0 && volume.Mount();
    std::printf("save_fuzz: seed %llu, %g s, in %s%s\n", (unsigned long long)seed, seconds, root.c_str(),
        onVolume ? " on an ext4 volume without birth times" : " (no volume of our own: not root, or mounting failed)");
    SaveFuzz fuzz(seed, onVolume ? volume.mountPoint : root, onVolume ? &volume : nullptr);
    fuzz.device = StatOf(onVolume ? volume.mountPoint : root).st_dev;
    const auto start = std::chrono::steady_clock::now();
    for (std::chrono::duration<double> ran {}; ran.count() < seconds; ran = std::chrono::steady_clock::now() - start) {
        if (!fuzz.Step()) {
            fuzz.Report(seed, ran.count());
            volume.Unmount();
            std::printf("the folder stays for a look: %s\n", root.c_str());
            return 1;
        }
    }
    fuzz.Summary();
    volume.Unmount();
    if (own)
        Shell("rm -rf '" + root + "'");
    return 0;
}
