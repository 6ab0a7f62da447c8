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
#include "engine/RecordWriters.h"
#include "engine/TabrixDocument.h"

#include <new>
#include <optional>
#include <unordered_map>

namespace {

constexpr int usageStatus = 1;
// A conversion that --strict refused because it would not keep every value.
constexpr int strictStatus = 12;

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

// One line on standard error, which says who speaks.
void Complain(Console& console, const std::string& line)
{
    console.Err("tbxconv: " + line + "\n");
}

std::string StatusText(Console& console, ConvStatus status)
{
    const char* message = StatusMessage(status, console.MessageLanguage());
    return MessageText(message ? message : "");
}

void ReportFailure(Console& console, const std::string& path, ConvStatus status)
{
    Complain(console, ArgumentToUtf8(path) + ": " + StatusText(console, status));
}

// "SOURCE: note; note", when the conversion of source changed or left out something of it;
// "SOURCE: not converted (--strict): note; note" when --strict refused it for that.
void ReportNotes(Console& console, const std::string& source, unsigned notes, bool refused)
{
    if (notes == 0)
        return;
    std::string line = ArgumentToUtf8(source) + ": ";
    if (refused)
        line += MessageText(StrictRefusalMessage(console.MessageLanguage())) + ": ";
    const char* separator = "";
    for (ConversionNote note : conversionNotes) {
        if (notes & note) {
            line += separator + MessageText(NoteMessage(note, console.MessageLanguage()));
            separator = "; ";
        }
    }
    Complain(console, line);
}

// Keeps the status of the first failure.
struct Outcome {
    int status = 0;
    void Add(int result)
    {
        if (status == 0 && (IsErrorStatus(result) || result == strictStatus))
            status = result;
    }
};

// Loads path into document, reusing it for the next file as the dialog does; "-" is the standard
// input of standard, where it is given. A pipe is read to its end.
ConvStatus LoadInto(TabrixDocument& document, const std::string& path, Console* standard = nullptr)
{
    return Guarded([&] {
        document.Reset();
        if (!document.SetSourcePath(path.c_str()))
            return OutOfMemory;
        document.ReadStreamsToEnd(true);
        if (standard && path == standardStream)
            return document.LoadFrom(standard->StandardInput());
        return document.Load();
    });
}

// Standard output for "convert SOURCE -": the writers' bytes go out as they make them, and the
// first write that fails is kept for the console.
class StandardOutputFile : public CFile {
public:
    void Write(const void* buffer, std::size_t count) override
    {
        Kept([&] { CFile::Write(buffer, count); });
    }
    void Flush() override
    {
        Kept([&] { CFile::Flush(); });
    }
    std::optional<FileError> failure;

private:
    template<typename Step>
    void Kept(Step step)
    {
        try {
            step();
        } catch (const CFileException& failed) {
            if (!failure)
                failure = FileError { failed.cause, failed.osError };
            throw;
        }
    }
};

// The record in version target on standard output, straight: the safe save is for files. A write
// that fails there is standard output's, as for any other output.
ConvStatus WriteToStandardOutput(Console& console, const TabrixRecord& record, FormatVersion target)
{
    StandardOutputFile out;
    out.Attach(console.StandardOutput(), std::string(standardStream));
    const ConvStatus status = WriteVersion(out, record, target);
    // The writer has flushed what it wrote; the handle stays the process's.
    out.Abort();
    if (out.failure)
        console.OutFailed(OutputFailure(*out.failure));
    return status;
}

int RunInfo(const CommandLine& command, Console& console, TabrixDocument& document)
{
    Outcome outcome;
    for (const auto& path : command.operands) {
        // Output that did not arrive ends the run.
        if (console.Failure())
            break;
        ConvStatus status = LoadInto(document, path, &console);
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
    ConvStatus status = LoadInto(document, path, &console);
    if (IsErrorStatus(status)) {
        ReportFailure(console, path, status);
        return status;
    }
    try {
        WriteRecordJson(document.GetRecord(), [&](std::string_view piece) {
            console.OutData(piece);
            return !console.Failure();
        });
    } catch (const std::bad_alloc&) {
        ReportFailure(console, path, OutOfMemory);
        return OutOfMemory;
    }
    return 0;
}

// Plays back what an interrupted save of each file left, and says what it did.
int RunRecover(const CommandLine& command, Console& console)
{
    Outcome outcome;
    for (const auto& path : command.operands) {
        if (console.Failure())
            break;
        Playback back;
        const ConvStatus status = Guarded([&] {
            back = RecoverInterruptedSave(path, FileSystem::Native(),
                command.discard ? Refusals::Discard : Refusals::Keep);
            return back.status;
        });
        // A folder of journals that cannot be read is named.
        if (IsErrorStatus(status)) {
            ReportFailure(console, back.lookupFailed ? FileSystem::Native().JournalFolderPath() : path, status);
            outcome.Add(status);
            continue;
        }
        const auto line = [&](Recovery recovery) {
            return ArgumentToUtf8(path) + ": " + MessageText(RecoveryMessage(recovery, console.MessageLanguage()));
        };
        if (back.outcome != Recovery::Refused)
            console.Out(line(back.outcome) + "\n");
        // Journals that fail their checks are left for a person to look at, where they are.
        if (!back.refused.empty() && back.outcome != Recovery::Discarded) {
            std::string where;
            for (const std::string& journal : back.refused)
                where += (where.empty() ? "" : ", ")
                    + ArgumentToUtf8(JoinPath(FileSystem::Native().JournalFolderPath(), journal));
            Complain(console, line(Recovery::Refused) + " (" + where + ")");
            outcome.Add(BadFormat);
        }
    }
    return outcome.status;
}

// One conversion; a failure names the file it happened on. Strict, one that would not keep
// every value writes nothing. "-" is a stream of standard, where it is given (not in a batch).
FileOutcome ConvertOne(TabrixDocument& document, const CommandLine& command, const std::string& source,
    const std::string& destination, Console* standard = nullptr)
{
    const FormatVersion target = command.target;
    ConvStatus status = LoadInto(document, source, standard);
    if (IsErrorStatus(status))
        return { status, &source };
    const unsigned notes = ConversionNotesOf(document.GetRecord(), target);
    if (command.strict && notes != 0)
        return { Success, nullptr, notes, true };
    if (standard && destination == standardStream) {
        status = Guarded([&] { return WriteToStandardOutput(*standard, document.GetRecord(), target); });
        // Output that did not arrive ends the run as standard output's failure.
        if (IsErrorStatus(status) && standard->Failure())
            return {};
        return { status, IsErrorStatus(status) ? &destination : nullptr, notes };
    }
    status = Guarded([&] {
        document.SetTargetVersion(VersionMajor(target), VersionMinor(target));
        if (!document.SetDestinationPath(destination.c_str()))
            return OutOfMemory;
        return document.Save();
    });
    if (IsErrorStatus(status))
        return { status, &destination };
    return { status, nullptr, notes, false, document.GetRecoveryFailure(), document.GetJournalFailure() };
}

// The exit status that one conversion asks for: 0 when it wrote its destination.
int ExitStatusOf(const FileOutcome& file)
{
    return file.refused ? strictStatus : IsErrorStatus(file.status) ? file.status : 0;
}

// "DESTINATION: TEXT: MESSAGE (FOLDER)": what a save did without the folder of journals.
void ReportJournalFolder(Console& console, const std::string& destination, const char* text, ConvStatus status)
{
    if (IsErrorStatus(status))
        Complain(console,
            ArgumentToUtf8(destination) + ": " + MessageText(text) + ": " + StatusText(console, status) + " ("
                + ArgumentToUtf8(FileSystem::Native().JournalFolderPath()) + ")");
}

// What became of one conversion: its failure, or what it changed, or would have changed, of
// source; and what its save did without a folder of journals.
void ReportConversion(Console& console, const std::string& source, const std::string& destination,
    const FileOutcome& file)
{
    if (IsErrorStatus(file.status))
        ReportFailure(console, *file.failedPath, file.status);
    ReportNotes(console, source, file.notes, file.refused);
    ReportJournalFolder(console, destination, LookupFailureMessage(console.MessageLanguage()), file.lookupFailure);
    ReportJournalFolder(console, destination, UnjournaledMessage(console.MessageLanguage()), file.journalFailure);
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
            Complain(console,
                "'" + ArgumentToUtf8(sources[earlier->second]) + "' and '" + ArgumentToUtf8(sources[i])
                    + "' would both be written to the same file in the output folder");
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
                return ConvertOne(document, command, sources[i], destinations[i]);
            },
            [&](std::size_t i, const FileOutcome& file) {
                if (IsErrorStatus(file.status) || file.notes != 0 || IsErrorStatus(file.lookupFailure)
                    || IsErrorStatus(file.journalFailure))
                    progress.Clear();
                ReportConversion(console, sources[i], destinations[i], file);
                if (ExitStatusOf(file) == 0)
                    written.push_back(destinations[i]);
                outcome.Add(ExitStatusOf(file));
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
    FileOutcome file = ConvertOne(document, command, command.operands[0], command.operands[1], &console);
    ReportConversion(console, command.operands[0], command.operands[1], file);
    return ExitStatusOf(file);
}

int RunCommand(const std::vector<std::string>& args, Console& console, TabrixDocument& document);

// Output that did not arrive is no success: the run ends with the status of the write's cause,
// unless a file failed before it, and says so on standard error where that still takes it. A
// reader that went away is no error to speak of.
int EndRun(Console& console, int status)
{
    const auto failure = console.Failure();
    if (!failure)
        return status;
    if (!failure->readerGone && !failure->onErr)
        Complain(console, "write error: " + StatusText(console, failure->status));
    return status != 0 ? status : failure->status;
}

}

int RunTbxconv(const std::vector<std::string>& args, Console& console)
{
    TabrixDocument document("");
    return RunTbxconv(args, console, document);
}

int RunTbxconv(const std::vector<std::string>& args, Console& console, TabrixDocument& document)
{
    return EndRun(console, RunCommand(args, console, document));
}

namespace {

int RunCommand(const std::vector<std::string>& args, Console& console, TabrixDocument& document)
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

}
