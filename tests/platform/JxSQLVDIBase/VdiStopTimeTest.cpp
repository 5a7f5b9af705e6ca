// Stop times of point-in-time restores, in the forms the restore job writes.
#include <gtest/gtest.h>

#include "JxSQLVDIBase/VdiStopTime.h"

namespace {

constexpr int64_t kNoon = 1614945600000;  // 2021-03-05 12:00:00 UTC

TEST(VdiStopTimeTest, ReadsTheJobsDateLayoutsAndZones) {
    int64_t ms = 0;
    ASSERT_TRUE(VdiParseStopTime("2021-03-05 12:00:00", 0, ms));
    EXPECT_EQ(ms, kNoon);
    ASSERT_TRUE(VdiParseStopTime("'03-05-2021 12:00:00'", 1, ms));
    EXPECT_EQ(ms, kNoon);
    ASSERT_TRUE(VdiParseStopTime("05-03-2021 12:00:00", 2, ms));
    EXPECT_EQ(ms, kNoon);
    ASSERT_TRUE(VdiParseStopTime("03/05/2021 12:00:00.250", 1, ms));
    EXPECT_EQ(ms, kNoon + 250);
    ASSERT_TRUE(VdiParseStopTime("2021-03-05 13:30:00+01:30", 0, ms));
    EXPECT_EQ(ms, kNoon);
    ASSERT_TRUE(VdiParseStopTime("2021-03-05T12:00:00Z", 0, ms));
    EXPECT_EQ(ms, kNoon);
}

TEST(VdiStopTimeTest, RefusesWhatIsNoDateAndTime) {
    int64_t ms = 0;
    for (const char* bad : {"", "yesterday", "2021-13-05 12:00:00", "2021-03-05", "2021-03-05 25:00:00",
                            "2021-03-05 12:00:00 tomorrow", "2021-03-05 12:00:00.x", "1969-12-31 23:59:59",
                            "2021-03-05 12:00:00+99:00"}) {
        EXPECT_FALSE(VdiParseStopTime(bad, 1, ms)) << bad;
    }
}

}  // namespace
