#include "cli/CommandLine.h"

namespace {

ParsedCommandLine Fail(std::string error)
{
    return ParsedCommandLine { std::nullopt, std::move(error) };
}

std::optional<Action> ActionNamed(const std::string& name)
{
    if (name == "info")
        return Action::Info;
    if (name == "convert")
        return Action::Convert;
    if (name == "dump")
        return Action::Dump;
    return std::nullopt;
}

// --help or --version anywhere before "--" answers that alone, whatever else is given.
std::optional<Action> InformationAsked(const std::string& arg)
{
    if (arg == "--help" || arg == "-h")
        return Action::Help;
    if (arg == "--version")
        return Action::Version;
    return std::nullopt;
}

// "--name=value" or "--name value": the value, or nothing when it is missing.
std::optional<std::string> OptionValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name)
{
    const std::string& arg = args[i];
    if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 && arg[name.size()] == '=')
        return arg.substr(name.size() + 1);
    if (i + 1 >= args.size())
        return std::nullopt;
    return args[++i];
}

bool IsOption(const std::string& arg, const std::string& name)
{
    return arg == name || arg.compare(0, name.size() + 1, name + "=") == 0;
}

ParsedCommandLine CheckOperands(CommandLine command)
{
    const std::size_t count = command.operands.size();
    switch (command.action) {
    case Action::Info:
        if (count == 0)
            return Fail("info needs at least one file");
        break;
    case Action::Dump:
        if (count != 1)
            return Fail("dump takes exactly one file");
        break;
    case Action::Convert:
        if (command.target == 0)
            return Fail("convert needs --to 1.0, 1.1 or 1.2");
        if (command.outDir && count == 0)
            return Fail("convert --out-dir needs at least one source file");
        if (!command.outDir && count != 2)
            return Fail("convert takes a source and a destination, or --out-dir and source files");
        break;
    case Action::Help:
    case Action::Version:
        break;
    }
    return ParsedCommandLine { std::move(command), {} };
}

}

std::optional<FormatVersion> ParseTargetVersion(const std::string& text)
{
    if (text == "1.0")
        return version10;
    if (text == "1.1")
        return version11;
    if (text == "1.2")
        return version12;
    return std::nullopt;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    for (const auto& arg : args) {
        if (arg == "--")
            break;
        if (auto asked = InformationAsked(arg)) {
            CommandLine command;
            command.action = *asked;
            return ParsedCommandLine { std::move(command), {} };
        }
    }
    if (args.empty())
        return Fail("no command given");
    auto action = ActionNamed(args[0]);
    if (!action)
        return Fail("unknown command '" + args[0] + "'");

    CommandLine command;
    command.action = *action;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            command.operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (command.action == Action::Convert && IsOption(arg, "--to")) {
            if (command.target != 0)
                return Fail("--to is given twice");
            auto value = OptionValue(args, i, "--to");
            if (!value)
                return Fail("--to needs a version: 1.0, 1.1 or 1.2");
            auto version = ParseTargetVersion(*value);
            if (!version)
                return Fail("bad version '" + *value + "' for --to: use 1.0, 1.1 or 1.2");
            command.target = *version;
        } else if (command.action == Action::Convert && IsOption(arg, "--out-dir")) {
            if (command.outDir)
                return Fail("--out-dir is given twice");
            auto value = OptionValue(args, i, "--out-dir");
            if (!value || value->empty())
                return Fail("--out-dir needs a folder");
            command.outDir = std::move(*value);
        } else {
            return Fail("unknown option '" + arg + "' for " + args[0]);
        }
    }
    return CheckOperands(std::move(command));
}
