// The fault-injecting file system itself: counts of fired faults, faults
// aimed at a file, and the crash that drops what was never made durable.
#include "tests/support/FaultyFileSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "WzUtils/WzFileSystem.h"
#include "tests/support/TestRoot.h"

namespace fs = std::filesystem;

namespace jxtest {
namespace {

class FaultyFileSystemTest : public RootedTest {
protected:
    FaultyFileSystemTest() : use(faulty) {}

    // Writes `content` to `relative` through the seam, from its start.
    // `sync`: the file is fsynced before it is closed.
    bool Put(const std::string& relative, const std::string& content, bool sync, int flags = O_TRUNC) {
        const int fd = wz::Fs().Open(root.File(relative), O_WRONLY | O_CREAT | flags, 0644);
        if (fd < 0) return false;
        bool ok = wz::WriteAll(fd, content.data(), content.size());
        if (sync) ok = wz::Fs().Fsync(fd) == 0 && ok;
        return wz::Fs().Close(fd) == 0 && ok;
    }
    bool SyncFolder(const std::string& relative) {
        const int fd = wz::Fs().Open(root.path() + "/" + relative, O_RDONLY | O_DIRECTORY, 0);
        if (fd < 0) return false;
        const bool ok = wz::Fs().Fsync(fd) == 0;
        return wz::Fs().Close(fd) == 0 && ok;
    }
    bool Exists(const std::string& relative) const { return fs::exists(root.path() + "/" + relative); }

