// The small holders and values of the utility library: what they free and
// when, what their readers give while they hold nothing, and the directory
// entry's one read of its file information.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>

#include "WzUtils/CAutoMemory.h"
#include "WzUtils/CTimeStamp.h"
#include "WzUtils/CWzString.h"
#include "WzUtils/FXFile.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/auto_find_handle.h"
#include "WzUtils/auto_ptr_array.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace jxtest {
namespace {

// Counts the elements destroyed, so a test sees which arrays were freed.
struct Counted {
    static inline int destroyed = 0;
    ~Counted() { ++destroyed; }
};

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(CAutoMemory, PtrIsNullWhileNothingIsUsed) {
    CAutoMemory<char> memory;
    EXPECT_EQ(memory.Ptr(), nullptr);
    ASSERT_TRUE(memory.Allocate(16));
    EXPECT_EQ(memory.Size(), 16u);
    EXPECT_EQ(memory.Ptr(), nullptr);  // allocated, nothing used yet
    EXPECT_FALSE(memory.SetLength(17));
    ASSERT_TRUE(memory.SetLength(4));
    ASSERT_NE(memory.Ptr(), nullptr);
    std::memcpy(memory.Ptr(), "abcd", 4);
    memory.Release();
    EXPECT_EQ(memory.Ptr(), nullptr);
    EXPECT_EQ(memory.Size(), 0u);
    EXPECT_EQ(memory.Length(), 0u);
}

TEST(CAutoMemory, FreesOnlyWhatItOwns) {
    Counted::destroyed = 0;
    {
        CAutoMemory<Counted> owned;
        ASSERT_TRUE(owned.Allocate(3));
    }
    EXPECT_EQ(Counted::destroyed, 3);

    Counted::destroyed = 0;
    Counted* lent = new Counted[2];
    {
        CAutoMemory<Counted> borrower;
        borrower.Attach(lent, 2, 1);
        EXPECT_EQ(borrower.Ptr(), lent);
        borrower.Release();  // lets go of the lent buffer without freeing it
        EXPECT_EQ(borrower.Ptr(), nullptr);
        borrower.Attach(lent, 2, 5);  // the used length stays within the buffer
        EXPECT_EQ(borrower.Length(), 2u);
    }
    EXPECT_EQ(Counted::destroyed, 0);
    delete[] lent;
    EXPECT_EQ(Counted::destroyed, 2);
}

TEST(auto_ptr_array, FreesWhatItHoldsOnResetAndDestruction) {
    Counted::destroyed = 0;
    {
        auto_ptr_array<Counted> holder(new Counted[2]);
        holder.reset(holder.get());  // the same array: kept
        EXPECT_EQ(Counted::destroyed, 0);
        holder.reset(new Counted[3]);
        EXPECT_EQ(Counted::destroyed, 2);
    }
    EXPECT_EQ(Counted::destroyed, 5);
    auto_ptr_array<char> text(new char[4]);
    text.reset();
    EXPECT_EQ(text.get(), nullptr);
}

using auto_find_handleTest = RootedTest;

TEST_F(auto_find_handleTest, EndsTheSearchItHoldsOnResetAndDestruction) {
    DIR* first = ::opendir(root.path().c_str());
    DIR* second = ::opendir(root.path().c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const int firstFd = ::dirfd(first);
    const int secondFd = ::dirfd(second);
    {
        auto_find_handle search(first);
        search.reset(first);  // the same search: kept open
        EXPECT_TRUE(IsOpen(firstFd));
        search.reset(second);
        EXPECT_FALSE(IsOpen(firstFd));
        EXPECT_EQ(search.get(), second);
    }
    EXPECT_FALSE(IsOpen(secondFd));
    auto_find_handle none;
    none.reset(nullptr);  // nothing to end
    EXPECT_EQ(none.get(), nullptr);
}

TEST(CWzString, GivesAnEmptyLiteralWhileNothingIsHeld) {
    const CWzString none;
    ASSERT_NE(none.c_str(), nullptr);
    EXPECT_STREQ(none.c_str(), "");
    EXPECT_STREQ(static_cast<const char*>(none), "");
    EXPECT_STREQ(CWzString(static_cast<const char*>(nullptr)).c_str(), "");
    const CWzString held("a:b");
    EXPECT_STREQ(held.c_str(), "a:b");
    EXPECT_STREQ(static_cast<const char*>(held), "a:b");
}

TEST(CTimeStamp, DifferenceIsTheSignedIntervalBetweenThem) {
    EXPECT_EQ((CTimeStamp(30000000) - CTimeStamp(10000000)).AsMilliseconds(), 2000);
    EXPECT_EQ((CTimeStamp(5) - CTimeStamp(8)).GetTicks(), -3);
    // Stamps at the ends of the range wrap instead of overflowing.
    const int64_t low = std::numeric_limits<int64_t>::min();
    EXPECT_EQ((CTimeStamp(low) - CTimeStamp(1)).GetTicks(), std::numeric_limits<int64_t>::max());
}

class CFileDataTest : public RootedTest {
protected:
    FXFile::CFileData Entry(const std::string& folder, const std::string& name) {
        FXFile::CFileData entry;
        entry.folder = folder;
        entry.name = name;
        entry.fullPath = true;
        return entry;
    }
};

TEST_F(CFileDataTest, ReadsTheFileInformationOnceAndKeepsIt) {
    root.WriteFile("dir/a.bak", std::string(10, 'x'));
    FaultyFileSystem counting;
    wz::ScopedFileSystem use(counting);
    FXFile::CFileData entry = Entry(root.path() + "/dir", "a.bak");
    EXPECT_EQ(entry.getSize(), 10u);
    root.WriteFile("dir/a.bak", std::string(25, 'x'));
    EXPECT_EQ(entry.getSize(), 10u);  // the first read is kept
    EXPECT_FALSE(entry.isDirectory());
    EXPECT_EQ(entry.infoState, 1);
    EXPECT_EQ(counting.Calls(FsCall::kLstat), 1);

    // Without full-path mode the name alone is read, whatever the folder.
    FXFile::CFileData alone = Entry(root.path() + "/elsewhere", root.path() + "/dir/a.bak");
    alone.fullPath = false;
    EXPECT_EQ(alone.getSize(), 25u);

    // A folder is a directory by its own mode, without a search.
    FXFile::CFileData folder = Entry(root.path(), "dir");
    EXPECT_TRUE(folder.isDirectory());
}

TEST_F(CFileDataTest, AFailedReadKeepsItsErrnoAndIsNotRetried) {
    FXFile::CFileData missing = Entry(root.path(), "late.bak");
    EXPECT_FALSE(missing.getFileInfo());
    EXPECT_EQ(missing.infoState, -1);
    EXPECT_EQ(missing.lastError, ENOENT);
    root.WriteFile("late.bak", "12345");
    EXPECT_FALSE(missing.getFileInfo());
    EXPECT_EQ(missing.getSize(), 0u);
    EXPECT_FALSE(missing.isDirectory());

    FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    faulty.FailCall(FsCall::kLstat, 1, EACCES);
    FXFile::CFileData refused = Entry(root.path(), "late.bak");
    errno = 0;
    EXPECT_EQ(refused.getSize(), 0u);
    EXPECT_EQ(faulty.Fired(FsCall::kLstat), 1);
    EXPECT_EQ(refused.infoState, -1);
    EXPECT_EQ(refused.lastError, EACCES);
}

TEST_F(CFileDataTest, ASearchKeepsALinkToAFolderADirectoryAndNamesEveryEntry) {
    root.WriteFile("data/sub/f", "x");
    std::filesystem::create_directory_symlink(root.path() + "/data/sub", root.path() + "/data/link");
    std::vector<FXFile::CFileData> found;
    ASSERT_TRUE(FXFile::JXFindFiles(root.path() + "/data/*", found).IsSuccess());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].getFileNameAsString(), "link");
    EXPECT_TRUE(found[0].isDirectory());  // a link to a folder, as the search found it
    EXPECT_TRUE(found[0].isReparsePoint());
    EXPECT_EQ(found[0].getReparseTag(), 0u);
    EXPECT_TRUE(found[1].isDirectory());
    EXPECT_FALSE(found[1].isReparsePoint());

    FXFile::CFileData dots = Entry(root.path(), "..");
    EXPECT_TRUE(dots.isRelativeFolder());
    EXPECT_TRUE(Entry(root.path(), ".").isRelativeFolder());
    EXPECT_FALSE(Entry(root.path(), "..x").isRelativeFolder());
    EXPECT_EQ(Entry(root.path(), "caf\xc3\xa9").getFileNameAsWstring(), L"caf\u00e9");
}

}  // namespace
}  // namespace jxtest
