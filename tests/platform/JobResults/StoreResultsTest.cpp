// Job-results file: appended lines, error-flag convention, closing.
#include <gtest/gtest.h>

#include "JobResults/StoreResults.h"
#include "tests/support/TestRoot.h"

namespace {

class Results : public jxtest::RootedTest {};

TEST_F(Results, LinesAreAppendedUntilClosed) {
    StoreResults results(root.path() + "/jr/7");
    EXPECT_EQ(results.getDirectory(), root.path() + "/jr/7");
    EXPECT_FALSE(results.closeFile()) << "nothing open yet";
    EXPECT_FALSE(results.putLine("db1", true)) << "false means written";
    EXPECT_FALSE(results.putLine("part", false));
    EXPECT_FALSE(results.putLine("2", true));
    EXPECT_TRUE(results.closeFile());
    EXPECT_FALSE(results.putLine("db3", true)) << "reopened for appending";
    EXPECT_TRUE(results.closeFile());
    EXPECT_EQ(root.ReadFile("jr/7/backup.out"), "db1\npart2\ndb3\n");
}

TEST_F(Results, UnwritableDirectoryIsReported) {
    root.WriteFile("blocked", "a file, not a directory");
    StoreResults results(root.path() + "/blocked/sub");
    EXPECT_TRUE(results.putLine("db1", true));
}

TEST_F(Results, RestoreStatusIsOneLinePerObject) {
    StoreResults results(root.path() + "/jr/8");
    EXPECT_TRUE(results.setRestoreStatusOnObject("sales", 3, true));
    EXPECT_TRUE(results.setRestoreStatusOnObject("hr", 5, true));
    EXPECT_TRUE(results.setRestoreStatusOnObject("sales", 5, true));
    EXPECT_TRUE(results.setRestoreStatusOnObject("odd\nname\\x", 4, false));
    EXPECT_EQ(root.ReadFile("jr/8/RestoreStatus.txt"), "5\thr\n5\tsales\n4\todd\\nname\\\\x\n");
    EXPECT_TRUE(results.setRestoreStatusOnObject("odd\nname\\x", 3, false));
    EXPECT_EQ(root.ReadFile("jr/8/RestoreStatus.txt").size(), 43u) << "added, not replaced";
}

}  // namespace
