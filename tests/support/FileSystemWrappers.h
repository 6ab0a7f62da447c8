#pragma once

// File systems that a test hands to a document (SetFileSystem) or to a recovery in place of the
// system's own: one that fails the call a test names, and one that cuts the power.

#include "platform/file/FileSystem.h"
#include "support/ScratchFolder.h"

#include <string>
#include <vector>

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#endif

// The calls that can fail, by name.
// clang-format off
enum class Call {
    Open, Read, Write, Seek, CutAtPosition, Sync, Examine, Lock, OpenForReading, CarryAttributes, Close,
    OpenFolder, OpenJournalFolder, OpenLikePlainWrite, OpenNamed, MakeUnnamed, Publish, Remove, SyncFolder, ListFolder, MakeTemporary,
};
// clang-format on

// Forwards every call to the file system it wraps; every call that can fail passes Before first,
// which may fail it instead (a close is made all the same: its handle is gone whatever it gives).
class FileSystemWrapper : public FileSystem {
public:
    explicit FileSystemWrapper(FileSystem& target = FileSystem::Native())
        : target(target)
    {
    }
    // The temporary name that the system would have given next; the next one follows it.
    static std::string TakeTemporaryName() { return TemporaryName(); }

    // clang-format off
    Promises Provides() const override { return target.Provides(); }
    FileError Open(const std::string& path, unsigned flags, Handle& file) override { return Pass(Call::Open, [&] { return target.Open(path, flags, file); }); }
    FileError Read(Handle file, void* buffer, std::size_t count, std::size_t& got) override { return Pass(Call::Read, [&] { return target.Read(file, buffer, count, got); }); }
    FileError Write(Handle file, const void* buffer, std::size_t count) override { return Pass(Call::Write, [&] { return target.Write(file, buffer, count); }); }
    FileError Seek(Handle file, std::uint64_t offset) override { return Pass(Call::Seek, [&] { return target.Seek(file, offset); }); }
    FileError CutAtPosition(Handle file) override { return Pass(Call::CutAtPosition, [&] { return target.CutAtPosition(file); }); }
    FileError Sync(Handle file) override { return Pass(Call::Sync, [&] { return target.Sync(file); }); }
    FileError Examine(Handle file, FileInfo& info) override { return Pass(Call::Examine, [&] { return target.Examine(file, info); }); }
    FileError Lock(Handle file) override { return Pass(Call::Lock, [&] { return target.Lock(file); }); }
    FileError OpenForReading(Handle file, Handle& reader) override { return Pass(Call::OpenForReading, [&] { return target.OpenForReading(file, reader); }); }
    FileError CarryAttributes(Handle from, Handle to) override { return Pass(Call::CarryAttributes, [&] { return target.CarryAttributes(from, to); }); }
    FileError Close(Handle file) override { const FileError failed = Before(Call::Close), closed = target.Close(file); return failed ? failed : closed; }
    FileError OpenFolder(const std::string& path, HeldFolder& folder) override { return Pass(Call::OpenFolder, [&] { return target.OpenFolder(path, folder); }); }
    FileError OpenJournalFolder(Creation creation, HeldFolder& folder) override { return Pass(Call::OpenJournalFolder, [&] { return target.OpenJournalFolder(creation, folder); }); }
    std::string JournalFolderPath() override { return target.JournalFolderPath(); }
    Entry Look(const HeldFolder& folder, const std::string& name) override { return target.Look(folder, name); }
    Entry LookThrough(const HeldFolder& folder, const std::string& name) override { return target.LookThrough(folder, name); }
    FileError OpenLikePlainWrite(const HeldFolder& folder, const std::string& name, Creation creation, Handle& file) override { return Pass(Call::OpenLikePlainWrite, [&] { return target.OpenLikePlainWrite(folder, name, creation, file); }); }
    FileError OpenNamed(const HeldFolder& folder, const std::string& name, Handle& file) override { return Pass(Call::OpenNamed, [&] { return target.OpenNamed(folder, name, file); }); }
    FileError MakeUnnamed(const HeldFolder& folder, Visibility visibility, UnnamedFile& file) override { return Pass(Call::MakeUnnamed, [&] { return target.MakeUnnamed(folder, visibility, file); }); }
    FileError Publish(const HeldFolder& folder, UnnamedFile& file, const std::string& name, Publishing how, const Identity& replaced) override { return Pass(Call::Publish, [&] { return target.Publish(folder, file, name, how, replaced); }); }
    FileError Remove(const HeldFolder& folder, const std::string& name) override { return Pass(Call::Remove, [&] { return target.Remove(folder, name); }); }
    FileError SyncFolder(const HeldFolder& folder) override { return Pass(Call::SyncFolder, [&] { return target.SyncFolder(folder); }); }
    FileError ListFolder(const HeldFolder& folder, std::vector<std::string>& names) override { return Pass(Call::ListFolder, [&] { return target.ListFolder(folder, names); }); }
    FileError MakeTemporary(UnnamedFile& file) override { return Pass(Call::MakeTemporary, [&] { return target.MakeTemporary(file); }); }
    void Discard(const HeldFolder& folder, UnnamedFile& file) override { target.Discard(folder, file); }
    // clang-format on

protected:
    virtual FileError Before(Call) { return {}; }
    template<class Forward>
    FileError Pass(Call call, Forward forward)
    {
        const FileError failed = Before(call);
        return failed ? failed : forward();
    }

