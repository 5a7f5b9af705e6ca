// Fetching files back from the index cache.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JobResults/IndexCacheClient.h"
#include "JobResults/IndexFileDownload.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {

TEST(IndexFileDownloadTest, CopiesMatchingFilesOfEveryJobAndUndoesAPartialCopy) {
    jxtest::TestRoot root;
    root.WriteFile("index/cache/7/7_a.xml", "a");
    root.WriteFile("index/cache/7/7_b.txt", "b");
    root.WriteFile("index/cache/8/8_c.xml", "c");
    const std::vector<std::string> filters{"*.xml"};
    const std::string target = root.File("out");
    EXPECT_EQ(2, GetIndexFiles("ma", 2, 3, 0, 7, 2, 0, target, &filters, nullptr));
    EXPECT_EQ("a", root.ReadFile("out/7_a.xml"));
    EXPECT_EQ("c", root.ReadFile("out/8_c.xml"));
    EXPECT_EQ(-1, GetIndexFiles("ma", 2, 3, 0, 7, 2, 0, target, nullptr, nullptr));

    // A matching entry that cannot be copied fails the call and takes back
    // what the call had copied before it.
    ASSERT_EQ(0, wz::RemoveTree(target));
    ASSERT_EQ(0, wz::MakeDirectoryTree(root.File("index/cache/9/9_z.xml")));
    EXPECT_EQ(-1, GetIndexFiles("ma", 2, 3, 0, 9, 2, 0, target, &filters, nullptr));
    std::vector<std::string> left;
    (void)wz::Fs().ReadDirectory(target, left);  // may not exist at all
    EXPECT_TRUE(left.empty());
}

}  // namespace
