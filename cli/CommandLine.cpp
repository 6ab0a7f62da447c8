#include "cli/CommandLine.h"

#include <algorithm>
#include <string_view>

namespace {

// Each handler gives why the command line is not usable, or nothing.
using Check = std::string (*)(const CommandLine& command);
using Set = std::string (*)(CommandLine& command, const std::string& value);

// One command or option of the command line. A command's check runs on the whole command line;
// an option belongs to one command and its set takes the option's value; a flag is an option
// without a value.
struct Row {
    enum Kind { Answer, Command, Option, Flag } kind;
    std::string_view name;
    Action action; // what an answer or a command asks for; the command an option belongs to
    Check check = nullptr;
    Set set = nullptr;
    std::string_view value = {}; // what an option's value is, for the message when it is missing
};

// "1.0, 1.1 or 1.2": the versions a conversion can write.
std::string KnownVersionList()
{
    std::string list;
    for (std::size_t i = 0; i < knownVersions.size(); ++i)
        list += (i == 0 ? "" : i + 1 < knownVersions.size() ? ", " : " or ") + VersionText(knownVersions[i]);
    return list;
}

std::string CheckInfo(const CommandLine& command)
{
    return command.operands.empty() ? "info needs at least one file" : "";
}

std::string CheckRecover(const CommandLine& command)
{
    return command.operands.empty() ? "recover needs at least one file" : "";
}

std::string CheckDump(const CommandLine& command)
{
    return command.operands.size() != 1 ? "dump takes exactly one file" : "";
}

std::string CheckConvert(const CommandLine& command)
{
    const std::size_t count = command.operands.size();
    if (command.target == 0)
        return "convert needs --to " + KnownVersionList();
    if (command.outDir && count == 0)
        return "convert --out-dir needs at least one source file";
    if (!command.outDir && count != 2)
        return "convert takes a source and a destination, or --out-dir and source files";
    return "";
}

// One standard input and one standard output: "-" stands once, for no file of a batch and for no
// file that recover rewrites.
std::string CheckStandardStream(const CommandLine& command)
{
    const auto count = std::count(command.operands.begin(), command.operands.end(), standardStream);
    if (count == 0)
        return "";
    if (count > 1)
        return "'-' is given twice";
    if (command.outDir)
        return "'-' cannot be used with --out-dir";
    if (command.action == Action::Recover)
        return "recover needs files, not '-'";
    return "";
}

std::string SetTarget(CommandLine& command, const std::string& version)
{
    if (command.target != 0)
        return "--to is given twice";
    auto target = ParseTargetVersion(version);
    if (!target)
        return "bad version '" + version + "' for --to: use " + KnownVersionList();
    command.target = *target;
    return "";
}

std::string SetStrict(CommandLine& command, const std::string&)
{
    command.strict = true;
    return "";
}

std::string SetDiscard(CommandLine& command, const std::string&)
{
    command.discard = true;
    return "";
}

std::string SetOutDir(CommandLine& command, const std::string& folder)
{
    if (command.outDir)
        return "--out-dir is given twice";
    if (folder.empty())
        return "--out-dir needs a folder";
    command.outDir = folder;
    return "";
}

// clang-format off
const Row rows[] = {
    { Row::Answer,  "--help",    Action::Help },
    { Row::Answer,  "-h",        Action::Help },
#ifdef _WIN32
    { Row::Answer,  "/?",        Action::Help },
#endif
    { Row::Answer,  "--version", Action::Version },
    { Row::Command, "info",      Action::Info,    CheckInfo },
    { Row::Command, "convert",   Action::Convert, CheckConvert },
    { Row::Command, "dump",      Action::Dump,    CheckDump },
    { Row::Command, "recover",   Action::Recover, CheckRecover },
    { Row::Option,  "--to",      Action::Convert, nullptr, SetTarget, "a version" },
    { Row::Option,  "--out-dir", Action::Convert, nullptr, SetOutDir, "a folder" },
    { Row::Flag,    "--strict",  Action::Convert, nullptr, SetStrict },
    { Row::Flag,    "--discard", Action::Recover, nullptr, SetDiscard },
};
// clang-format on

const Row* Find(Row::Kind kind, std::string_view name)
{
    for (const Row& row : rows)
        if (row.kind == kind && row.name == name)
            return &row;
    return nullptr;
}

// What the option arg ("--name", or "--name=value" for one that takes a value) names, among
// action's options.
const Row* FindOption(Action action, std::string_view arg)
{
    const Row* row = Find(Row::Flag, arg);
    if (!row)
        row = Find(Row::Option, arg.substr(0, arg.find('=')));
    return row && row->action == action ? row : nullptr;
}

ParsedCommandLine Fail(std::string error)
{
    return ParsedCommandLine { std::nullopt, std::move(error) };
}

// An answer (--help, --version) anywhere before "--" is all that is done, whatever else is given.
std::optional<Action> AnswerAsked(const std::vector<std::string>& args)
{
    for (const auto& arg : args) {
        if (arg == "--")
            break;
        if (const Row* row = Find(Row::Answer, arg))
            return row->action;
    }
    return std::nullopt;
}

}

std::optional<FormatVersion> ParseTargetVersion(const std::string& text)
{
    for (FormatVersion version : knownVersions)
        if (text == VersionText(version))
            return version;
    return std::nullopt;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine command;
    if (auto answer = AnswerAsked(args)) {
        command.action = *answer;
        return ParsedCommandLine { std::move(command), {} };
    }
    if (args.empty())
        return Fail("no command given");
    const Row* commandRow = Find(Row::Command, args[0]);
    if (!commandRow)
        return Fail("unknown command '" + args[0] + "'");

    command.action = commandRow->action;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            command.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const Row* option = FindOption(command.action, arg);
        if (!option)
            return Fail("unknown option '" + arg + "' for " + args[0]);
        if (option->kind == Row::Flag) {
            option->set(command, "");
            continue;
        }
        // "--name=value", or "--name value".
        const bool joined = arg.size() > option->name.size();
        if (!joined && i + 1 >= args.size())
            return Fail(std::string(option->name) + " needs " + std::string(option->value));
        const std::string value = joined ? arg.substr(option->name.size() + 1) : args[++i];
        if (std::string error = option->set(command, value); !error.empty())
            return Fail(std::move(error));
    }
    if (std::string error = commandRow->check(command); !error.empty())
        return Fail(std::move(error));
    if (std::string error = CheckStandardStream(command); !error.empty())
        return Fail(std::move(error));
    return ParsedCommandLine { std::move(command), {} };
}
