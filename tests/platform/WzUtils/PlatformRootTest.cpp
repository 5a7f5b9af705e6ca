#include <gtest/gtest.h>

#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"
#include "tests/support/TestRoot.h"

TEST(PlatformRoot, ResolvesUnderTheTestRoot) {
    jxtest::TestRoot root;
    EXPECT_EQ(wz::PlatformRoot(), root.path());
    EXPECT_EQ(wz::PlatformPath("settings/a.ini"), root.path() + "/settings/a.ini");
    EXPECT_EQ(wz::PlatformPath("/logs"), root.path() + "/logs");
    std::string file = wz::PlatformFilePath("deep/er/file.txt");
    EXPECT_TRUE(wz::MakeDirectories(root.path() + "/deep/er"));
    EXPECT_EQ(file, root.path() + "/deep/er/file.txt");
}

TEST(PlatformRoot, MakeDirectoriesRefusesAPathThroughAFile) {
    jxtest::TestRoot root;
    root.WriteFile("plain", "x");
    EXPECT_FALSE(wz::MakeDirectories(root.path() + "/plain/sub"));
    EXPECT_FALSE(wz::MakeDirectories(root.path() + "/plain"));
}

TEST(WzClock, ScaledSleepAdvancesPlatformTime) {
    wz::SetTimeScale(0.001);
    int64_t before = wz::ClockMs();
    WZSLEEP_InTeRnAl(120000);  // two platform minutes, ~120 ms real
    int64_t elapsed = wz::ClockMs() - before;
    EXPECT_GE(elapsed, 120000);
    EXPECT_LT(elapsed, 120000 * 20);
    EXPECT_EQ(wz::RealMs(0), 0);
    EXPECT_EQ(wz::RealMs(1), 1);
}
