// Terminals here are UTF-8, as the program's own texts are: bytes go out unchanged.
#include "cli/Console.h"

#include "cli/UserLanguage.h"
#include "platform/file/FileErrorCause.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

namespace {

// Nothing, or why the text did not arrive. A closed pipe ends the program with SIGPIPE before
// write returns, unless the program was started with SIGPIPE ignored.
std::optional<WriteFailure> WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        ssize_t put = ::write(fd, text.data(), text.size());
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return WriteFailure { StatusFromCause(CauseFromErrno(errno)), errno == EPIPE, fd == STDERR_FILENO };
        }
        text.remove_prefix(static_cast<std::size_t>(put));
    }
    return std::nullopt;
}

}

WriteFailure OutputFailure(const FileError& error)
{
    return { StatusFromCause(error.cause), error.osError == EPIPE };
}

StandardConsole::StandardConsole()
    : errIsTerminal(::isatty(STDERR_FILENO) == 1)
    , language(LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG")))
{
}

StandardConsole::~StandardConsole() = default;

void StandardConsole::Out(std::string_view text)
{
    if (!failure)
        Keep(WriteAll(STDOUT_FILENO, text));
}

void StandardConsole::OutData(std::string_view text)
{
    Out(text);
}

void StandardConsole::Err(std::string_view text)
{
    if (!failure || !failure->onErr)
        Keep(WriteAll(STDERR_FILENO, text));
}

FileSystem::Handle StandardConsole::StandardInput()
{
    return STDIN_FILENO;
}

FileSystem::Handle StandardConsole::StandardOutput()
{
    return STDOUT_FILENO;
}
