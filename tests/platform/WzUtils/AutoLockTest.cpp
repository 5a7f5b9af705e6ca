#include <gtest/gtest.h>

#include "WzUtils/auto_lock.h"

namespace {

// Counts the calls an auto_lock makes; `grant` decides whether locks succeed.
class CountingResource : public FXLockableResource {
public:
    bool TryLock() override { return ++tries, grant; }
    bool TryLock(CTimeInterval t) override { return lastTimeout = t.GetTicks(), ++tries, grant; }
    bool Lock() override { return ++locks, grant; }
    void Unlock() override { ++unlocks; }
    bool grant = true;
    int tries = 0, locks = 0, unlocks = 0;
    int64_t lastTimeout = 0;
};

}  // namespace

TEST(auto_lock, WithoutLockingItNeverUnlocks) {
    CountingResource r;
    { auto_lock l(&r, false); }
    EXPECT_EQ(r.locks + r.tries + r.unlocks, 0);
}

TEST(auto_lock, LockNowLocksOnceAndUnlocksOnce) {
    CountingResource r;
    {
        auto_lock l(&r, true);
        EXPECT_TRUE(l.IsLocked());
        EXPECT_TRUE(l.Lock());  // already held: no second lock
        EXPECT_TRUE(l.TryLock(CTimeInterval::FromSeconds(1)));
        EXPECT_EQ(r.locks, 1);
        EXPECT_EQ(r.tries, 0);
    }
    EXPECT_EQ(r.unlocks, 1);
}

TEST(auto_lock, TryLockPassesTheTimeoutAndUnlocksOnlyWhatItGot) {
    CountingResource r;
    r.grant = false;
    {
        auto_lock l(&r, false);
        EXPECT_FALSE(l.TryLock(CTimeInterval::FromSeconds(7)));
        EXPECT_EQ(r.lastTimeout, CTimeInterval::FromSeconds(7).GetTicks());
        EXPECT_FALSE(l.Lock());  // a failed Lock is not counted as held
    }
    EXPECT_EQ(r.unlocks, 0);
    r.grant = true;
    {
        auto_lock l(&r, false);
        EXPECT_TRUE(l.TryLock(CTimeInterval::FromSeconds(1)));
        l.Unlock();
        l.Unlock();
    }
    EXPECT_EQ(r.unlocks, 1);
}

TEST(auto_lock, NullResourceDoesNothing) {
    auto_lock l(nullptr, true);
    EXPECT_FALSE(l.IsLocked());
    EXPECT_FALSE(l.TryLock(CTimeInterval::FromSeconds(1)));
}
