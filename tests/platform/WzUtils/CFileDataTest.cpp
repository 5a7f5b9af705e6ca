#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "WzUtils/CFileData.h"
#include "tests/support/TestRoot.h"

using jxtest::RootedTest;

class CFileDataTest : public RootedTest {};

TEST_F(CFileDataTest, FullPathModeJoinsFolderAndName) {
    root.WriteFile("dir/file.bak", "12345");
    FXFile::CFileData file("file.bak", root.path() + "/dir", true);
    EXPECT_EQ(file.getSize(), 5u);
    EXPECT_FALSE(file.isDirectory());
    FXFile::CFileData dir("dir", root.path() + "/", true);
    EXPECT_TRUE(dir.isDirectory());
    EXPECT_FALSE(dir.isReparsePoint());
    EXPECT_EQ(dir.getReparseTag(), 0u);
}

TEST_F(CFileDataTest, WithoutFullPathOnlyTheNameIsUsed) {
    root.WriteFile("x/plain", "abc");
    FXFile::CFileData relative("plain", root.path() + "/x", false);
    EXPECT_FALSE(relative.getFileInfo());  // not in the working directory
    FXFile::CFileData absolute(root.path() + "/x/plain", "ignored", false);
    EXPECT_EQ(absolute.getSize(), 3u);
}

TEST_F(CFileDataTest, InformationIsLoadedOnceAndAFailureKeepsErrno) {
    root.WriteFile("gone", "abcd");
    FXFile::CFileData entry("gone", root.path(), true);
    EXPECT_EQ(entry.getSize(), 4u);
    ASSERT_EQ(::unlink(root.File("gone").c_str()), 0);
    EXPECT_EQ(entry.getSize(), 4u);  // not reloaded

    FXFile::CFileData missing("missing", root.path(), true);
    EXPECT_FALSE(missing.getFileInfo());
    EXPECT_EQ(missing.getLastError(), ENOENT);
    EXPECT_EQ(missing.getSize(), 0u);
    EXPECT_FALSE(missing.isDirectory());
}

TEST_F(CFileDataTest, SymbolicLinksAreNotFollowed) {
    ASSERT_EQ(::symlink(root.path().c_str(), root.File("link").c_str()), 0);
    FXFile::CFileData link("link", root.path(), true);
    EXPECT_FALSE(link.isDirectory());
}

TEST(CFileData, DotAndDotDotAreRelativeFolders) {
    EXPECT_TRUE(FXFile::CFileData(".", "/", true).isRelativeFolder());
    EXPECT_TRUE(FXFile::CFileData("..", "/", true).isRelativeFolder());
    EXPECT_FALSE(FXFile::CFileData("...", "/", true).isRelativeFolder());
    EXPECT_EQ(FXFile::CFileData("\xC3\xA9.bak", "/", true).getFileNameAsWstring(), (std::wstring{0xE9, L'.', L'b', L'a', L'k'}));
}
