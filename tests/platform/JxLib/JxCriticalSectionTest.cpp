#include <gtest/gtest.h>

#include <thread>

#include "JxLib/JxCriticalSection.h"
#include "JxLib/JxCriticalSectionLock.h"

TEST(JxCriticalSection, ExcludesOtherThreadsAndIsRecursive) {
    JxCriticalSection section;
    {
        JxCriticalSectionLock outer(&section);
        JxCriticalSectionLock inner(&section);  // same thread enters again
        bool otherGotIt = true;
        std::thread([&] { otherGotIt = section.enter(false); }).join();
        EXPECT_FALSE(otherGotIt);
    }
    bool otherGotIt = false;
    std::thread([&] {
        otherGotIt = section.enter(false);
        if (otherGotIt) section.leave();
    }).join();
    EXPECT_TRUE(otherGotIt);
}

TEST(JxCriticalSection, GuardsACounterAcrossThreads) {
    JxCriticalSection section;
    long counter = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                JxCriticalSectionLock lock(&section);
                ++counter;
            }
        });
    }
    for (auto& w : workers) w.join();
    EXPECT_EQ(counter, 40000);
}

TEST(JxCriticalSectionLock, NullSectionIsIgnored) { JxCriticalSectionLock lock(nullptr); }
