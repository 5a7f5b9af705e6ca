// The block queue between a statement and a pipeline stream.
#include <gtest/gtest.h>

#include <thread>

#include "JxSQLVDIBase/VdiDevice.h"
#include "tests/support/TestRoot.h"

namespace {

class VdiDeviceTest : public jxtest::RootedTest {};

TEST_F(VdiDeviceTest, BlocksGoThroughInOrderAndTheBuffersBoundTheQueue) {
    VdiDevice device(2, 128);
    VdiBlock a, b, c;
    ASSERT_EQ(device.Acquire(a, 1000), VdiWait::Ok);
    ASSERT_EQ(device.Acquire(b, 1000), VdiWait::Ok);
    EXPECT_EQ(device.Acquire(c, 10), VdiWait::TimedOut);  // both buffers are out
    a.size = 1;
    a.data[0] = 'a';
    b.size = 1;
    b.data[0] = 'b';
    ASSERT_EQ(device.Put(std::move(a)), VdiWait::Ok);
    ASSERT_EQ(device.Put(std::move(b)), VdiWait::Ok);
    device.Close();
    VdiBlock got;
    ASSERT_EQ(device.Get(got, 1000), VdiWait::Ok);
    EXPECT_EQ(got.data[0], 'a');
    device.Release(std::move(got));
    ASSERT_EQ(device.Get(got, 1000), VdiWait::Ok);
    EXPECT_EQ(got.data[0], 'b');
    EXPECT_EQ(device.WaitDrained(10), VdiWait::TimedOut);
    device.Release(std::move(got));
    EXPECT_EQ(device.WaitDrained(10), VdiWait::Ok);
    EXPECT_EQ(device.Get(got, 1000), VdiWait::End);
}

TEST_F(VdiDeviceTest, AbortWakesAWaiterAndTheFirstReasonStands) {
    VdiDevice device(1, 64);
    VdiWait seen = VdiWait::Ok;
    std::thread waiter([&] {
        VdiBlock block;
        seen = device.Get(block, 600000);
    });
    device.Abort("media offline");
    device.Abort("later reason");
    waiter.join();
    EXPECT_EQ(seen, VdiWait::Aborted);
    EXPECT_EQ(device.AbortReason(), "media offline");
    VdiBlock block;
    EXPECT_EQ(device.Acquire(block, 10), VdiWait::Aborted);
}

}  // namespace
