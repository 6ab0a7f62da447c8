#pragma once

#include "engine/FormatVersion.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The operand that stands for standard input as FILE or SOURCE, and for standard output as DEST;
// a file of that name is reached as "./-".
inline constexpr std::string_view standardStream = "-";

enum class Action { Help, Version, Info, Convert, Dump, Recover };

// What the command line asks for, checked before anything is read or written.
struct CommandLine {
    Action action = Action::Help;
    FormatVersion target = 0;
    std::optional<std::string> outDir;
    bool strict = false;  // a conversion that cannot keep every value fails and writes nothing
    bool discard = false; // recover removes the journals that fail their checks
    std::vector<std::string> operands;
};

struct ParsedCommandLine {
    std::optional<CommandLine> command;
    std::string error; // why the command line is not usable, when there is no command
};

// args without the program's name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The FormatVersion of "1.0", "1.1" or "1.2"; nothing for any other text.
std::optional<FormatVersion> ParseTargetVersion(const std::string& text);
