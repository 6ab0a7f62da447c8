#pragma once

#include <string>
#include <vector>

class Console;

// Runs one command line (without the program's name) and gives the exit status: 0 when
// everything succeeded, 1 for a usage error, else the ConvStatus of the first failure.
int RunTbxconv(const std::vector<std::string>& args, Console& console);

// What --help prints.
const char* UsageText();
