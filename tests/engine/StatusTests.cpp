#include "engine/ConvStatus.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

// Signed: a value that is 3..11 in its low bits or as unsigned is still no error.
TEST(IsErrorStatus, ExactlyThreeToEleven)
{
    for (int status = -3; status <= 14; ++status)
        EXPECT_EQ(IsErrorStatus(status), status >= 3 && status <= 11) << status;
    for (int status : { INT32_MIN, INT32_MAX, INT32_MIN + 3 })
        EXPECT_FALSE(IsErrorStatus(status)) << status;
}

// The texts in code page 932, byte for byte.
TEST(GetStatusMessage, EveryTextInCodePage932)
{
    // clang-format off
    const char* const expected[] = {
        "\x90\xAC\x8C\xF7", // 成功
        "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xAA\x8E\x77\x92\xE8\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1", // ファイル名が指定されていません
        "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x91\xB6\x8D\xDD\x82\xB5\x82\xDC\x82\xB9\x82\xF1", // ファイルが存在しません
        "\x83\x41\x83\x4E\x83\x5A\x83\x58\x82\xAA\x8B\x91\x94\xDB\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD", // アクセスが拒否されました
        "\x83\x6E\x81\x5B\x83\x68\x83\x45\x83\x46\x83\x41\x82\xCC\x83\x47\x83\x89\x81\x5B\x82\xC5\x82\xB7", // ハードウェアのエラーです
        "\x83\x66\x83\x42\x83\x58\x83\x4E\x82\xAA\x88\xEA\x94\x74\x82\xC5\x82\xB7", // ディスクが一杯です
        "\x82\xB1\x82\xEA\x88\xC8\x8F\xE3\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1", // これ以上ファイルをオープンできません
        "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1", // ファイルがオープンできません
        "\x83\x81\x83\x82\x83\x8A\x82\xAA\x8A\x6D\x95\xDB\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1", // メモリが確保できません
        "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x83\x74\x83\x48\x81\x5B\x83\x7D\x83\x62\x83\x67\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7", // ファイルのフォーマットが不正です
    };
    // clang-format on
    for (int status = 2; status <= 11; ++status) {
        std::string message = "previous text";
        GetStatusMessage(status, message);
        EXPECT_EQ(message, expected[status - 2]) << status;
    }
}

TEST(GetStatusMessage, EmptyOutsideTwoToElevenEvenWithPreviousText)
{
    for (int status : { INT32_MIN, -1, 0, 1, 12, 13, 100, INT32_MAX }) {
        std::string message = "previous text";
        GetStatusMessage(status, message);
        EXPECT_EQ(message, "") << status;
    }
}

TEST(StatusFromCause, EveryCauseAndValuesOutsideTheTable)
{
    const std::pair<int, int> cases[] = { { 0, 9 }, { 1, 9 }, { 2, 4 }, { 3, 4 }, { 4, 8 }, { 5, 5 }, { 6, 9 },
        { 7, 9 }, { 8, 7 }, { 9, 9 }, { 10, 6 }, { 11, 9 }, { 12, 9 }, { 13, 7 }, { 14, 9 }, { 15, 9 }, { -1, 9 },
        { INT_MIN, 9 }, { INT_MAX, 9 } };
    for (const auto& [cause, status] : cases)
        EXPECT_EQ(int(StatusFromCause(static_cast<FileErrorCause>(cause))), status) << cause;
}
