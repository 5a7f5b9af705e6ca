// The job manager's stop request and restart string as files.
#include <gtest/gtest.h>

#include "JxJobClient/JXJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
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

}  // namespace
