// Terminals here are UTF-8, as the program's own texts are: bytes go out unchanged.
#include "cli/Console.h"

#include "cli/UserLanguage.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

namespace {

void WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        ssize_t put = ::write(fd, text.data(), text.size());
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return; // a closed pipe or a full disk: there is nowhere left to report it
        }
        text.remove_prefix(static_cast<std::size_t>(put));
    }
}

}

StandardConsole::StandardConsole()
    : errIsTerminal(::isatty(STDERR_FILENO) == 1)
    , language(LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG")))
{
}

StandardConsole::~StandardConsole() = default;

void StandardConsole::Out(std::string_view text)
{
    WriteAll(STDOUT_FILENO, text);
}

void StandardConsole::OutData(std::string_view text)
{
    WriteAll(STDOUT_FILENO, text);
}

void StandardConsole::Err(std::string_view text)
{
    WriteAll(STDERR_FILENO, text);
}
