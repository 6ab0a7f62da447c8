#pragma once

#include "engine/ConvStatus.h"
#include "engine/Messages.h"
#include "platform/file/FileSystem.h"

#include <optional>
#include <string_view>

// A write to standard output or standard error that did not arrive.
struct WriteFailure {
    ConvStatus status = CannotOpen; // what the run ends with: the status of the system's cause
    bool readerGone = false;        // a closed pipe: the run ends without a word, as a pipeline's tools do
    bool onErr = false;             // standard error itself failed: nothing more can be said there
};

// Where the tool's output goes. Every text handed in is UTF-8; the console shows it in the
// terminal's encoding.
class Console {
public:
    virtual ~Console() = default;

    // Text for a reader on standard output, in the terminal's encoding.
    virtual void Out(std::string_view text) = 0;
    // Data on standard output that stays UTF-8 when it goes to a file or a pipe (JSON).
    virtual void OutData(std::string_view text) = 0;
    // Messages on standard error.
    virtual void Err(std::string_view text) = 0;
    // Whether standard error is a terminal, so that progress may be shown on it.
    virtual bool ErrIsTerminal() const = 0;
    // The language of the messages: the converter's own Japanese unless the user reads another.
    virtual Language MessageLanguage() const { return Language::Japanese; }
    // The first write that did not arrive, once one has. Standard output then takes nothing
    // more, and neither does standard error when it was the one that failed.
    virtual std::optional<WriteFailure> Failure() const { return std::nullopt; }

    // Standard input and standard output as handles of the file layer, raw bytes, for "-";
    // noHandle where the process has none.
    virtual FileSystem::Handle StandardInput() { return FileSystem::noHandle; }
    virtual FileSystem::Handle StandardOutput() { return FileSystem::noHandle; }
    // A write to StandardOutput that did not arrive: as if Out had failed so.
    virtual void OutFailed(const WriteFailure&) {}
};

// What a failed write to standard output through the file layer ends the run with.
WriteFailure OutputFailure(const FileError& error);

// The process's own standard output and standard error.
class StandardConsole : public Console {
public:
    StandardConsole();
    ~StandardConsole() override;

    void Out(std::string_view text) override;
    void OutData(std::string_view text) override;
    void Err(std::string_view text) override;
    bool ErrIsTerminal() const override { return errIsTerminal; }
    Language MessageLanguage() const override { return language; }
    std::optional<WriteFailure> Failure() const override { return failure; }
    FileSystem::Handle StandardInput() override;
    FileSystem::Handle StandardOutput() override;
    void OutFailed(const WriteFailure& failed) override { Keep(failed); }

private:
    void Keep(std::optional<WriteFailure> failed)
    {
        if (!failure)
            failure = failed;
    }

    bool errIsTerminal = false;
    Language language = Language::Japanese; // the user's, as the system tells it
    std::optional<WriteFailure> failure;
};
