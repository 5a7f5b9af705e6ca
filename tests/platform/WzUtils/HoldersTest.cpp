#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include "WzUtils/CAutoMemory.h"
#include "WzUtils/auto_find_handle.h"
#include "WzUtils/auto_handle.h"
#include "WzUtils/auto_ptr_array.h"

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

TEST(auto_find_handle, EndsTheSearchItHolds) {
    auto* search = new FXDirectorySearch;
    search->dir = ::opendir("/");
    ASSERT_NE(search->dir, nullptr);
    int fd = ::dirfd(search->dir);
    {
        auto_find_handle h(search);
        h.reset(search);  // same search: kept
        EXPECT_TRUE(IsOpen(fd));
    }
    EXPECT_FALSE(IsOpen(fd));  // ASan reports the search if it was not freed
    auto_find_handle none;
    none.reset(nullptr);
    EXPECT_EQ(none.get(), nullptr);
}

TEST(auto_ptr_array, FreesOnlyAReplacedArray) {
    auto_ptr_array<char> a(new char[4]);
    char* p = a.get();
    a.reset(p);  // same array: not freed (ASan would flag the later use)
    p[0] = 'x';
    EXPECT_EQ(a[0], 'x');
    a.reset(new char[2]);
    a.reset();
    EXPECT_EQ(a.get(), nullptr);
}

TEST(CAutoMemory, PtrIsNullWhileNothingIsUsed) {
    CAutoMemory<char> m;
    EXPECT_EQ(m.Ptr(), nullptr);
    ASSERT_TRUE(m.Allocate(16));
    EXPECT_EQ(m.Size(), 16u);
    EXPECT_EQ(m.Ptr(), nullptr);
    EXPECT_NE(m.Buffer(), nullptr);
    EXPECT_TRUE(m.SetLength(5));
    EXPECT_EQ(m.Ptr(), m.Buffer());
    EXPECT_FALSE(m.SetLength(17));
    EXPECT_EQ(m.Length(), 5u);
    m.Release();
    EXPECT_EQ(m.Size(), 0u);
    EXPECT_EQ(m.Length(), 0u);
    EXPECT_EQ(m.Buffer(), nullptr);
}

TEST(CAutoMemory, ALentBufferIsNeverFreed) {
    char lent[8] = "abc";
    {
        CAutoMemory<char> m;
        m.Attach(lent, sizeof lent, 3);
        EXPECT_FALSE(m.IsOwned());
        EXPECT_EQ(m.Ptr(), lent);
        m.Release();  // forgets the buffer; freeing it would be a stack free
        EXPECT_EQ(m.Ptr(), nullptr);
        m.Attach(lent, sizeof lent, 100);  // length is capped at the size
        EXPECT_EQ(m.Length(), sizeof lent);
    }
    EXPECT_STREQ(lent, "abc");
}