    FileSystem& target;
};

// Notes every call that can fail, and fails the one numbered failAt (from 1) with cause.
class FaultyFileSystem : public FileSystemWrapper {
public:
    std::vector<Call> calls;
    std::size_t failAt = 0;
    FileErrorCause cause = FileErrorCause::HardIO;

protected:
    FileError Before(Call call) override
    {
        calls.push_back(call);
        return calls.size() == failAt ? FileError { cause, -1 } : FileError {};
    }
};

#ifndef _WIN32
// Remembers what each file and folder that it sees held at its last sync (or when it first saw
// it), and at a cut of the power puts each back to that: a file loses the bytes written since its
// last sync (a new one never synced is empty), a folder the names made or removed since its last
// sync (a name that comes back leads to a file of its old bytes). From the cut on every call
// fails: a machine without power does nothing more.
class PowerCutFileSystem : public FileSystemWrapper {
public:
    ~PowerCutFileSystem() override
    {
        for (auto& [key, folder] : folders)
            ::close(folder.fd);
    }

    std::size_t calls = 0;
    std::size_t cutAt = 0; // the call that the power goes before; 0: only by Cut
    bool cut = false;

    void Cut()
    {
        cut = true;
        for (auto& [key, folder] : folders) {
            const std::map<std::string, Key> now = NamesIn(folder.fd);
            for (const auto& [name, file] : now) {
                if (!folder.names.count(name) || folder.names.at(name).file != file)
                    ::unlinkat(folder.fd, name.c_str(), 0);
            }
            for (const auto& [name, named] : folder.names) {
                const bool same = now.count(name) && now.at(name) == named.file;
                if (!same || bytes.count(named.file))
                    PutBack(folder.fd, name, bytes.count(named.file) ? bytes.at(named.file) : named.bytes);
            }
        }
    }

