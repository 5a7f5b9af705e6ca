// Pause files: looked for under the test's pause root, and a wait that ends.
#include <gtest/gtest.h>

#include <cstdlib>

#include "WzUtils/WzPauseFile.h"
#include "tests/support/TestRoot.h"

namespace {

class PauseFileTest : public jxtest::RootedTest {
protected:
    void SetUp() override { setenv(wz::kPauseRootEnv, root.path().c_str(), 1); }
    void TearDown() override { unsetenv(wz::kPauseRootEnv); }
};

TEST_F(PauseFileTest, PauseFilesLiveUnderThePauseRoot) {
    EXPECT_EQ(wz::PauseFilePath("/tmp/BeforeCommit.sleep"), root.path() + "/tmp/BeforeCommit.sleep");
    EXPECT_EQ(wz::PauseFilePath("AfterDetach.sleep"), root.path() + "/AfterDetach.sleep");
    unsetenv(wz::kPauseRootEnv);
    EXPECT_EQ(wz::PauseFilePath("/tmp/BeforeCommit.sleep"), "/tmp/BeforeCommit.sleep");
}

TEST_F(PauseFileTest, WaitEndsWithoutTheFileAndGivesUpAfterItsBound) {
    EXPECT_TRUE(wz::WaitWhilePauseFile("/tmp/BeforeCommit.sleep", 1000, 3));
    root.WriteFile("tmp/BeforeCommit.sleep", "");
    EXPECT_FALSE(wz::WaitWhilePauseFile("/tmp/BeforeCommit.sleep", 1000, 3));
}

}  // namespace
