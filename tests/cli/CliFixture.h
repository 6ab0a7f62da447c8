#pragma once

#include "cli/Console.h"
#include "cli/Tbxconv.h"
#include "support/SampleFile.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

// Output of a run, as the program hands it to the console (UTF-8, before any conversion).
class CapturingConsole : public Console {
public:
    explicit CapturingConsole(bool terminal = false)
        : terminal(terminal)
    {
    }
    void Out(std::string_view text) override { out += text; }
    void OutData(std::string_view text) override { out += text; }
    void Err(std::string_view text) override { err += text; }
    bool ErrIsTerminal() const override { return terminal; }
    Language MessageLanguage() const override { return language; }

    std::string out;
    std::string err;
    bool terminal;
    Language language = Language::Japanese;
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

// The engine's messages, as the terminal shows them.
inline const std::string noFileNameText = "ファイル名が指定されていません";
inline const std::string notFoundText = "ファイルが存在しません";
inline const std::string accessDeniedText = "アクセスが拒否されました";
inline const std::string cannotOpenText = "ファイルがオープンできません";
inline const std::string badFormatText = "ファイルのフォーマットが不正です";
inline const std::string w4SixText = "ワード4の6は3として書き込まれました";
