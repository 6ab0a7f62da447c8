// The classification of system error codes into the causes of file failures.
#include "platform/file/FileErrorCause.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <map>
#include <sstream>
#include <string>

namespace {

// The Win32 codes of each cause, as the table states them: "cause: code, code, first-last".
const char* const win32Table[] = {
    "2: 2, 6, 18, 107",
    "3: 3, 15, 17, 34, 52, 53, 55, 67, 70, 85, 111, 123-125, 144, 154, 161, 206, 208, 267",
    "4: 4, 36, 68, 113",
    "5: 5, 12, 19, 29, 54, 58, 64, 65, 71, 80, 82, 86, 170, 183, 999",
    "6: 11, 26, 60, 66, 114, 182, 191, 193",
    "7: 16, 145",
    "8: 62",
    "9: 24, 25, 27, 30, 131, 132",
    "10: 20-23, 57, 59, 88, 117, 995-997",
    "11: 32",
    "12: 33, 108, 167",
    "13: 39, 112",
    "14: 38",
};

std::map<long, int> ListedWin32Codes()
{
    std::map<long, int> codes;
    for (const char* line : win32Table) {
        std::istringstream in(line);
        int cause = 0;
        char separator = 0;
        in >> cause >> separator;
        long first = 0;
        while (in >> first) {
            long last = first;
            if (in.peek() == '-') {
                in.get();
                in >> last;
            }
            for (long code = first; code <= last; ++code) {
                EXPECT_TRUE(codes.emplace(code, cause).second) << "code listed twice: " << code;
            }
            in >> separator; // the comma, or nothing at the end
        }
    }
    return codes;
}

}

TEST(CauseFromWin32Error, EveryListedCodeAndEveryOtherIsGeneric)
{
    const auto listed = ListedWin32Codes();
    ASSERT_EQ(listed.size(), 78u);
    EXPECT_EQ(CauseFromWin32Error(0), FileErrorCause::None);
    for (long code = 1; code <= 20000; ++code) {
        const auto found = listed.find(code);
        const int expected = found == listed.end() ? 1 : found->second;
        EXPECT_EQ(static_cast<int>(CauseFromWin32Error(code)), expected) << "Win32 error " << code;
    }
    for (long code : { -1L, -32L, long(INT_MIN), long(INT_MAX), 0x70020L, 65536L + 32 })
        EXPECT_EQ(CauseFromWin32Error(code), FileErrorCause::Generic) << code;
}

#ifndef _WIN32
TEST(CauseFromErrno, TheNearestCauseOfEachErrno)
{
    const std::map<int, int> listed = {
        // clang-format off
        { ENOENT, 2 }, { ENOTDIR, 3 }, { ENAMETOOLONG, 3 }, { ELOOP, 3 }, { EMFILE, 4 }, { ENFILE, 4 },
        { EACCES, 5 }, { EPERM, 5 }, { EROFS, 5 }, { EISDIR, 5 }, { EBADF, 6 }, { ESPIPE, 9 }, { EIO, 10 },
        { ETXTBSY, 11 }, { EBUSY, 11 }, { ENOSPC, 13 }, { EDQUOT, 13 },
        // clang-format on
    };
    EXPECT_EQ(CauseFromErrno(0), FileErrorCause::None);
    for (int error = 1; error <= 200; ++error) {
        const auto found = listed.find(error);
        const int expected = found == listed.end() ? 1 : found->second;
        EXPECT_EQ(static_cast<int>(CauseFromErrno(error)), expected) << "errno " << error;
    }
    for (int error : { -1, INT_MIN, INT_MAX, 4096 })
        EXPECT_EQ(CauseFromErrno(error), FileErrorCause::Generic) << error;
}
#endif
