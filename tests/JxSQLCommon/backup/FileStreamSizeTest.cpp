// The size of a FILESTREAM container folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/support/TestRoot.h"

namespace {

class FileStreamSizeTest : public jxtest::RootedTest {
protected:
    jxtest::BackupJobUnderTest job{41};
};

TEST_F(FileStreamSizeTest, FilesOfNestedFoldersAreSummed) {
    root.WriteFile("fs/a", std::string(10, 'a'));
    root.WriteFile("fs/b", std::string(20, 'b'));
    root.WriteFile("fs/sub/c", std::string(5, 'c'));
    root.WriteFile("fs/sub/deeper/d", std::string(7, 'd'));
    unsigned long long total = 100;
    EXPECT_EQ(job.CalculateSizeOfFileStreamDirectory(root.File("fs"), total), 0u);
    EXPECT_EQ(total, 142u);
}

TEST_F(FileStreamSizeTest, LinksAreNotFollowed) {
    root.WriteFile("fs/a", std::string(10, 'a'));
    root.WriteFile("outside/big", std::string(1000, 'x'));
    ASSERT_EQ(symlink(root.File("outside").c_str(), root.File("fs/to-outside").c_str()), 0);
    ASSERT_EQ(symlink(root.File("outside/big").c_str(), root.File("fs/big-link").c_str()), 0);
    ASSERT_EQ(symlink(root.File("fs").c_str(), root.File("fs/loop").c_str()), 0);
    unsigned long long total = 0;
    EXPECT_EQ(job.CalculateSizeOfFileStreamDirectory(root.File("fs"), total), 0u);
    EXPECT_EQ(total, 10u);
    // A container that is itself a link is not sized through it.
    ASSERT_EQ(symlink(root.File("outside").c_str(), root.File("linked-fs").c_str()), 0);
    EXPECT_NE(job.CalculateSizeOfFileStreamDirectory(root.File("linked-fs"), total), 0u);
    EXPECT_EQ(total, 10u);
}

TEST_F(FileStreamSizeTest, AnUnreadableFolderFailsAndAddsNothing) {
    unsigned long long total = 5;
    EXPECT_NE(job.CalculateSizeOfFileStreamDirectory(root.File("missing"), total), 0u);
    EXPECT_EQ(total, 5u);
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    root.WriteFile("fs/a", std::string(10, 'a'));
    root.WriteFile("fs/locked/b", std::string(20, 'b'));
    root.WriteFile("fs/open/c", std::string(5, 'c'));
    ASSERT_EQ(chmod(root.File("fs/locked").c_str(), 0), 0);
    EXPECT_NE(job.CalculateSizeOfFileStreamDirectory(root.File("fs"), total), 0u);
    EXPECT_EQ(total, 5u);
    ASSERT_EQ(chmod(root.File("fs/locked").c_str(), 0755), 0);
}

}  // namespace
