#include <gtest/gtest.h>

#include <string>

#include "JxSQLCommon/records/SqlRestoreFileNames.h"
#include "WzUtils/FXErrorUtil.h"

TEST(GetRestoreFileName, AppendsTheCollectSuffix) {
    std::string out;
    ASSERT_FALSE(GetRestoreFileName("/lib/dump/x.bak", out).IsError());
    EXPECT_EQ(out, "/lib/dump/x.bak.jxf");
    CWzError err = GetRestoreFileName("", out);
    ASSERT_TRUE(err.IsError());
    EXPECT_EQ(FXErrorUtil::GetHResult(err), WZ_E_INVALIDARG);
    EXPECT_EQ(err.GetMessage(), "strBakFile is empty");
}

TEST(GetXMLFileNameFromRestoreFileName, GivesTheMetadataFileInTheSameFolder) {
    std::string out;
    ASSERT_FALSE(GetXMLFileNameFromRestoreFileName("/lib/dump/x.bak.jxf", out).IsError());
    EXPECT_EQ(out, "/lib/dump/x.xml");
    ASSERT_FALSE(GetXMLFileNameFromRestoreFileName("/lib/dump/x.BAK.jxf", out).IsError());
    EXPECT_EQ(out, "/lib/dump/x.xml");
    ASSERT_FALSE(GetXMLFileNameFromRestoreFileName("/x.bak.jxf", out).IsError());
    EXPECT_EQ(out, "/x.xml");
}

TEST(GetXMLFileNameFromRestoreFileName, RefusesWhatItCannotName) {
    std::string out = "unchanged";
    CWzError err = GetXMLFileNameFromRestoreFileName("/lib/dump/x.trn.jxf", out);
    ASSERT_TRUE(err.IsError());
    EXPECT_EQ(err.GetMessage(), "xmlFile does not have proper ext");

    err = GetXMLFileNameFromRestoreFileName("", out);
    ASSERT_TRUE(err.IsError());
    EXPECT_EQ(err.GetMessage(), "restoreFile is empty");

    err = GetXMLFileNameFromRestoreFileName("x.bak.jxf", out);  // no folder
    ASSERT_TRUE(err.IsError());
    EXPECT_NE(err.AsString().find("FXPath::SplitParentPath failed x.bak.jxf"), std::string::npos);

    err = GetXMLFileNameFromRestoreFileName("/lib/.jxf", out);  // no name left
    ASSERT_TRUE(err.IsError());
    EXPECT_NE(err.AsString().find("FXPath::Append failed /lib/.jxf"), std::string::npos);
    EXPECT_EQ(out, "unchanged");
}
