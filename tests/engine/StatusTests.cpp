#include "engine/ConvStatus.h"

#include <gtest/gtest.h>

TEST(IsErrorStatus, ExactlyThreeToEleven)
{
    for (int status = -3; status <= 14; ++status)
        EXPECT_EQ(IsErrorStatus(status), status >= 3 && status <= 11) << status;
    EXPECT_FALSE(IsErrorStatus(INT32_MIN));
    EXPECT_FALSE(IsErrorStatus(INT32_MAX));
}
