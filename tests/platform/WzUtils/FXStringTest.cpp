#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WzUtils/FXString.h"

using Fields = std::vector<std::string>;

TEST(FXString, SplitKeepsEmptyFieldsUnlessAskedAndAnEmptyTextHasNone) {
    EXPECT_EQ(FXString::Split("tmp*:test?", ":"), (Fields{"tmp*", "test?"}));
    EXPECT_EQ(FXString::Split("a::b:", ":"), (Fields{"a", "", "b", ""}));
    EXPECT_EQ(FXString::Split("a::b:", ":", FXString::SPLIT_SKIP_EMPTY), (Fields{"a", "b"}));
    EXPECT_EQ(FXString::Split("", ":"), Fields{});
    EXPECT_EQ(FXString::Split("12|inst", "|"), (Fields{"12", "inst"}));
}

TEST(FXString, TrimsCharacterSetsAndRemovesSuffixesOnce) {
    std::string s = " \t db name \t";
    FXString::TrimWhiteSpace(s);
    EXPECT_EQ(s, "db name");
    s = " \t ";
    FXString::TrimWhiteSpace(s);
    EXPECT_EQ(s, "");

    s = "x.bak.jxf.jxf";
    EXPECT_TRUE(FXString::RemoveRight(s, ".jxf"));
    EXPECT_EQ(s, "x.bak.jxf");
    EXPECT_FALSE(FXString::RemoveRight(s, ".JXF"));
    EXPECT_TRUE(FXString::RemoveRightNoCase(s, ".JXF"));
    EXPECT_EQ(s, "x.bak");
    EXPECT_FALSE(FXString::RemoveRightNoCase(s, "longer than x.bak"));
}

TEST(FXString, MatchesPrefixesAndFindsTextIgnoringCase) {
    EXPECT_TRUE(FXString::MatchLeftNoCase("Master.mdf", "MASTER"));
    EXPECT_FALSE(FXString::MatchLeftNoCase("ma", "master"));
    const char* text = "Data Source=HOST";
    EXPECT_EQ(FXString::FindString(text, "source", true), text + 5);
    EXPECT_EQ(FXString::FindString(text, "source", false), nullptr);
    EXPECT_EQ(FXString::FindString(text, "HOSTS", true), nullptr);
    EXPECT_EQ(FXString::FindString(nullptr, "a", true), nullptr);
}
