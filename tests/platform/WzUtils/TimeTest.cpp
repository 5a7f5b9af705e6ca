#include <gtest/gtest.h>

#include <limits>

#include "WzUtils/CTimeInterval.h"

TEST(CTimeInterval, SecondsConvertThroughTicks) {
    EXPECT_EQ(CTimeInterval::FromSeconds(3).AsMilliseconds(), 3000);
    EXPECT_EQ(CTimeInterval::FromSeconds(3).GetTicks(), 30000000);
    EXPECT_DOUBLE_EQ(CTimeInterval(15000000).AsSeconds(), 1.5);
    EXPECT_EQ(CTimeInterval(19999).AsMilliseconds(), 1);  // truncated
    EXPECT_EQ(CTimeInterval::FromSeconds(-2).AsMilliseconds(), -2000);
}

TEST(CTimeInterval, HugeSpansSaturateInsteadOfWrapping) {
    EXPECT_EQ(CTimeInterval::FromSeconds(std::numeric_limits<int64_t>::max()).GetTicks(),
              std::numeric_limits<int64_t>::max());
    EXPECT_LT(CTimeInterval::FromSeconds(std::numeric_limits<int64_t>::min()).GetTicks(), 0);
}
