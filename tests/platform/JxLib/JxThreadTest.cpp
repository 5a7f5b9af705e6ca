// Timed waits for a thread: the wait ends when the thread does, and a thread
// that outlives the wait is still there to wait for again.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "JxLib/JxThread.h"
#include "tests/support/TestRoot.h"

namespace {

void* WaitForRelease(void* flag) {
    auto* release = static_cast<std::atomic<bool>*>(flag);
    while (!release->load()) std::this_thread::yield();
    return nullptr;
}

TEST(JxThreadTest, TimedWaitReturnsFalseWhileRunningAndTrueOnceEnded) {
    jxtest::TestRoot root;  // scaled platform time
    std::atomic<bool> release{false};
    JxThread thread;
    ASSERT_TRUE(thread.Start(&WaitForRelease, &release).IsSuccess());
    EXPECT_FALSE(thread.JoinFor(5));
    EXPECT_TRUE(thread.IsRunning());
    release = true;
    EXPECT_TRUE(thread.JoinFor(600000));  // ends long before the bound
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_TRUE(thread.JoinFor(1));  // nothing left to wait for
    // The object can run another thread afterwards.
    ASSERT_TRUE(thread.Start(&WaitForRelease, &release).IsSuccess());
    EXPECT_TRUE(thread.JoinFor(UINT64_MAX));
}

}  // namespace
