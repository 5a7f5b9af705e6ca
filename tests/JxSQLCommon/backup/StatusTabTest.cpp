// The job status tab: records as the central server keeps them, counts of
// skipped databases, the database information and the tab read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JXAppMgr/StatusTabStore.h"
#include "JxSQLCommon/records/JobManagerMessages.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"

namespace {

using JobManager::SQLJobInfo;
using JobManager::SQLStatusTab;

class StatusTabTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        jxtest::MakeInstance(instance, {"Sales", "HR"});
    }

    // The stored records of the job, by database.
    std::vector<SQLStatusTab> Stored(uint64_t jobId) {
        std::vector<SQLStatusTab> out;
        for (const std::string& xml : statustab::Records(jobId, 2)) {
            SQLStatusTab tab;
            EXPECT_EQ(tab.unserialize(xml), kMsgOk);
            out.push_back(tab);
        }
        return out;
    }

    SqlSimInstance instance;
};

TEST_F(StatusTabTest, SkipIsCountedAsSkippedUnlessSkippedItemsAreMarkedFailed) {
    jxtest::BackupJobUnderTest job(31);
    ASSERT_TRUE(job.UpdateSkippedFailedCountAndJobInfo("Sales", "Database [Sales] is not online.", 1,
                                                       JobManager::kDBStatusSkippedAtCollect));
    job.m_markSkippedItemFailed = true;
    ASSERT_TRUE(job.UpdateSkippedFailedCountAndJobInfo("HR", "gone", 6, JobManager::kDBStatusSkippedAtCollect));
    ASSERT_TRUE(job.UpdateSkippedFailedCountAndJobInfo("Other", "in phase", 9, JobManager::kDBStatusSkippedInPhase));

    EXPECT_EQ(job.Journal("setSkippedItemsToAdd").size(), 1u);
    EXPECT_EQ(job.Journal("addBackupFileFailures").size(), 2u);
    EXPECT_EQ(job.m_loggedDbCount, 2u);
    auto tabs = Stored(31);
    ASSERT_EQ(tabs.size(), 3u);
    EXPECT_EQ(tabs[0].getint64(SQLStatusTab::kStatus), 6);
    EXPECT_EQ(tabs[0].getstring(SQLStatusTab::kReason), "Database [Sales] is not online.");
    EXPECT_EQ(tabs[0].getstring(SQLStatusTab::kFailureReason), "");
    EXPECT_EQ(tabs[0].getint64(SQLStatusTab::kSkipReason), 1);
    EXPECT_EQ(tabs[1].getint64(SQLStatusTab::kStatus), 7);
    EXPECT_EQ(tabs[1].getstring(SQLStatusTab::kFailureReason), "gone");
    EXPECT_EQ(tabs[2].getint64(SQLStatusTab::kStatus), 2);
    EXPECT_EQ(tabs[2].getint64(SQLStatusTab::kBackupPhase), 1);
}

TEST_F(StatusTabTest, DatabaseInformationFollowsEveryStatusButListedAndConverted) {
    jxtest::BackupJobUnderTest job(32);
    ASSERT_TRUE(job.UpdateStatusTabDBInfo("Sales", "", JobManager::kDBStatusListed, 0, JobManager::kDBPhaseNone));
    ASSERT_TRUE(job.UpdateStatusTabDBInfo("HR", "", JobManager::kDBStatusConverted, 0, JobManager::kDBPhaseFull));
    statustab::DatabaseInfo info;
    EXPECT_FALSE(statustab::GetDatabaseInfo(7, 11, "Sales", info));
    EXPECT_FALSE(statustab::GetDatabaseInfo(7, 11, "HR", info));

    ASSERT_TRUE(job.UpdateStatusTabDBInfo("Sales", "", JobManager::kDBStatusBackedUp, 0, JobManager::kDBPhaseNone));
    ASSERT_TRUE(statustab::GetDatabaseInfo(7, 11, "Sales", info));
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.recoveryModel, SQLPmn::kRecoveryFull);
    EXPECT_TRUE(info.hasLastBackupTime);
    EXPECT_FALSE(info.hasLastFailureTime);
    EXPECT_EQ(info.jobId, 32u);

    ASSERT_TRUE(job.UpdateStatusTabDBInfo("HR", "failed", JobManager::kDBStatusFailed, 0, JobManager::kDBPhaseNone));
    ASSERT_TRUE(statustab::GetDatabaseInfo(7, 11, "HR", info));
    EXPECT_TRUE(info.hasLastFailureTime);
    EXPECT_GT(info.lastFailureTime, 0);
}

