// Writes small valid Tabrix files of every layout into the folder it is given: the fuzzer's seed
// corpus, and the samples of the tests that run the built programs.
#include "support/ScratchFolder.h"
#include "support/TabrixFile.h"

#include <cstdio>
#include <filesystem>
#include <tuple>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 1;
    }
    // clang-format off
    const TabrixFields plain { .words = { 1, 2, 3, 0, 5, 6, 7, 8, 9 }, .blockSeeds = { 0, 60, 120, 180 },
        .blockStep = 1, .extWords = { 10, 11, 12, 13 }, .tailWords = { 2, 1, 2 } };
    // clang-format on
    auto with = [&](std::uint32_t head, std::uint32_t w4, std::string lead, StoredList a, StoredList b) {
        TabrixFields file = plain;
        std::tie(file.headWord, file.words[3], file.lead, file.listA, file.listB) = std::tie(head, w4, lead, a, b);
        return file;
    };
    TabrixFields odd = with(0, 5, "", {}, { "" });
    odd.trailing = { 't', 'r', 'a', 'i', 'l', 'i', 'n', 'g' };
    const std::pair<const char*, Bytes> seeds[] = {
        { "v10-empty", OldLayout(with(3, 0, "", {}, {})) },
        { "v10-lists", OldLayout(with(0xFFFEFFFF, 5, "lead", { "a", std::string("b\0c", 3) }, { "\x83\x74" })) },
        { "v11-w4-6", NewLayout(with(1, 6, "x", { "one" }, {}), version11) },
        { "v12-full",
            NewLayout(with(0xFFFF, 7, "\x90\xac\x8c\xf7", { "p", "q" }, { std::string(255, 'r') }), version12) },
        { "v205-odd", NewLayout(odd, 0x0205) },
        { "v12-negative", NewLayout(with(2, 0, "", StoredList::Negative(-1), StoredList::Negative(-5)), version12) },
    };
    std::filesystem::create_directories(argv[1]);
    for (const auto& [name, bytes] : seeds) {
        if (!WriteBytes(std::string(argv[1]) + "/" + name, bytes))
            return 1;
    }
    return 0;
}
