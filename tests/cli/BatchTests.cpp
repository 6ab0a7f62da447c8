// Batches converted on every core read as if converted one by one.
#include "CliFixture.h"

#include <chrono>

namespace {
std::string NameOf(int i)
{
    return std::string("f").append(std::to_string(i)).append(".tbx");
}
}

// The slow bad file finishes after the missing one after it; its message still comes first,
// and the status is the first failure's in argument order.
TEST_F(CliTest, ABatchReportsInArgumentOrder)
{
    std::vector<std::string> args = { "convert", "--to", "1.1", "--out-dir", out };
    auto slowBad = NewLayoutSample(0x0102, 4, "", std::vector<std::string>(80000, std::string(100, 'x')), {});
    slowBad.resize(slowBad.size() - 5);
    args.push_back(Write("slow.tbx", slowBad));
    args.push_back(PathOf("missing.tbx"));
    for (int i = 0; i < 30; ++i) {
        const std::string name = NameOf(i);
        args.push_back(Write(name, NewLayoutSample(0x0102, 6, name, { name }, {})));
    }
    args.push_back(Write("bad.tbx", std::vector<std::uint8_t>(10, 0x41)));

    EXPECT_EQ(Run(args), 11);
    std::string expected = Said(PathOf("slow.tbx"), badFormatText) + Said(PathOf("missing.tbx"), notFoundText);
    for (int i = 0; i < 30; ++i) // a W4 of 6 has no place in 1.1
        expected += Said(PathOf(NameOf(i)), w4SixText);
    EXPECT_EQ(console.err, expected + Said(PathOf("bad.tbx"), badFormatText));
    for (int i = 0; i < 30; ++i) {
        const std::string name = NameOf(i);
        EXPECT_EQ(ReadBytes(PathOf("out/" + name)), NewLayoutSample(0x0101, 3, name, { name }, {})) << name;
    }
}

// 40,000 names took 43 s when each was compared with every earlier one.
TEST_F(CliTest, TheNameClashCheckLooksEachNameUpOnce)
{
    std::vector<std::string> args = { "convert", "--to", "1.1", "--out-dir", out };
    for (int i = 0; i < 40000; ++i)
        args.push_back(PathOf("d/n" + std::to_string(i) + ".tbx"));
    args.push_back(PathOf("e/n17.tbx"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(args), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(console.err,
        std::string("tbxconv: '") + PathOf("d/n17.tbx") + "' and '" + PathOf("e/n17.tbx")
            + "' would both be written to the same file in the output folder\n");
}