TEST_F(StatusTabTest, RecoveryModelOfADatabaseThatCannotBeAskedIsNoneDetermined) {
    jxtest::BackupJobUnderTest job(33);
    SQLPmn::DatabaseRecoveryModel model = SQLPmn::kRecoveryFull;
    ASSERT_TRUE(job.GetDatabaseRecoveryModel("HOST/INST", "NoSuchDatabase", model));
    EXPECT_EQ(model, SQLPmn::kRecoveryNone);
    ASSERT_TRUE(job.UpdateStatusTabDBInfo("NoSuchDatabase", "x", JobManager::kDBStatusFailed, 0,
                                          JobManager::kDBPhaseNone));
    statustab::DatabaseInfo info;
    ASSERT_TRUE(statustab::GetDatabaseInfo(7, 11, "NoSuchDatabase", info));
    EXPECT_EQ(info.recoveryModel, SQLPmn::kRecoveryNone);

    EXPECT_FALSE(job.GetDatabaseRecoveryModel("", "Sales", model));
    EXPECT_FALSE(job.GetDatabaseRecoveryModel("HOST/NOPE", "Sales", model));
}

TEST_F(StatusTabTest, TabReadBackByARestartedJob) {
    jxtest::BackupJobUnderTest first(34);
    SQLJobInfo info;
    SQLDatabaseStatusMap map;
    bool noJobInfo = false;
    ASSERT_TRUE(first.GetDatabasesStatusInfo(info, map, noJobInfo));
    EXPECT_TRUE(noJobInfo);

    ASSERT_TRUE(first.UpdateStatusTabDBInfo("Sales", "", JobManager::kDBStatusBackedUp, 0, JobManager::kDBPhaseNone));
    ASSERT_TRUE(first.UpdateStatusTabDBInfo("HR", "", JobManager::kDBStatusConverted, 0, JobManager::kDBPhaseDifferential));
    ASSERT_TRUE(first.UpdateSkippedFailedCountAndJobInfo("Gone", "gone", 6, JobManager::kDBStatusSkippedAtCollect));

    jxtest::BackupJobUnderTest restarted(34);
    restarted.m_attempt = 2;
    noJobInfo = false;
    ASSERT_TRUE(restarted.GetDatabasesStatusInfo(info, map, noJobInfo));
    EXPECT_FALSE(noJobInfo);
    ASSERT_EQ(map.size(), 3u);
    EXPECT_EQ(map.at("sales").status, 1);   // keys ignore case
    EXPECT_EQ(map.at("HR").databasePhase, 3);       // database phase
    EXPECT_EQ(map.at("HR").backupPhase, 1);       // backup phase

    // The restarted full phase takes its own databases; the differential
    // phase takes those converted to it; skipped ones never come back.
    std::vector<std::string> names;
    ASSERT_TRUE(restarted.GetDBsFromJobStatusTabInfo(info, names, false));
    EXPECT_EQ(names, (std::vector<std::string>{"Sales", "HR"}));
    restarted.m_bkpPhase = JXSQL_BACKUP_DIFF;
    ASSERT_TRUE(restarted.GetDBsFromJobStatusTabInfo(info, names, false));
    EXPECT_EQ(names, (std::vector<std::string>{"HR"}));
    restarted.m_attempt = 1;
    ASSERT_TRUE(restarted.GetDBsFromJobStatusTabInfo(info, names, true));
    EXPECT_EQ(names, (std::vector<std::string>{"HR"}));
    restarted.m_bkpPhase = JXSQL_BACKUP_LOG;
    EXPECT_FALSE(restarted.GetDBsFromJobStatusTabInfo(info, names, true));
}

TEST_F(StatusTabTest, MissingRecordIsRefused) {
    jxtest::BackupJobUnderTest job(35);
    EXPECT_FALSE(job.UpdateStatusTabInformationToCS(nullptr));
    EXPECT_FALSE(job.UpdateDatabaseInformationToCS(nullptr));
    EXPECT_TRUE(job.InitializeDatabaseStatusRequest(nullptr, "Sales").IsError());
    SQLStatusTab tab;
    ASSERT_TRUE(job.InitializeDatabaseStatusRequest(&tab, "Sales").IsSuccess());
    EXPECT_EQ(tab.getint64(SQLStatusTab::kStatus), 5);
    EXPECT_EQ(tab.getstring(SQLStatusTab::kInstanceName), "HOST/INST");
}

}  // namespace
