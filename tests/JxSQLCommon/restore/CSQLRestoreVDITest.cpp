// One backup's restore through the virtual device: relocation and standby
// checks before anything runs, and the clean-up on every way out.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tests/JxSQLCommon/restore/FakeSqlServerAccount.h"
#include "tests/JxSQLCommon/restore/RecordingRstJobClient.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/support/TestRoot.h"

namespace {

class CSQLRestoreVDITest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = "host1";
        ASSERT_TRUE(instance.Create(server).IsSuccess());
        SqlSimDatabaseSpec sales;
        sales.name = "sales";
        sales.userAccess = "SINGLE_USER";
        ASSERT_TRUE(instance.AddDatabase(sales).IsSuccess());
        job.m_sServername = "host1";
        job.m_sqlMajorVersion = 15;
        job.m_pRstJobClnt = client;
        db.sDbName = "sales";
        db.databaseId = 5;
        backup.backupType = 'D';
        backup.backupSize = 4096;
    }

    SqlSimInstance instance;
    FakeSqlServerAccount account;
    ScopedSqlServerAccount installed{account};
    HookCountingJob job;
    std::shared_ptr<RecordingRstJobClient> client = std::make_shared<RecordingRstJobClient>();
    SqlRestoreDbInfo_t db;
    SqlAFilesPerBackup_t backup;
};

TEST_F(CSQLRestoreVDITest, RelocationPairsRunUntilEitherListEndsAndABadPathStopsEverything) {
    const std::string a = root.path() + "/new/a", b = root.path() + "/new/b";
    account.writable = {a, b};
    db.newFiles = {a + "/1.mdf", b + "/2.ldf", root.path() + "/new/c/3.ndf"};
    db.relocationList = {"one", "two"};
    job.m_sServername = "nosuchhost";  // stops the restore after the relocation
    EXPECT_FALSE(job.restoreVDIBackup(db, backup, {}, {}));
    EXPECT_EQ(std::count_if(account.calls.begin(), account.calls.end(),
                            [](const std::string& c) { return c.rfind("access ", 0) == 0; }),
              2);
    EXPECT_TRUE(client->causes.empty());

    db.newFiles = {"relative/1.mdf"};
    EXPECT_FALSE(job.restoreVDIBackup(db, backup, {}, {}));
    EXPECT_EQ(client->causes, (std::vector<int>{kCauseRestoreDirectory}));
    EXPECT_EQ(client->arguments, (std::vector<std::string>{"relative", "22", "sales"}));
    EXPECT_EQ(job.preHooks, 0);
    EXPECT_EQ(job.postHooks, 0);
}

TEST_F(CSQLRestoreVDITest, UnwritableRelocationDirectoryIsReportedAsNotAccessible) {
    db.newFiles = {root.path() + "/locked/1.mdf"};
    db.relocationList = {"one"};
    EXPECT_FALSE(job.restoreVDIBackup(db, backup, {}, {}));
    EXPECT_EQ(client->causes, (std::vector<int>{kCauseRestoreDirectoryNotAccessible}));
    EXPECT_EQ(client->arguments, (std::vector<std::string>{root.path() + "/locked"}));
}

TEST_F(CSQLRestoreVDITest, StandbyOnTheLastBackupNeedsAnUndoPathWhoseDirectorySqlServerMayWrite) {
    job.m_restoreOptions.optionFlags = kRstStandby;
    job.m_isLastBackupOfChain = true;
    EXPECT_FALSE(job.restoreVDIBackup(db, backup, {}, {}));
    EXPECT_EQ(client->causes, (std::vector<int>{kCauseNoUndoPath}));

    // The undo file does not exist yet: its directory is what must be writable.
    job.m_restoreOptions.standbyUndoFile = root.path() + "/undo/sales.tuf";
    client->causes.clear();
    account.calls.clear();
    EXPECT_FALSE(job.restoreVDIBackup(db, backup, {}, {}));
    EXPECT_EQ(client->causes, (std::vector<int>{kCauseDirectoryNotAccessible}));
    EXPECT_NE(std::find(account.calls.begin(), account.calls.end(), "access " + root.path() + "/undo as 999:998"),
              account.calls.end());
    EXPECT_EQ(account.euid, 0u);
}

TEST_F(CSQLRestoreVDITest, BackupWithoutItsSubclientFailsWithoutTransferOrHooksAndReopensTheDatabase) {
    backup.applicationId = 424242;  // no such subclient in the model
    backup.archiveFiles.push_back({1, 2, 0, ""});
    job.m_restoreOptions.optionFlags = kRstDropDbConnections;
    EXPECT_FALSE(job.restoreVDIBackup(db, backup, {}, {}));
    EXPECT_EQ(job.preHooks, 0);
    EXPECT_EQ(job.postHooks, 0);
    EXPECT_TRUE(job.m_dataTransferHandler.getStreamWriterMap().empty());
    bool singleUser = true;
    CsqlDMO dmo;
    ASSERT_TRUE(dmo.isDatabaseInSingleUserMode("host1", "sales", singleUser));
    EXPECT_FALSE(singleUser);
}

}  // namespace
