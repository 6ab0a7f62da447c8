#include "CliFixture.h"

#include "support/InterruptedSave.h"

// recover says, per file, what it did: a journal played back, none found, one that fails its
// checks left alone (status 11), or why the file could not be looked at.
TEST_F(CliTest, RecoverSaysWhatItDidForEachFile)
{
    UseStateFolder(scratch.MakeFolder("state"));
    const Bytes before = Version10Sample(3);
    const std::string torn = PathOf("torn.tbx"), plain = Write("plain.tbx", before), missing = PathOf("missing.tbx");
    const std::string journal = LeaveInterruptedSave(torn, before, Bytes(5, 'h'));
    EXPECT_EQ(Run({ "recover", torn, plain, missing, torn }), 4);
    EXPECT_EQ(ReadBytes(torn), before);
    const std::string none = ": 中断された保存はありません\n";
    EXPECT_EQ(console.out, torn + ": 中断された保存の前の内容に戻しました\n" + plain + none + torn + none);
    EXPECT_EQ(console.err, Said(missing, notFoundText));

    WriteBytes(journal, Bytes(80, 'j'));
    console.language = Language::English;
    EXPECT_EQ(Run({ "recover", torn }), 11);
    EXPECT_EQ(console.err.substr(console.err.find('\n') + 1),
        Said(torn, "a journal of it fails its checks and was left alone (" + journal + ")"));
    EXPECT_EQ(ReadBytes(journal), Bytes(80, 'j'));
    // Once a person has looked, --discard removes it.
    console.out.clear();
    EXPECT_EQ(Run({ "recover", "--discard", torn }), 0);
    EXPECT_EQ(console.out, torn + ": removed its journals that fail their checks\n");
    EXPECT_FALSE(Exists(journal));
}
