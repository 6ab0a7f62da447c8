#pragma once

#include <string>
#include <vector>

class Console;
class TabrixDocument;

// Runs one command line (without the program's name) and gives the exit status: 0 when
// everything succeeded, 1 for a usage error, else the status of the first failure: a ConvStatus,
// also for a write to standard output or standard error that did not arrive, or 12 for a
// conversion that --strict refused.
int RunTbxconv(const std::vector<std::string>& args, Console& console);
// The same with the document that a single file is loaded into, which the caller owns; a batch
// converts on documents of its own, one per core.
int RunTbxconv(const std::vector<std::string>& args, Console& console, TabrixDocument& document);

// What --help prints.
const char* UsageText();
// What --version prints: "tbxconv" and the version of the programs' version blocks.
std::string VersionLine();
// A usage error: the reason on one line, then where the full usage is.
std::string UsageErrorText(const std::string& reason);