    // clang-format off
    FileError Open(const std::string& path, unsigned flags, Handle& file) override { return Seen(FileSystemWrapper::Open(path, flags, file), file); }
    FileError OpenLikePlainWrite(const HeldFolder& folder, const std::string& name, Creation creation, Handle& file) override { return Seen(FileSystemWrapper::OpenLikePlainWrite(folder, name, creation, file), file); }
    FileError OpenFolder(const std::string& path, HeldFolder& folder) override { return SeenFolder(FileSystemWrapper::OpenFolder(path, folder), folder); }
    FileError OpenJournalFolder(Creation creation, HeldFolder& folder) override { return SeenFolder(FileSystemWrapper::OpenJournalFolder(creation, folder), folder); }
    // clang-format on
    FileError MakeUnnamed(const HeldFolder& folder, Visibility visibility, UnnamedFile& file) override
    {
        const FileError failed = FileSystemWrapper::MakeUnnamed(folder, visibility, file);
        if (!failed)
            bytes.emplace(KeyOf(int(file.handle)), Bytes {});
        return failed;
    }
    FileError Sync(Handle file) override
    {
        const FileError failed = FileSystemWrapper::Sync(file);
        if (!failed)
            bytes[KeyOf(int(file))] = ReadBytes(ProcPath(int(file)));
        return failed;
    }
    FileError SyncFolder(const HeldFolder& folder) override
    {
        const FileError failed = FileSystemWrapper::SyncFolder(folder);
        if (!failed)
            Remember(folders.at(KeyOf(int(folder.handle))));
        return failed;
    }
    // Once the power is gone nothing is removed any more.
    void Discard(const HeldFolder& folder, UnnamedFile& file) override
    {
        if (cut)
            file.Reset();
        else
            FileSystemWrapper::Discard(folder, file);
    }

protected:
    FileError Before(Call) override
    {
        if (!cut && ++calls == cutAt)
            Cut();
        return cut ? FileError { FileErrorCause::HardIO, EIO } : FileError {};
    }

private:
    using Bytes = std::vector<std::uint8_t>;
    using Key = std::pair<dev_t, ino_t>;
    struct Named {
        Key file;
        Bytes bytes; // as they were when the name was remembered
    };
    struct FolderState {
        int fd = -1;
        std::map<std::string, Named> names; // as on the disk
    };

    static std::string ProcPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }
    static Key KeyOf(int fd)
    {
        struct stat info {};
        ::fstat(fd, &info);
        return { info.st_dev, info.st_ino };
    }
    // The folder's names of everything but folders.
    static std::map<std::string, Key> NamesIn(int folder)
    {
        std::map<std::string, Key> names;
        DIR* listing = ::opendir(ProcPath(folder).c_str());
        for (struct dirent* entry; listing && (entry = ::readdir(listing));) {
            struct stat info {};
            if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(info.st_mode))
                names[entry->d_name] = { info.st_dev, info.st_ino };
        }
        if (listing)
            ::closedir(listing);
        return names;
    }
    static void PutBack(int folder, const std::string& name, const Bytes& content)
    {
        const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 && ::write(fd, content.data(), content.size()) == ssize_t(content.size()))
            ::fsync(fd);
        ::close(fd);
    }

    // A file seen for the first time holds what it held on the disk before.
    FileError Seen(const FileError& failed, Handle file)
    {
        if (!failed && !bytes.count(KeyOf(int(file))))
            bytes[KeyOf(int(file))] = ReadBytes(ProcPath(int(file)));
        return failed;
    }
    FileError SeenFolder(const FileError& failed, const HeldFolder& folder)
    {
        if (!failed && folder.handle != noHandle && !folders.count(KeyOf(int(folder.handle)))) {
            FolderState& state = folders[KeyOf(int(folder.handle))];
            state.fd = ::open(ProcPath(int(folder.handle)).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            Remember(state);
        }
        return failed;
    }
    // The folder's names as they are now are on the disk, each with the bytes it leads to.
    void Remember(FolderState& folder)
    {
        folder.names.clear();
        for (const auto& [name, file] : NamesIn(folder.fd)) {
            const int fd = ::openat(folder.fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            folder.names[name] = { file, fd >= 0 ? ReadBytes(ProcPath(fd)) : Bytes {} };
            ::close(fd);
        }
    }

    std::map<Key, Bytes> bytes;
    std::map<Key, FolderState> folders;
};
#endif
