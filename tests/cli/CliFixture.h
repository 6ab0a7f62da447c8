#pragma once

#include "cli/Console.h"
#include "cli/Tbxconv.h"
#include "support/TabrixBytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

    std::string out;
    std::string err;
    bool terminal;
};

// A new-layout file: head, version, W1..W9 = 1..9 with W4 = w4, blocks of 0xB0 + i,
// X1..X4 = 21..24, then the strings and T1..T3 = 31..33.
inline TabrixBytes NewLayoutSample(std::uint16_t version, std::uint32_t w4, const std::string& lead,
    const std::vector<std::string>& listA, const std::vector<std::string>& listB)
{
    TabrixBytes file;
    file.Word(0xFFFF0000u | 0x1234).Half(version);
    for (std::uint32_t i = 1; i <= 9; ++i)
        file.Word(i == 4 ? w4 : i);
    for (std::uint8_t i = 0; i < 4; ++i)
        file.Fill(60, static_cast<std::uint8_t>(0xB0 + i));
    file.Word(21).Word(22).Word(23).Word(24).PString(lead).List(listA).List(listB);
    file.Word(31).Word(32).Word(33);
    return file;
}

// The shortest 1.0 file with this head word.
inline TabrixBytes Version10Sample(std::uint32_t head)
{
    TabrixBytes file;
    file.Word(head).Fill(276, 0).PString("").List({}).List({});
    return file;
}

// A fresh folder for each test, removed afterwards.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() / (std::string("tbxconv-") + info->test_suite_name() + "-" + info->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string PathOf(const std::string& name) const { return (folder / name).string(); }

    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
    {
        std::ofstream file(folder / name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return PathOf(name);
    }
    std::string Write(const std::string& name, const TabrixBytes& file) const { return Write(name, file.bytes); }

    std::vector<std::uint8_t> Read(const std::string& path) const
    {
        std::ifstream file(path, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
    }

    int Run(const std::vector<std::string>& args) { return RunTbxconv(args, console); }

    std::filesystem::path folder;
    CapturingConsole console;
};

// The engine's messages, as the terminal shows them.
inline const std::string noFileNameText = "ファイル名が指定されていません";
inline const std::string notFoundText = "ファイルが存在しません";
inline const std::string accessDeniedText = "アクセスが拒否されました";
inline const std::string cannotOpenText = "ファイルがオープンできません";
inline const std::string badFormatText = "ファイルのフォーマットが不正です";
