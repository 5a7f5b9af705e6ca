#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <limits>
#include <string>

#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {
bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

TEST(PlatformRoot, ResolvesUnderTheTestRoot) {
    jxtest::TestRoot root;
    EXPECT_EQ(wz::PlatformRoot(), root.path());
    EXPECT_EQ(wz::PlatformPath("settings/a.ini"), root.path() + "/settings/a.ini");
    EXPECT_EQ(wz::PlatformPath("/logs"), root.path() + "/logs");
    std::string file = wz::PlatformFilePath("deep/er/file.txt");
    EXPECT_EQ(wz::MakeDirectoryTree(root.path() + "/deep/er"), 0);
    EXPECT_EQ(file, root.path() + "/deep/er/file.txt");
}

TEST(PlatformRoot, DirectoriesAreMadeThroughTheSeam) {
    jxtest::TestRoot root;
    root.WriteFile("plain", "x");
    errno = 0;
    EXPECT_NE(wz::MakeDirectoryTree(root.path() + "/plain/sub"), 0);
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_NE(wz::MakeDirectoryTree(root.path() + "/plain"), 0);

    jxtest::FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    faulty.FailCall(jxtest::FsCall::kMkdir, 2, EACCES);
    EXPECT_NE(wz::MakeDirectoryTree(root.path() + "/a/b/c"), 0);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(faulty.Fired(jxtest::FsCall::kMkdir), 1);
    EXPECT_TRUE(IsDirectory(root.path() + "/a"));
    EXPECT_FALSE(IsDirectory(root.path() + "/a/b"));
    // The parents of a platform file are made the same way.
    faulty.FailCall(jxtest::FsCall::kMkdir, 1, EACCES);
    (void)wz::PlatformFilePath("logs/deep/x.log");
    EXPECT_EQ(faulty.Fired(jxtest::FsCall::kMkdir), 2);
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

TEST(WzClock, WaitsOnAnotherProcessLastAtLeastTheFloorInRealTime) {
    wz::SetTimeScale(0.001);
    wz::SetHelperWaitFloorMs(0);
    EXPECT_EQ(wz::HelperWaitMs(120000), 120000) << "without a floor: scaled like every wait";
    EXPECT_EQ(wz::HelperWaitSeconds(120), 120);

    wz::SetHelperWaitFloorMs(60000);
    EXPECT_EQ(wz::RealMs(wz::HelperWaitMs(120000)), 60000);
    EXPECT_EQ(wz::HelperWaitSeconds(120), 60000);
    EXPECT_EQ(wz::HelperWaitMs(int64_t{1} << 40), int64_t{1} << 40) << "a longer budget stays";
    EXPECT_EQ(wz::HelperWaitSeconds(-1), -1) << "the network layer's default is its own";
    // On a clock that runs very fast the floor is more seconds than an int holds.
    wz::SetTimeScale(1e-8);
    EXPECT_EQ(wz::HelperWaitSeconds(1), std::numeric_limits<int>::max());

    wz::SetTimeScale(0.001);
    wz::SetHelperWaitFloorMs(0);
}

TEST(WzClock, AnAdvanceMovesEveryLaterReadingOnAndNeverBack) {
    const int64_t before = wz::ClockMs();
    wz::AdvanceClock(3600 * 1000);
    EXPECT_GE(wz::ClockMs() - before, 3600 * 1000);
    const int64_t after = wz::ClockMs();
    wz::AdvanceClock(-3600 * 1000);
    EXPECT_GE(wz::ClockMs(), after);
}
