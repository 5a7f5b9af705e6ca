// What a revert restore checks before it reverts.
#include <gtest/gtest.h>

#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/support/TestRoot.h"

namespace {

SqlAFilesPerBackup_t Snap(char type, uint64_t jobId, uint64_t method, uint64_t cell) {
    SqlAFilesPerBackup_t backup;
    backup.backupType = static_cast<uint32_t>(type);
    backup.jobId = jobId;
    backup.backupMethod = method;
    backup.applicationId = 30 + jobId;
    backup.endTime = 1000 + jobId;
    if (cell != 0) backup.archiveFiles.push_back(AFileInfo_t{cell, 9, 0, ""});
    return backup;
}

TEST(RevertChecksTest, RevertNeedsAPointInTimeAndNoStepOrStandbyRestore) {
    jxtest::TestRoot root;
    TestRestoreJob job;
    EXPECT_FALSE(job.validateIfRevertPossible()) << "latest data";
    job.m_restoreOptions.pointInTime = 1700000000;
    EXPECT_TRUE(job.validateIfRevertPossible());
    for (uint64_t flag : {0x10u, 0x80u}) {
        job.m_restoreOptions.optionFlags = flag;
        EXPECT_FALSE(job.validateIfRevertPossible()) << flag;
    }
}

TEST(RevertChecksTest, SnapshotJobsOfAChainAreFoundByTypeAndMethodTheLastWinning) {
    jxtest::TestRoot root;
    TestRestoreJob job;
    std::list<SqlAFilesPerBackup_t> chain{Snap('D', 10, 0, 2), Snap('D', 11, 2, 0), Snap('D', 12, 3, 4),
                                          Snap('L', 13, 2, 4), Snap('I', 14, 1, 4)};
    SqlSnapJobDetails_t full, diff;
    ASSERT_TRUE(job.GetSnapJobDetailsFromBackupList('D', full, chain));
    EXPECT_EQ(12u, full.jobId);
    EXPECT_EQ('D', full.jobType);
    EXPECT_EQ(1012u, full.jobEndTime);
    EXPECT_EQ(42u, full.appId);
    EXPECT_EQ(4u, full.jxCellId);
    ASSERT_TRUE(job.GetSnapJobDetailsFromBackupList('I', diff, chain));
    EXPECT_EQ(0u, diff.jobId) << "method 1 is not a snapshot method here";

    uint64_t jobId = 0, appId = 0, cell = 0;
    chain.pop_front();
    chain.push_back(Snap('D', 15, 2, 0));
    ASSERT_TRUE(job.getBackupJobAppId('D', jobId, appId, cell, chain));
    EXPECT_EQ(15u, jobId);
    EXPECT_EQ(45u, appId);
    EXPECT_EQ(0u, cell) << "no archive file";
}

TEST(RevertChecksTest, SystemDatabasesAreFoundByTheirIds) {
    jxtest::TestRoot root;
    SqlSimInstance instance;
    SqlSimServerSpec server;
    server.name = "node1/INST";
    ASSERT_TRUE(instance.Create(server).IsSuccess());
    SqlSimDatabaseSpec sales;
    sales.name = "sales";
    ASSERT_TRUE(instance.AddDatabase(sales).IsSuccess());
    TestRestoreJob job;
    job.m_sServername = "node1/INST";
    SqlRestoreDbInfo_t db;
    db.sDbName = "sales";
    job.m_restoreDbList = {db};
    EXPECT_FALSE(job.checkIfSystemDbsArePresent());
    db.sDbName = "gone";
    job.m_restoreDbList.push_back(db);
    EXPECT_FALSE(job.checkIfSystemDbsArePresent()) << "an unknown database is no system database";
    db.sDbName = "msdb";
    job.m_restoreDbList.push_back(db);
    EXPECT_TRUE(job.checkIfSystemDbsArePresent());
}

}  // namespace