    FaultyFileSystem faulty;
    wz::ScopedFileSystem use;
};

TEST_F(FaultyFileSystemTest, AnAimedFaultFiresOnlyOnCallsOnItsFileAndIsCounted) {
    faulty.FailCallOn("b.txt", FsCall::kFsync, 1, EIO);
    faulty.FailCallOn("never.txt", FsCall::kRename, 1, EIO);
    EXPECT_TRUE(Put("dir/a.txt", "a", true));
    EXPECT_EQ(faulty.Fired(FsCall::kFsync), 0);
    errno = 0;
    EXPECT_FALSE(Put("dir/b.txt", "b", true));
    EXPECT_EQ(errno, EIO);
    EXPECT_TRUE(Put("dir/b.txt", "b", true));  // fired once, then gone
    EXPECT_EQ(faulty.Fired(FsCall::kFsync), 1);
    EXPECT_EQ(faulty.Fired(FsCall::kRename), 0);
    EXPECT_EQ(faulty.FiredTotal(), 1);

    // A rename matches by either name; a pattern with "/" is matched against the whole path.
    faulty.FailCallOn("target.*", FsCall::kRename, 1, ENOSPC, true);
    EXPECT_EQ(wz::Fs().Rename(root.path() + "/dir/a.txt", root.path() + "/dir/target.txt"), -1);
    EXPECT_EQ(wz::Fs().Rename(root.path() + "/dir/target.txt.tmp", root.path() + "/dir/c.txt"), -1);
    EXPECT_EQ(wz::Fs().Rename(root.path() + "/dir/a.txt", root.path() + "/dir/c.txt"), 0);
    EXPECT_EQ(faulty.Fired(FsCall::kRename), 2);
    faulty.FailCallOn("*/dir", FsCall::kOpen, 1, EACCES);
    EXPECT_TRUE(Put("dir/d.txt", "d", false));
    EXPECT_FALSE(SyncFolder("dir"));
    EXPECT_EQ(faulty.Fired(FsCall::kOpen), 1);
    EXPECT_EQ(faulty.Calls(FsCall::kRename), 3);
}

TEST_F(FaultyFileSystemTest, AFullDiskCountsEveryWriteItCutOrRefused) {
    faulty.FailWritesAfter(3, ENOSPC);
    EXPECT_TRUE(Put("a", "ab", false));
    EXPECT_EQ(faulty.FiredTotal(), 0);
    EXPECT_FALSE(Put("b", "cd", false));  // cut after one byte, then refused
    EXPECT_EQ(faulty.Fired(FsCall::kWrite), 2);
    EXPECT_EQ(root.ReadFile("b"), "c");
}

TEST_F(FaultyFileSystemTest, ACrashRevertsContentsToTheLastFsyncAndNamesToTheLastFolderFsync) {
    ASSERT_TRUE(Put("kept/old.txt", "old", false));
    ASSERT_TRUE(Put("kept/unlinked.txt", "gone?", false));
    faulty.RecordForCrash(root.path());
    ASSERT_TRUE(Put("kept/old.txt", "rewritten", false));        // never synced
    ASSERT_TRUE(Put("kept/synced.txt", "synced", true));         // contents synced, name not
    ASSERT_TRUE(Put("durable/new.txt", "first", true));
    ASSERT_TRUE(SyncFolder("durable"));
    ASSERT_TRUE(Put("durable/new.txt", "+more", false, O_APPEND));  // appended, not synced
    ASSERT_EQ(wz::Fs().Unlink(root.path() + "/kept/unlinked.txt"), 0);
    ASSERT_TRUE(Put("durable/empty.txt", "lost", false));        // name synced, contents not
    ASSERT_TRUE(SyncFolder("durable"));

    faulty.Crash();
    EXPECT_TRUE(faulty.Crashed());
    EXPECT_EQ(root.ReadFile("kept/old.txt"), "old");
    EXPECT_FALSE(Exists("kept/synced.txt"));
    EXPECT_EQ(root.ReadFile("durable/new.txt"), "first");
    EXPECT_EQ(root.ReadFile("kept/unlinked.txt"), "gone?");
    EXPECT_TRUE(Exists("durable/empty.txt"));
    EXPECT_EQ(root.ReadFile("durable/empty.txt"), "");
    EXPECT_EQ(faulty.FiredTotal(), 1);
}

TEST_F(FaultyFileSystemTest, ARenameStaysOnlyWhenItsFolderWasSynced) {
    ASSERT_TRUE(Put("d/list", "old\n", true));
    ASSERT_TRUE(SyncFolder("d"));
    faulty.RecordForCrash(root.path());
    ASSERT_TRUE(Put("d/list.tmp", "new\n", true));
    ASSERT_EQ(wz::Fs().Rename(root.path() + "/d/list.tmp", root.path() + "/d/list"), 0);
    faulty.Crash();
    EXPECT_EQ(root.ReadFile("d/list"), "old\n");
    EXPECT_FALSE(Exists("d/list.tmp"));  // created after the last folder fsync

    faulty.Heal();
    ASSERT_TRUE(Put("d/list.tmp", "new\n", true));
    ASSERT_EQ(wz::Fs().Rename(root.path() + "/d/list.tmp", root.path() + "/d/list"), 0);
    ASSERT_TRUE(SyncFolder("d"));
    faulty.Crash();
    EXPECT_EQ(root.ReadFile("d/list"), "new\n");
    EXPECT_FALSE(Exists("d/list.tmp"));
}

TEST_F(FaultyFileSystemTest, ACrashAtAChosenCallStopsItAndEveryCallAfterUntilHealed) {
    faulty.RecordForCrash(root.path());
    faulty.CrashAt(FsCall::kRename, 1, "final");
    ASSERT_TRUE(Put("d/other", "x", true));
    EXPECT_EQ(wz::Fs().Rename(root.path() + "/d/other", root.path() + "/d/other2"), 0);  // not aimed at
    ASSERT_TRUE(Put("d/temp", "y", true));
    EXPECT_FALSE(faulty.Crashed());
    errno = 0;
    EXPECT_EQ(wz::Fs().Rename(root.path() + "/d/temp", root.path() + "/d/final"), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_TRUE(faulty.Crashed());
    EXPECT_EQ(faulty.Fired(FsCall::kRename), 1);
    EXPECT_FALSE(Exists("d/final"));
    EXPECT_FALSE(Exists("d/temp"));
    EXPECT_FALSE(Exists("d/other"));
    EXPECT_FALSE(Exists("d/other2"));
    struct stat st {};
    EXPECT_EQ(wz::Fs().Stat(root.path(), &st), -1);
    EXPECT_FALSE(Put("d/after", "z", true));
    EXPECT_FALSE(Exists("d/after"));

    faulty.Heal();
    EXPECT_TRUE(Put("d/after", "z", true));
    EXPECT_TRUE(SyncFolder("d"));
    // The nth call of any kind: the 2nd call of this rewrite is its write,
    // after its open emptied the file.
    faulty.CrashAt(2);
    EXPECT_FALSE(Put("d/after", "lost", true));
    EXPECT_EQ(root.ReadFile("d/after"), "z");
}

TEST_F(FaultyFileSystemTest, ACrashTouchesNothingOutsideTheRecordedRoot) {
    ASSERT_TRUE(Put("outside/file", "before", true));
    faulty.RecordForCrash(root.path() + "/inside");
    ASSERT_TRUE(Put("outside/file", "after", false));
    ASSERT_TRUE(Put("outside/new", "new", false));
    ASSERT_TRUE(Put("inside/new", "new", false));
    faulty.Crash();
    EXPECT_EQ(root.ReadFile("outside/file"), "after");
    EXPECT_TRUE(Exists("outside/new"));
    EXPECT_FALSE(Exists("inside/new"));
}

}  // namespace
}  // namespace jxtest
