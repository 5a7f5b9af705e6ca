#include <gtest/gtest.h>

#include <limits>

#include "WzUtils/CTimeInterval.h"
#include "WzUtils/CTimeStamp.h"

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

TEST(CTimeStamp, DifferenceIsTheIntervalBetween) {
    CTimeStamp earlier(1000), later(1000 + 50000000);
    EXPECT_EQ((later - earlier).AsMilliseconds(), 5000);
    EXPECT_EQ((earlier - later).AsMilliseconds(), -5000);
    CTimeStamp a = CTimeStamp::Now();
    // 1601 to 2020 is more than 13e16 ticks.
    EXPECT_GT(a.GetTicks(), 130000000000000000ULL);
    EXPECT_GE((CTimeStamp::Now() - a).GetTicks(), 0);
}
