#include "cli/Tbxconv.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/OutputPath.h"
#include "cli/Progress.h"
#include "cli/RecordJson.h"
#include "cli/TextCodec.h"
#include "engine/ConvStatus.h"
#include "engine/TabrixDocument.h"

#include <cstdio>
#include <new>

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

std::string StatusText(ConvStatus status)
{
    std::string message;
    GetStatusMessage(status, message);
    auto text = DecodeCp932(message);
    return text ? *text : message;
}

void ReportFailure(Console& console, const std::string& path, ConvStatus status)
{
    console.Err(ArgumentToUtf8(path) + ": " + StatusText(status) + "\n");
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

std::string VersionText(std::uint8_t major, std::uint8_t minor)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d", major, minor);
    return text;
}

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
            console.Out(ArgumentToUtf8(path) + ": " + VersionText(major, minor) + "\n");
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

// One conversion; a failure names the file it happened on.
ConvStatus ConvertOne(TabrixDocument& document, FormatVersion target, const std::string& source,
    const std::string& destination, Console& console, Progress* progress)
{
    ConvStatus status = LoadInto(document, source);
    const std::string* failedPath = &source;
    if (!IsErrorStatus(status)) {
        status = Guarded([&] {
            document.SetTargetVersion(static_cast<std::uint8_t>(target >> 8), static_cast<std::uint8_t>(target & 0xFF));
            if (!document.SetDestinationPath(destination.c_str()))
                return OutOfMemory;
            return document.Save();
        });
        failedPath = &destination;
    }
    if (IsErrorStatus(status)) {
        if (progress)
            progress->Clear();
        ReportFailure(console, *failedPath, status);
    }
    return status;
}

// Sources that would land on the same file in the output folder: the later would overwrite
// the earlier conversion, so the batch is refused before anything is written.
bool FindNameClash(const std::vector<std::string>& sources, Console& console)
{
    for (std::size_t i = 0; i < sources.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (SameFileName(FileNamePart(sources[i]), FileNamePart(sources[j]))) {
                console.Err("tbxconv: '" + ArgumentToUtf8(sources[j]) + "' and '" + ArgumentToUtf8(sources[i])
                    + "' would both be written to the same file in the output folder\n");
                return true;
            }
        }
    }
    return false;
}

int RunConvert(const CommandLine& command, Console& console, TabrixDocument& document)
{
    Outcome outcome;
    if (!command.outDir) {
        outcome.Add(ConvertOne(document, command.target, command.operands[0], command.operands[1], console, nullptr));
        return outcome.status;
    }
    if (FindNameClash(command.operands, console))
        return usageStatus;
    Progress progress(console, command.operands.size());
    for (const auto& source : command.operands) {
        std::string destination = JoinPath(*command.outDir, FileNamePart(source));
        outcome.Add(ConvertOne(document, command.target, source, destination, console, &progress));
        progress.Step();
    }
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
    }
    return usageStatus;
}
