#include <gtest/gtest.h>

#include <list>
#include <string>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/Subclient.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/CSQLPmnContentFilters.h"
#include "WzUtils/FXErrorUtil.h"
#include "tests/support/TestRoot.h"

using jxtest::RootedTest;
using Names = std::list<std::string>;

class CSQLPmnContentFiltersTest : public RootedTest {
protected:
    void SetPatterns(const std::string& value) { JXPlatformInfo().setString("MSSQLAgent", "sDBExclusionPatterns", value); }

    static Names Excluded(const CSQLPmnContentFilters& filters) {
        Names out{"stale"};
        filters.GetDBsExcludedFromAutoDiscovery(out);
        return out;
    }
};

TEST_F(CSQLPmnContentFiltersTest, SettingPatternsAreTriedInOrderAndTheFirstMatchIsLogged) {
    SetPatterns("tmp*:*_old");
    CSQLPmnContentFilters filters;
    ASSERT_FALSE(filters.LoadBackupSelectionPatterns(nullptr).IsError());
    EXPECT_EQ(filters.exclusionPatterns(), (Names{"tmp*", "*_old"}));

    EXPECT_TRUE(filters.ShouldSelectDBForBackup("sales"));
    EXPECT_FALSE(filters.ShouldSelectDBForBackup("TMP_old"));  // matches both; case ignored
    EXPECT_FALSE(filters.ShouldSelectDBForBackup("sales_old"));
    EXPECT_EQ(Excluded(filters), (Names{"TMP_old", "sales_old"}));
    EXPECT_NE(jxtest::ReadWholeFile(EvDebug::LogFilePath())
                  .find("-Warn--: Database [TMP_old] is excluded from backup since it matches exlusion pattern [tmp*]"),
              std::string::npos);
}

TEST_F(CSQLPmnContentFiltersTest, ANameTestedTwiceIsRecordedTwice) {
    SetPatterns("test?");
    CSQLPmnContentFilters filters;
    ASSERT_TRUE(filters.LoadBackupSelectionPatterns(nullptr).IsSuccess());
    EXPECT_FALSE(filters.ShouldSelectDBForBackup("test1"));
    EXPECT_FALSE(filters.ShouldSelectDBForBackup("test1"));
    EXPECT_EQ(Excluded(filters), (Names{"test1", "test1"}));
}

TEST_F(CSQLPmnContentFiltersTest, APresentSettingWinsOverTheSubclientEvenWhenEmpty) {
    AppModel::Set("subclient/10", "content3_1", "model*");
    SetPatterns("");
    CSQLPmnContentFilters filters;
    Subclient subclient(10);
    ASSERT_FALSE(filters.LoadBackupSelectionPatterns(&subclient).IsError());
    EXPECT_TRUE(filters.exclusionPatterns().empty());
    EXPECT_TRUE(filters.ShouldSelectDBForBackup("model1"));
    EXPECT_TRUE(Excluded(filters).empty());
}

TEST_F(CSQLPmnContentFiltersTest, WithoutTheSettingTheSubclientFiltersApply) {
    AppModel::Set("subclient/10", "content3_1", "model*");
    AppModel::Set("subclient/10", "content3_2", "report?");
    CSQLPmnContentFilters filters;
    Subclient subclient(10);
    ASSERT_FALSE(filters.LoadBackupSelectionPatterns(&subclient).IsError());
    EXPECT_EQ(filters.exclusionPatterns(), (Names{"model*", "report?"}));
    EXPECT_FALSE(filters.ShouldSelectDBForBackup("model1"));
    EXPECT_FALSE(filters.ShouldSelectDBForBackup("reports"));
    EXPECT_TRUE(filters.ShouldSelectDBForBackup("reporting"));
}

TEST_F(CSQLPmnContentFiltersTest, AMissingSubclientIsAnErrorAndSelectsEverything) {
    SetPatterns("tmp*");
    CSQLPmnContentFilters filters;
    ASSERT_FALSE(filters.LoadBackupSelectionPatterns(nullptr).IsError());
    JXPlatformInfo().deleteValue("MSSQLAgent", "sDBExclusionPatterns");

    CWzError err = filters.LoadBackupSelectionPatterns(nullptr);
    EXPECT_EQ(FXErrorUtil::GetJXResult(err), 1994);
    EXPECT_EQ(err.GetMessage(), "Failed to get subclient.");
    EXPECT_TRUE(filters.ShouldSelectDBForBackup("tmp1"));

    Subclient unknown(99);
    err = filters.LoadBackupSelectionPatterns(&unknown);
    EXPECT_EQ(FXErrorUtil::GetJXResult(err), 1994);
    EXPECT_EQ(err.GetMessage(), "Failed to get subclient filters.");
    EXPECT_TRUE(filters.ShouldSelectDBForBackup("tmp1"));
    EXPECT_TRUE(Excluded(filters).empty());
}
