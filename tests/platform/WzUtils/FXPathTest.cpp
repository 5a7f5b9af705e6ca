#include <gtest/gtest.h>

#include <string>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXPath.h"

TEST(FXPath, SplitsAtTheLastSeparator) {
    std::string parent, name;
    ASSERT_FALSE(FXPath::SplitParentPath("/lib/dump/x.bak", parent, name).IsError());
    EXPECT_EQ(parent, "/lib/dump");
    EXPECT_EQ(name, "x.bak");
    ASSERT_FALSE(FXPath::SplitParentPath("/lib/dump/", parent, name).IsError());
    EXPECT_EQ(parent, "/lib");
    EXPECT_EQ(name, "dump");
    ASSERT_FALSE(FXPath::SplitParentPath("/x", parent, name).IsError());
    EXPECT_EQ(parent, "/");
    EXPECT_EQ(name, "x");
}

TEST(FXPath, SplitRefusesPathsWithoutFolderOrName) {
    std::string parent, name;
    EXPECT_EQ(FXErrorUtil::GetHResult(FXPath::SplitParentPath("x.bak", parent, name)), WZ_E_INVALIDARG);
    EXPECT_TRUE(FXPath::SplitParentPath("", parent, name).IsError());
    EXPECT_TRUE(FXPath::SplitParentPath("/", parent, name).IsError());
}

TEST(FXPath, AppendJoinsWithOneSeparator) {
    std::string path = "/root";
    ASSERT_FALSE(FXPath::Append(path, "dump").IsError());
    EXPECT_EQ(path, "/root/dump");
    path = "/root/";
    ASSERT_FALSE(FXPath::Append(path, "/meta").IsError());
    EXPECT_EQ(path, "/root/meta");
    path = "";
    ASSERT_FALSE(FXPath::Append(path, "rel").IsError());
    EXPECT_EQ(path, "rel");
    path = "/root";
    EXPECT_TRUE(FXPath::Append(path, "").IsError());
    EXPECT_EQ(path, "/root");
}

TEST(FXPath, RemoveTrailingDelimiterKeepsTheRoot) {
    std::string path = "/a/b/";
    EXPECT_FALSE(FXPath::RemoveTrailingDelimiter(path).IsError());
    EXPECT_EQ(path, "/a/b");
    path = "/";
    EXPECT_TRUE(FXPath::RemoveTrailingDelimiter(path).IsSuccess());
    EXPECT_EQ(path, "/");
}
