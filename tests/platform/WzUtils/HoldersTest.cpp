#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include "WzUtils/auto_handle.h"

namespace {
bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }
}  // namespace

TEST(auto_handle, ClosesWhatItHoldsOnResetAndDestruction) {
    int a = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    int b = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    {
        auto_handle h(a);
        EXPECT_TRUE(h.is_valid());
        h.reset(a);  // same descriptor: kept open
        EXPECT_TRUE(IsOpen(a));
        h.reset(b);
        EXPECT_FALSE(IsOpen(a));
        EXPECT_EQ(h.get(), b);
    }
    EXPECT_FALSE(IsOpen(b));
    auto_handle empty;
    EXPECT_FALSE(empty.is_valid());
    empty.reset(-5);  // invalid descriptors are never closed
    EXPECT_FALSE(empty.is_valid());
}
