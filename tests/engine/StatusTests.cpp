#include "engine/ConvStatus.h"

#include <gtest/gtest.h>

TEST(IsErrorStatus, ExactlyThreeToEleven)
{
    for (int status = -3; status <= 14; ++status)
        EXPECT_EQ(IsErrorStatus(status), status >= 3 && status <= 11) << status;
    EXPECT_FALSE(IsErrorStatus(INT32_MIN));
    EXPECT_FALSE(IsErrorStatus(INT32_MAX));
}

#include <climits>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

// Code page 932 to UTF-8, through the system's own converter.
std::string Utf8FromCp932(const std::string& text)
{
    if (text.empty())
        return {};
#ifdef _WIN32
    int wideLength = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    if (wideLength <= 0)
        return "<not code page 932>";
    std::wstring wide(std::size_t(wideLength), L'\0');
    MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), wide.data(), wideLength);
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string result(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, result.data(), length, nullptr, nullptr);
    return result;
#else
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == iconv_t(-1))
        return "<no CP932 converter>";
    std::string input = text;
    std::string output(text.size() * 4, '\0');
    char* in = input.data();
    char* out = output.data();
    std::size_t inLeft = input.size();
    std::size_t outLeft = output.size();
    const std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == std::size_t(-1) || inLeft != 0)
        return "<not code page 932>";
    output.resize(output.size() - outLeft);
    return output;
#endif
}

}

TEST(IsErrorStatus, EdgesOfTheRange)
{
    EXPECT_FALSE(IsErrorStatus(2));
    EXPECT_TRUE(IsErrorStatus(3));
    EXPECT_TRUE(IsErrorStatus(11));
    EXPECT_FALSE(IsErrorStatus(12));
    EXPECT_FALSE(IsErrorStatus(0));
    EXPECT_FALSE(IsErrorStatus(1));
    EXPECT_FALSE(IsErrorStatus(-1));
    // Signed: a value that is 3..11 in its low bits or as unsigned is still no error.
    EXPECT_FALSE(IsErrorStatus(INT32_MIN + 3));
}

TEST(GetStatusMessage, EveryTextDecodedFromCodePage932)
{
    const char* const expected[] = {
        "成功",
        "ファイル名が指定されていません",
        "ファイルが存在しません",
        "アクセスが拒否されました",
        "ハードウェアのエラーです",
        "ディスクが一杯です",
        "これ以上ファイルをオープンできません",
        "ファイルがオープンできません",
        "メモリが確保できません",
        "ファイルのフォーマットが不正です",
    };
    for (int status = 2; status <= 11; ++status) {
        std::string message = "previous text";
        GetStatusMessage(status, message);
        EXPECT_EQ(Utf8FromCp932(message), expected[status - 2]) << status;
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
    struct Case {
        int cause;
        int status;
    };
    const Case cases[] = { { 0, 9 }, { 1, 9 }, { 2, 4 }, { 3, 4 }, { 4, 8 }, { 5, 5 }, { 6, 9 }, { 7, 9 }, { 8, 7 },
        { 9, 9 }, { 10, 6 }, { 11, 9 }, { 12, 9 }, { 13, 7 }, { 14, 9 }, { 15, 9 }, { -1, 9 }, { INT_MIN, 9 },
        { INT_MAX, 9 } };
    for (const auto& c : cases)
        EXPECT_EQ(int(StatusFromCause(static_cast<FileErrorCause>(c.cause))), c.status) << c.cause;
}
