// The file-system seam: its tree helpers, whole-file reads and the atomic
// replacement under injected faults.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "WzUtils/WzFileSystem.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace fs = std::filesystem;

namespace jxtest {
namespace {

using WzFileSystemTest = RootedTest;

TEST_F(WzFileSystemTest, RemoveTreeRemovesLinksWithoutFollowingThem) {
    root.WriteFile("kept/precious.txt", "x");
    root.WriteFile("doomed/a/b.txt", "y");
    fs::create_directory_symlink(root.path() + "/kept", root.path() + "/doomed/a/link");
    ASSERT_EQ(wz::RemoveTree(root.path() + "/doomed"), 0);
    EXPECT_FALSE(fs::exists(root.path() + "/doomed"));
    EXPECT_EQ(root.ReadFile("kept/precious.txt"), "x");

    EXPECT_EQ(wz::RemoveTree(root.path() + "/doomed"), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(WzFileSystemTest, MakeDirectoryTreeCreatesParentsAndRefusesAFileOnTheWay) {
    EXPECT_EQ(wz::MakeDirectoryTree(root.path() + "/x/y/z"), 0);
    EXPECT_TRUE(fs::is_directory(root.path() + "/x/y/z"));
    EXPECT_EQ(wz::MakeDirectoryTree(root.path() + "/x/y/z"), 0);
    root.WriteFile("plain", "x");
    EXPECT_EQ(wz::MakeDirectoryTree(root.path() + "/plain/sub"), -1);
    EXPECT_EQ(wz::MakeDirectoryTree(root.path() + "/plain"), -1);
    EXPECT_EQ(errno, ENOTDIR);
}

TEST_F(WzFileSystemTest, ReadSmallFileReadsWholeFilesAndRefusesOversizedOnes) {
    const std::string big(70000, 'b');
    root.WriteFile("big", big);
    std::string text;
    ASSERT_TRUE(wz::ReadSmallFile(root.path() + "/big", text, big.size()));
    EXPECT_EQ(text, big);
    text.clear();
    EXPECT_FALSE(wz::ReadSmallFile(root.path() + "/big", text, big.size() - 1));
    EXPECT_EQ(errno, EFBIG);
    text.clear();
    EXPECT_FALSE(wz::ReadSmallFile(root.path() + "/missing", text));
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(WzFileSystemTest, ResolveThroughLinksFollowsTheDeepestExistingAncestor) {
    const std::string real = wz::ResolveThroughLinks(root.path());
    ASSERT_FALSE(real.empty());
    fs::create_directories(root.path() + "/target");
    fs::create_directory_symlink(root.path() + "/target", root.path() + "/link");
    EXPECT_EQ(wz::ResolveThroughLinks(root.path() + "/link/not/yet"), real + "/target/not/yet");
    EXPECT_EQ(wz::ResolveThroughLinks(root.path() + "//./link/"), real + "/target");
    EXPECT_EQ(wz::ResolveThroughLinks(root.path() + "/link/../etc"), "");
    EXPECT_EQ(wz::ResolveThroughLinks("relative/path"), "");
    EXPECT_EQ(wz::ResolveThroughLinks("//."), "/");

    EXPECT_TRUE(wz::PathIsUnder("/a/b", "/a"));
    EXPECT_TRUE(wz::PathIsUnder("/a", "/a"));
    EXPECT_TRUE(wz::PathIsUnder("/a/b", "/"));
    EXPECT_FALSE(wz::PathIsUnder("/ab", "/a"));
    EXPECT_FALSE(wz::PathIsUnder("/a", ""));
}

TEST_F(WzFileSystemTest, AtomicReplacementKeepsTheOldFileWhenTheDiskFailsAtAnyStep) {
    const std::string path = root.File("state/file");
    ASSERT_TRUE(wz::WriteFileAtomically(path, "old"));
    struct Case {
        FsCall kind;
        int error;
    };
    for (Case c : {Case{FsCall::kOpen, EIO}, Case{FsCall::kWrite, ENOSPC}, Case{FsCall::kFsync, EIO},
                   Case{FsCall::kClose, EIO}, Case{FsCall::kRename, ENOSPC}}) {
        FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.FailCall(c.kind, 1, c.error);
        errno = 0;
        EXPECT_FALSE(wz::WriteFileAtomically(path, "new content"));
        EXPECT_EQ(errno, c.error);
        EXPECT_EQ(faulty.FiredTotal(), 1);
        EXPECT_EQ(ReadWholeFile(path), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(root.path() + "/state"), fs::directory_iterator()), 1);
    }
    FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    faulty.FailWritesAfter(4, ENOSPC);
    EXPECT_FALSE(wz::WriteFileAtomically(path, "new content"));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_GE(faulty.Fired(FsCall::kWrite), 1);
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(root.path() + "/state"), fs::directory_iterator()), 1);
}

TEST_F(WzFileSystemTest, AtomicReplacementLeavesTheOldOrTheWholeNewFileAfterACrashAtAnyStep) {
    const std::string path = root.File("state/file");
    ASSERT_TRUE(wz::WriteFileAtomically(path, "old"));
    bool finished = false;
    for (int n = 1; n < 50 && !finished; ++n) {
        FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.RecordForCrash(root.path() + "/state");
        faulty.CrashAt(n);
        const bool replaced = wz::WriteFileAtomically(path, "new content");
        finished = !faulty.Crashed();
        // A replacement that said so outlives a crash right after it.
        if (finished) {
            EXPECT_TRUE(replaced);
            faulty.Crash();
        }
        const std::string left = ReadWholeFile(path);
        EXPECT_TRUE(left == "old" || left == "new content") << "crash at call " << n;
        if (finished) {
            EXPECT_EQ(left, "new content");
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(root.path() + "/state"), fs::directory_iterator()), 1);
    }
    EXPECT_TRUE(finished);

    // The folder's sync fails: the new content is in place but not known to last.
    FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    faulty.FailCallOn("state", FsCall::kFsync, 1, EIO);
    errno = 0;
    EXPECT_FALSE(wz::WriteFileAtomically(path, "newer"));
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(faulty.Fired(FsCall::kFsync), 1);
}

TEST_F(WzFileSystemTest, AConfinedFileSystemRefusesChangesOutsideItsRoot) {
    root.WriteFile("outer/keep.txt", "x");
    fs::create_directories(root.path() + "/inner");
    fs::create_directory_symlink(root.path() + "/outer", root.path() + "/inner/away");
    FaultyFileSystem faulty;
    faulty.ConfineTo(root.path() + "/inner");
    wz::ScopedFileSystem use(faulty);
    EXPECT_EQ(wz::RemoveTree(root.path() + "/outer"), -1);
    EXPECT_EQ(errno, EPERM);
    EXPECT_EQ(wz::MakeDirectoryTree(root.path() + "/inner/away/sub"), -1);
    EXPECT_FALSE(wz::WriteFileAtomically(root.path() + "/inner/../outer/keep.txt", "y"));
    EXPECT_EQ(root.ReadFile("outer/keep.txt"), "x");
    EXPECT_FALSE(fs::exists(root.path() + "/outer/sub"));
    EXPECT_EQ(faulty.Escapes().size(), 3u);
    EXPECT_EQ(wz::MakeDirectoryTree(root.path() + "/inner/own"), 0);
}

}  // namespace
}  // namespace jxtest
