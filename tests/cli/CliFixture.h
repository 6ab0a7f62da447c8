#pragma once

#include "cli/Console.h"
#include "cli/Tbxconv.h"
#include "cli/TextCodec.h"
#include "engine/ConvStatus.h"
#include "engine/Messages.h"
#include "support/SampleFile.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

// Output of a run, as the program hands it to the console (UTF-8, before any conversion). A
// stream given a failure fails every write so; the console then drops what the standard console
// drops, and counts it.
class CapturingConsole : public Console {
public:
    explicit CapturingConsole(bool terminal = false)
        : terminal(terminal)
    {
    }
    void Out(std::string_view text) override { Put(out, outFails, text); }
    void OutData(std::string_view text) override { Put(out, outFails, text); }
    void Err(std::string_view text) override { Put(err, errFails, text); }
    bool ErrIsTerminal() const override { return terminal; }
    Language MessageLanguage() const override { return language; }
    std::optional<WriteFailure> Failure() const override { return failure; }

    std::string out;
    std::string err;
    bool terminal;
    Language language = Language::Japanese;
    std::optional<WriteFailure> outFails, errFails, failure;
    int dropped = 0;

private:
    void Put(std::string& stream, const std::optional<WriteFailure>& fails, std::string_view text)
    {
        if (failure && (&stream == &out || failure->onErr))
            ++dropped;
        else if (fails)
            failure = fails;
        else
            stream += text;
    }
};

inline Bytes NewLayoutSample(FormatVersion version, std::uint32_t w4, const std::string& lead,
    const std::vector<std::string>& listA, const std::vector<std::string>& listB)
{
    return NewLayout(Sample(w4, lead, listA, listB), version);
}

// The shortest 1.0 file with this head word.
inline Bytes Version10Sample(std::uint32_t head)
{
    return OldLayout({ .headWord = head, .blockSeeds = {}, .blockStep = 0 });
}

// A fresh folder for each test, holding an empty folder "out".
class CliTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return scratch.File(name); }
    std::string Write(const std::string& name, const Bytes& bytes) const { return scratch.Write(name, bytes); }
    int Run(const std::vector<std::string>& args) { return RunTbxconv(args, console); }

    ScratchFolder scratch;
    const std::filesystem::path folder { scratch.Path() };
    const std::string out = scratch.MakeFolder("out");
    CapturingConsole console;
};

// The engine's Japanese messages, as the terminal shows them (their bytes are the engine suite's).
inline std::string Shown(const char* message)
{
    return DecodeCp932(message).value_or("(no text)");
}
// A line on standard error: "tbxconv: WHAT: MESSAGE".
inline std::string Said(const std::string& what, const std::string& message)
{
    return "tbxconv: " + what + ": " + message + "\n";
}

inline const std::string noFileNameText = Shown(StatusMessage(NoFileName, Language::Japanese));
inline const std::string notFoundText = Shown(StatusMessage(FileNotFound, Language::Japanese));
inline const std::string accessDeniedText = Shown(StatusMessage(AccessDenied, Language::Japanese));
inline const std::string cannotOpenText = Shown(StatusMessage(CannotOpen, Language::Japanese));
inline const std::string badFormatText = Shown(StatusMessage(BadFormat, Language::Japanese));
inline const std::string w4SixText = Shown(NoteMessage(W4SixAsThree, Language::Japanese));
