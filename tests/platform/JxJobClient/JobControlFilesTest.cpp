// The job manager's stop request and restart string as files.
#include <gtest/gtest.h>

#include <cerrno>

#include "JxJobClient/JXJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JobManagerFiles.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {

class JobControl : public jxtest::RootedTest {};

TEST_F(JobControl, StopRequestIsPerJob) {
    JXJobCtrlClient job1(1);
    JXJobCtrlClient job2(2);
    EXPECT_FALSE(job1.checkQuitFlag());
    ASSERT_TRUE(JXJobCtrlClient::requestStop(1));
    EXPECT_TRUE(job1.checkQuitFlag());
    EXPECT_FALSE(job2.checkQuitFlag());
    EXPECT_TRUE(JXJobCtrlClient::withdrawStop(1));
    EXPECT_FALSE(job1.checkQuitFlag());
}

TEST_F(JobControl, RestartStringIsOneLine) {
    JXJobClient job(5);
    EXPECT_EQ(job.getRestartString(0), "");
    ASSERT_TRUE(JXJobClient::setRestartString(5, "-o 4096"));
    EXPECT_EQ(job.getRestartString(0), "-o 4096");
    EXPECT_FALSE(JXJobClient::setRestartString(5, "a\nb"));
    EXPECT_EQ(job.getRestartString(0), "-o 4096");
}

// A restarted attempt resumes from the string the last save left: one that
// fails, on a full disk or by a crash in the middle, leaves the previous
// string whole, never an empty or cut one.
TEST_F(JobControl, AFailedSaveLeavesThePreviousRestartStringWhole) {
    JXJobClient job(5);
    ASSERT_TRUE(JXJobClient::setRestartString(5, "-o 4096|81920 -o 4096|65536"));
    {
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.FailWritesAfter(4, ENOSPC);
        EXPECT_FALSE(JXJobClient::setRestartString(5, "-o 8192|163840 -o 8192|131072"));
        EXPECT_GT(faulty.FiredTotal(), 0);
    }
    EXPECT_EQ(job.getRestartString(0), "-o 4096|81920 -o 4096|65536");
    {
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.RecordForCrash(root.path());
        faulty.CrashAt(jxtest::FsCall::kRename, 1, "restart*");
        EXPECT_FALSE(JXJobClient::setRestartString(5, "-o 8192|163840 -o 8192|131072"));
        EXPECT_TRUE(faulty.Crashed());
        faulty.Heal();
    }
    EXPECT_EQ(job.getRestartString(0), "-o 4096|81920 -o 4096|65536");
    ASSERT_TRUE(JXJobClient::setRestartString(5, "-o 8192|163840 -o 8192|131072"));
    EXPECT_EQ(job.getRestartString(0), "-o 8192|163840 -o 8192|131072");
}

}  // namespace
