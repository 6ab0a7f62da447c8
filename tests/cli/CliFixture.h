#pragma once

#include "cli/Console.h"
#include "cli/Tbxconv.h"
#include "support/ScratchFolder.h"
#include "support/TabrixFile.h"

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

// Head 0x1234, W1..W9 = 1..9 with W4 = w4, blocks filled with 0xB0 + i, X1..X4 = 21..24,
// T1..T3 = 31..33.
inline TabrixFields CliSample(std::uint32_t w4, const std::string& lead, StoredList listA, StoredList listB)
{
    return { .headWord = 0x1234, .words = { 1, 2, 3, w4, 5, 6, 7, 8, 9 }, .blockSeeds = { 0xB0, 0xB1, 0xB2, 0xB3 },
        .blockStep = 0, .extWords = { 21, 22, 23, 24 }, .tailWords = { 31, 32, 33 }, .lead = lead,
        .listA = std::move(listA), .listB = std::move(listB) };
}

inline Bytes NewLayoutSample(FormatVersion version, std::uint32_t w4, const std::string& lead,
    const std::vector<std::string>& listA, const std::vector<std::string>& listB)
{
    return NewLayout(CliSample(w4, lead, listA, listB), version);
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
