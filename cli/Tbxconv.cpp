#include "cli/Tbxconv.h"

#include "cli/Batch.h"
#include "cli/BatchFlush.h"
#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/OutputPath.h"
#include "cli/Progress.h"
#include "cli/RecordJson.h"
#include "cli/TextCodec.h"
#include "engine/ConvStatus.h"
#include "engine/ConversionNotes.h"
#include "engine/Messages.h"
#include "engine/TabrixDocument.h"

#include <new>
#include <unordered_map>

namespace {

constexpr int usageStatus = 1;

// Runs a load or a save; failures the engine leaves to the framework become statuses here,
// so that one bad file does not end a batch.
template<typename Operation>
ConvStatus Guarded(Operation operation)
{
    try {
        return operation();
    } catch (const CFileException& failure) {
        return StatusFromCause(failure.cause);
    } catch (const CMemoryException&) {
        return OutOfMemory;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
}

// The engine's texts are code page 932; the console takes UTF-8.
std::string MessageText(const char* message)
{
    auto text = DecodeCp932(message);
    return text ? *text : message;
}

void ReportFailure(Console& console, const std::string& path, ConvStatus status)
{
    const char* message = StatusMessage(status, console.MessageLanguage());
    console.Err(ArgumentToUtf8(path) + ": " + MessageText(message ? message : "") + "\n");
}

// "SOURCE: note; note", when the conversion of source changed or left out something of it.
void ReportNotes(Console& console, const std::string& source, unsigned notes)
{
    if (notes == 0)
        return;
    std::string line = ArgumentToUtf8(source) + ": ";
    const char* separator = "";
    for (ConversionNote note : conversionNotes) {
        if (notes & note) {
            line += separator + MessageText(NoteMessage(note, console.MessageLanguage()));
            separator = "; ";
        }
    }
    console.Err(line + "\n");
}

// Keeps the status of the first failure.
struct Outcome {
    int status = 0;
    void Add(ConvStatus result)
    {
        if (status == 0 && IsErrorStatus(result))
            status = result;
    }
};

// Loads path into document, reusing it for the next file as the dialog does.
ConvStatus LoadInto(TabrixDocument& document, const std::string& path)
{
    return Guarded([&] {
        document.Reset();
        if (!document.SetSourcePath(path.c_str()))
            return OutOfMemory;
        return document.Load();
    });
}

int RunInfo(const CommandLine& command, Console& console, TabrixDocument& document)
{
    Outcome outcome;
    for (const auto& path : command.operands) {
        ConvStatus status = LoadInto(document, path);
        std::uint8_t major = 0;
        std::uint8_t minor = 0;
        if (!IsErrorStatus(status) && document.GetVersion(major, minor) == 1)
            console.Out(ArgumentToUtf8(path) + ": " + VersionText(MakeVersion(major, minor)) + "\n");
        else
            ReportFailure(console, path, status);
        outcome.Add(status);
    }
    return outcome.status;
}

int RunDump(const CommandLine& command, Console& console, TabrixDocument& document)
{
    const std::string& path = command.operands.front();
    ConvStatus status = LoadInto(document, path);
    if (IsErrorStatus(status)) {
        ReportFailure(console, path, status);
        return status;
    }
    std::string json;
    try {
        json = RecordToJson(document.GetRecord());
    } catch (const std::bad_alloc&) {
        ReportFailure(console, path, OutOfMemory);
        return OutOfMemory;
    }
    console.OutData(json);
    return 0;
}

// Plays back what an interrupted save of each file left, and says what it did.
int RunRecover(const CommandLine& command, Console& console)
{
    Outcome outcome;
    for (const auto& path : command.operands) {
        Recovery recovery = Recovery::NoJournal;
        ConvStatus status = Guarded([&] {
            const Playback back = RecoverInterruptedSave(path);
            recovery = back.outcome;
            return back.status;
        });
        if (IsErrorStatus(status)) {
            ReportFailure(console, path, status);
            outcome.Add(status);
            continue;
        }
        const std::string line
            = ArgumentToUtf8(path) + ": " + MessageText(RecoveryMessage(recovery, console.MessageLanguage()));
        // A journal that fails its checks is left for a person to look at, in its folder.
        if (recovery == Recovery::Refused) {
            console.Err(line + " (" + ArgumentToUtf8(FileSystem::Native().JournalFolderPath()) + ")\n");
            outcome.Add(BadFormat);
        } else {
            console.Out(line + "\n");
        }
    }
    return outcome.status;
}

// One conversion; a failure names the file it happened on.
FileOutcome ConvertOne(TabrixDocument& document, FormatVersion target, const std::string& source,
    const std::string& destination)
{
    ConvStatus status = LoadInto(document, source);
    if (IsErrorStatus(status))
        return { status, &source };
    status = Guarded([&] {
        document.SetTargetVersion(VersionMajor(target), VersionMinor(target));
        if (!document.SetDestinationPath(destination.c_str()))
            return OutOfMemory;
        return document.Save();
    });
    if (IsErrorStatus(status))
        return { status, &destination };
    return { status, nullptr, ConversionNotesOf(document.GetRecord(), target) };
}

// Sources that would land on the same file in the output folder: the later would overwrite
// the earlier conversion, so the batch is refused before anything is written. Each name is
// looked up among the earlier ones once.
bool FindNameClash(const std::vector<std::string>& sources, Console& console)
{
    std::unordered_map<std::string, std::size_t> firstOfName;
    firstOfName.reserve(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        auto [earlier, isNew] = firstOfName.emplace(FileNameKey(FileNamePart(sources[i])), i);
        if (!isNew) {
            console.Err("tbxconv: '" + ArgumentToUtf8(sources[earlier->second]) + "' and '" + ArgumentToUtf8(sources[i])
                + "' would both be written to the same file in the output folder\n");
            return true;
        }
    }
    return false;
}

// Every file into the output folder, on every core; messages and status as if one by one.
int RunBatch(const CommandLine& command, Console& console)
{
    const std::vector<std::string>& sources = command.operands;
    if (FindNameClash(sources, console))
        return usageStatus;
    std::vector<std::string> destinations;
    destinations.reserve(sources.size());
    for (const auto& source : sources)
        destinations.push_back(JoinPath(*command.outDir, FileNamePart(source)));
    Outcome outcome;
    std::vector<std::string> written;
    {
        Progress progress(console, sources.size());
        ConvertConcurrently(
            sources.size(), MakeBatchDocument,
            [&](std::size_t i, TabrixDocument& document) {
                return ConvertOne(document, command.target, sources[i], destinations[i]);
            },
            [&](std::size_t i, const FileOutcome& file) {
                if (IsErrorStatus(file.status) || file.notes != 0)
                    progress.Clear();
                if (IsErrorStatus(file.status))
                    ReportFailure(console, *file.failedPath, file.status);
                else
                    written.push_back(destinations[i]);
                ReportNotes(console, sources[i], file.notes);
                outcome.Add(file.status);
                progress.Step();
            });
    }
    // The written files are durable before the batch ends.
    if (FileError error = SyncFoldersOf(written)) {
        ConvStatus status = StatusFromCause(error.cause);
        ReportFailure(console, *command.outDir, status);
        outcome.Add(status);
    }
    return outcome.status;
}

int RunConvert(const CommandLine& command, Console& console, TabrixDocument& document)
{
    if (command.outDir)
        return RunBatch(command, console);
    Outcome outcome;
    FileOutcome file = ConvertOne(document, command.target, command.operands[0], command.operands[1]);
    if (IsErrorStatus(file.status))
        ReportFailure(console, *file.failedPath, file.status);
    ReportNotes(console, command.operands[0], file.notes);
    outcome.Add(file.status);
    return outcome.status;
}

}

int RunTbxconv(const std::vector<std::string>& args, Console& console)
{
    TabrixDocument document("");
    return RunTbxconv(args, console, document);
}

int RunTbxconv(const std::vector<std::string>& args, Console& console, TabrixDocument& document)
{
    ParsedCommandLine parsed = ParseCommandLine(args);
    if (!parsed.command) {
        console.Err(UsageErrorText(ArgumentToUtf8(parsed.error)));
        return usageStatus;
    }
    const CommandLine& command = *parsed.command;
    switch (command.action) {
    case Action::Help:
        console.Out(UsageText());
        return 0;
    case Action::Version:
        console.Out(VersionLine());
        return 0;
    case Action::Info:
        return RunInfo(command, console, document);
    case Action::Dump:
        return RunDump(command, console, document);
    case Action::Convert:
        return RunConvert(command, console, document);
    case Action::Recover:
        return RunRecover(command, console);
    }
    return usageStatus;
}
