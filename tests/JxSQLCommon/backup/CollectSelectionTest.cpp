// Which databases of a subclient a phase backs up: the selection rules, the
// status-tab reasons of the skipped ones, removal of vanished databases and
// the on-demand list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/ApplProperties.h"
#include "JXAppMgr/StatusTabStore.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/JobManagerMessages.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimDatabaseOptions.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"

namespace {

using JobManager::SQLStatusTab;

// The stream-info file belongs to another part of the job.
struct SelectingJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBackup::m_bSkipReadOnly;
    using CSQLCommon::m_applicationId;
    using CSQLCommon::m_genericOptions;
    using CSQLCommon::m_pSubclient;
    bool GenerateStreamInfoFile(unsigned int, int) override { return true; }
};

class CollectSelectionTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        jxtest::MakeInstance(instance, {"Sales", "HR", "Dark", "Shipped", "Archive_2019", "Vanished"});
        ASSERT_FALSE(instance.SetDatabaseState("Dark", SQLDB_STATE_OFFLINE).IsError());
        ASSERT_FALSE(SqlSimSetDatabaseOption(instance, "Shipped", kSqlSimOptionLogShipping, "1").IsError());
        AppModel::Set("subclient/11", "name", "daily");
        AppModel::Set("subclient/11", "specialSubclientType", "1");
        int n = 0;
        for (const char* name : {"Sales", "HR", "Dark", "Shipped", "Archive_2019", "Vanished", "NeverExisted"}) {
            AppModel::Set("subclient/11", "property118_" + std::to_string(++n), name);
        }
        JXPlatformInfo().setString("MSSQLAgent", "sDBExclusionPatterns", "Archive_*");
        JXPlatformInfo().setNumber("MSSQLAgent", "nSkipSpDb", 0);
        // Dropped after it joined the content.
        ASSERT_FALSE(instance.Db().Exec("DELETE FROM databases WHERE name = 'Vanished'").IsError());

        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
        CSQLCommon::COLLECTFILENAME = "LogDBList.jxf";
        job.m_bkpPhase = JXSQL_BACKUP_LOG;
        job.m_applicationId = ApplicationId(2, 11);
        job.m_pSubclient = job.m_applicationId.getSubclient();
        ASSERT_NE(job.m_pSubclient, nullptr);
        ASSERT_FALSE(job.m_contentFilters.LoadBackupSelectionPatterns(job.m_pSubclient).IsError());
    }

    std::map<std::string, SQLStatusTab> Tab() {
        std::map<std::string, SQLStatusTab> out;
        for (const std::string& xml : statustab::Records(61, 2)) {
            SQLStatusTab tab;
            EXPECT_EQ(tab.unserialize(xml), kMsgOk);
            out[tab.getstring(SQLStatusTab::kDatabaseName)] = tab;
        }
        return out;
    }

    std::vector<std::string> Content() {
        std::vector<std::string> names;
        PropertiesList list;
        EXPECT_EQ(ApplProperties(11).getProperties(list, nullptr), 0);
        for (const auto& p : list.getList()) names.push_back(p->getValue());
        return names;
    }

    SqlSimInstance instance;
    SelectingJob job{61};
};

TEST_F(CollectSelectionTest, RulesSkipWithTheirReasonCodesAndTheRestIsListed) {
    ASSERT_TRUE(job.generateSQLCollectFile());
    EXPECT_EQ(root.ReadFile("results/LogDBList.jxf"), "HR\nSales\n");
    auto tab = Tab();
    EXPECT_EQ(tab["Sales"].getint64(SQLStatusTab::kStatus), 5);
    EXPECT_EQ(tab["HR"].getint64(SQLStatusTab::kStatus), 5);
    EXPECT_EQ(tab["Dark"].getint64(SQLStatusTab::kSkipReason), 1);
    EXPECT_EQ(tab["Dark"].getint64(SQLStatusTab::kStatus), 6);
    EXPECT_EQ(tab["Shipped"].getint64(SQLStatusTab::kSkipReason), 7);
    EXPECT_EQ(tab["Archive_2019"].getint64(SQLStatusTab::kSkipReason), 12);
    EXPECT_EQ(tab["Archive_2019"].getstring(SQLStatusTab::kReason),
              "Database is skipped from backup since it matches exclusion filter.");
    EXPECT_EQ(tab["Vanished"].getint64(SQLStatusTab::kSkipReason), 6);
    EXPECT_EQ(tab["Vanished"].getstring(SQLStatusTab::kReason), "Database [Vanished] does not exists.");
    // Databases that are gone leave the content.
    EXPECT_EQ(Content(), (std::vector<std::string>{"Sales", "HR", "Dark", "Shipped", "Archive_2019"}));
    ASSERT_EQ(job.Journal("setFilesToXfer").size(), 1u);
    EXPECT_EQ(job.Journal("setFilesToXfer")[0].Get("value"), "2");
    EXPECT_EQ(job.Journal("setSkippedItemsToAdd").size(), 5u);
}

TEST_F(CollectSelectionTest, LogShippedDatabasesAreBackedUpInAFullPhaseAndVanishedOnesKeptWhenAsked) {
    JXGlobalParam::setProperty("SQLGenericOptions", "1");  // do not delete non-existent databases
    unsigned long word = 0;
    ASSERT_TRUE(job.m_genericOptions.getOptionValue(word, true));
    job.m_bkpPhase = JXSQL_BACKUP_FULL;
    ASSERT_TRUE(job.generateSQLCollectFile());
    EXPECT_EQ(root.ReadFile("results/LogDBList.jxf"), "HR\nSales\nShipped\n");
    EXPECT_EQ(Content().size(), 7u);
}

TEST_F(CollectSelectionTest, ADatabaseWhoseExistenceCannotBeAskedStaysInTheContent) {
    // The catalogue cannot be read for this question: existence is unknown.
    ASSERT_FALSE(instance.Db().Exec("ALTER TABLE databases RENAME TO databases_moved").IsError());
    EXPECT_FALSE(job.generateSQLCollectFile());
    EXPECT_EQ(Content().size(), 7u);
    ASSERT_FALSE(instance.Db().Exec("ALTER TABLE databases_moved RENAME TO databases").IsError());
}

TEST_F(CollectSelectionTest, EveryDatabaseSkippedIsAnEmptyCollect) {
    JXPlatformInfo().setString("MSSQLAgent", "sDBExclusionPatterns", "*");
    ASSERT_FALSE(job.m_contentFilters.LoadBackupSelectionPatterns(job.m_pSubclient).IsError());
    EXPECT_FALSE(job.generateSQLCollectFile());
    EXPECT_TRUE(job.m_errorControl.DidFailOnEmptyCollect());
}

TEST_F(CollectSelectionTest, OnDemandListTakesOnlyDatabasesThatExistInItsOrder) {
    root.WriteFile("ondemand.txt", "Sales\nGhost\n\nDark\n");
    JXPlatformInfo().setString("MSSQLAgent", "HOST/INST_daily_OnDemandFilePath", root.File("ondemand.txt"));
    ASSERT_TRUE(job.generateSQLCollectFile());
    EXPECT_EQ(root.ReadFile("results/LogDBList.jxf"), "Sales\nDark\n");
    auto tab = Tab();
    EXPECT_EQ(tab["Ghost"].getint64(SQLStatusTab::kSkipReason), 6);
    EXPECT_EQ(Content().size(), 7u);

    root.WriteFile("ondemand.txt", "Ghost\n");
    EXPECT_FALSE(job.generateSQLCollectFile());
}

}  // namespace
