// The per-database loop and one database's chain: what is restored, what is
// skipped, when the final recovery runs, and what each database's result is.
#include "JXAppMgr/AppModel.h"
#include "JxJobClient/JobJournal.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/SqlSimServerInfo.h"
#include "tests/JxSQLCommon/restore/RestoreJobFixture.h"

namespace {

class RestoreDatabases : public RestoreJobTest {
protected:
    void SetUp() override {
        RestoreJobTest::SetUp();
        ASSERT_TRUE(Initialize());
        ASSERT_TRUE(job.getRestoreOptions());
    }
    bool RestoreOne(const SqlRestoreDbInfo_t& db, std::list<SqlAFilesPerBackup_t> chain) {
        return job.restoreDB(db, chain);
    }
    bool RunLoop(std::list<SqlRestoreDbInfo_t> dbs) { return job.restoreDBS(dbs); }
};

TEST_F(RestoreDatabases, ChainRestoresOldestFirstThenRecovers) {
    EXPECT_TRUE(RestoreOne(Database("sales", 5), {Backup('D', 1), Backup('I', 2), Backup('L', 3), Backup('L', 4)}));
    EXPECT_EQ(job.restored, (std::vector<std::string>{"sales:D:1", "sales:I:2", "sales:L:3", "sales:L:4"}));
    EXPECT_EQ(job.recovered, (std::vector<std::string>{"sales"}));
}

TEST_F(RestoreDatabases, SkipRulesOfTheTaskAndTheSettings) {
    job.m_restoreOptions.optionFlags |= kRstOnlyFull;
    EXPECT_TRUE(RestoreOne(Database("sales", 5), {Backup('D', 1), Backup('I', 2), Backup('L', 3)}));
    EXPECT_EQ(job.restored, (std::vector<std::string>{"sales:D:1"}));

    job.restored.clear();
    job.m_restoreOptions.optionFlags = kRstOverwrite | kRstSkipFull;
    EXPECT_TRUE(RestoreOne(Database("sales", 5), {Backup('D', 1), Backup('L', 3)}));
    EXPECT_EQ(job.restored, (std::vector<std::string>{"sales:L:3"}));

    job.restored.clear();
    job.recovered.clear();
    job.m_restoreOptions.optionFlags = kRstOverwrite;
    JXPlatformInfo().setNumber("MSSQLAgent", "nSQLRestoreFilter", 'L');
    EXPECT_TRUE(RestoreOne(Database("sales", 5), {Backup('D', 1), Backup('L', 3), Backup('L', 4)}));
    EXPECT_EQ(job.restored, (std::vector<std::string>{"sales:D:1"}));
    EXPECT_EQ(job.recovered, (std::vector<std::string>{"sales"}));
}

TEST_F(RestoreDatabases, FailedBackupStopsTheChainAndOnlySystemDatabasesStillRecover) {
    job.failingBackups = {"sales:I:2", "msdb:I:2"};
    EXPECT_FALSE(RestoreOne(Database("sales", 5), {Backup('D', 1), Backup('I', 2), Backup('L', 3)}));
    EXPECT_EQ(job.restored, (std::vector<std::string>{"sales:D:1"}));
    EXPECT_TRUE(job.recovered.empty());

    // msdb must come back online, but its failed chain keeps it failed.
    job.restored.clear();
    EXPECT_FALSE(RestoreOne(Database("msdb", 4), {Backup('D', 1), Backup('I', 2), Backup('L', 3)}));
    EXPECT_EQ(job.recovered, (std::vector<std::string>{"msdb"}));

    // A backup type whose failures are ignored lets the chain go on.
    job.restored.clear();
    job.recovered.clear();
    JXPlatformInfo().setNumber("MSSQLAgent", "nIgnoreSQLRestoreError", 'I');
    EXPECT_TRUE(RestoreOne(Database("sales", 5), {Backup('D', 1), Backup('I', 2), Backup('L', 3)}));
    EXPECT_EQ(job.restored, (std::vector<std::string>{"sales:D:1", "sales:L:3"}));
}

TEST_F(RestoreDatabases, NoRecoveryAndStandbyLeaveUserDatabasesUnrecovered) {
    for (uint64_t bit : {kRstNoRecovery, kRstStandby}) {
        job.recovered.clear();
        job.m_restoreOptions.optionFlags = kRstOverwrite | bit;
        EXPECT_TRUE(RestoreOne(Database("sales", 5), {Backup('D', 1)}));
        EXPECT_TRUE(RestoreOne(Database("model", 3), {Backup('D', 1)}));
        EXPECT_EQ(job.recovered, (std::vector<std::string>{"model"}));
    }
}

TEST_F(RestoreDatabases, StandbyAndPartialGoWithTheLastAndFirstBackupsActuallyRestored) {
    job.m_restoreOptions.optionFlags = kRstOverwrite | kRstStandby | kRstPartial | kRstOnlyFull;
    EXPECT_TRUE(RestoreOne(Database("sales", 5), {Backup('D', 1), Backup('I', 2), Backup('L', 3)}));
    EXPECT_EQ(job.firstAndLast, (std::vector<std::string>{"first sales:D:1", "last sales:D:1"}));
    EXPECT_TRUE(job.recovered.empty());

    job.firstAndLast.clear();
    job.m_restoreOptions.optionFlags = kRstOverwrite | kRstStandby | kRstPartial | kRstSkipFull;
    JXPlatformInfo().setNumber("MSSQLAgent", "nSQLRestoreFilter", 'L');
    EXPECT_TRUE(RestoreOne(Database("sales", 5), {Backup('D', 1), Backup('I', 2), Backup('I', 4), Backup('L', 5)}));
    EXPECT_EQ(job.firstAndLast, (std::vector<std::string>{"first sales:I:2", "last sales:I:4"}));
    EXPECT_TRUE(Causes().empty());
}

TEST_F(RestoreDatabases, StandbyThatWasNotReachedFailsTheDatabaseWithItsReason) {
    // The last backup fails, and its type's failures are ignored: the chain
    // went on but the database is not in STANDBY.
    job.m_restoreOptions.optionFlags = kRstOverwrite | kRstStandby;
    JXPlatformInfo().setNumber("MSSQLAgent", "nIgnoreSQLRestoreError", 'L');
    job.failingBackups = {"sales:L:3"};
    EXPECT_FALSE(RestoreOne(Database("sales", 5), {Backup('D', 1), Backup('L', 3)}));
    EXPECT_EQ(Causes(), (std::vector<std::string>{jobmanager::JournalId(kCauseRestoreFailed)}));
    EXPECT_TRUE(job.recovered.empty());

    // Nothing left to restore at all.
    job.m_restoreOptions.optionFlags = kRstOverwrite | kRstStandby | kRstOnlyFull;
    EXPECT_FALSE(RestoreOne(Database("sales", 5), {Backup('L', 6)}));
    EXPECT_EQ(Causes().size(), 2u);

    // NORECOVERY wins over STANDBY and needs no last backup.
    job.m_restoreOptions.optionFlags = kRstOverwrite | kRstStandby | kRstNoRecovery;
    EXPECT_TRUE(RestoreOne(Database("sales", 5), {Backup('D', 1), Backup('L', 3)}));
}

TEST_F(RestoreDatabases, FileGroupRestoreGivesStandbyToTheLastBackupTheFilterLeaves) {
    job.m_restoreOptions.optionFlags = kRstOverwrite | kRstFileFileGroup | kRstStandby | kRstPartial;
    JXPlatformInfo().setNumber("MSSQLAgent", "nSQLRestoreFilter", 'L');
    SqlFFGRestoreInfo_t full;
    full.backupType = 'D';
    full.jobId = 1;
    SqlFFGRestoreInfo_t log = full;
    log.backupType = 'L';
    log.jobId = 2;
    job.ffgBackups = {full, log};
    std::list<SqlRestoreDbInfo_t> entries = {Database(std::string("sales") + '\x12' + "FG2", 5)};
    EXPECT_TRUE(job.restoreFileFileGroups(entries));
    EXPECT_EQ(job.firstAndLast, (std::vector<std::string>{"first sales\x12" "FG2:D:1", "last sales\x12" "FG2:D:1"}));

    // Every backup filtered out: nothing reached STANDBY.
    job.ffgBackups = {log};
    EXPECT_FALSE(job.restoreFileFileGroups(entries));
    EXPECT_EQ(Causes(), (std::vector<std::string>{jobmanager::JournalId(kCauseRestoreFailed)}));
}

TEST_F(RestoreDatabases, RestoreToDiskKeepsAnEarlierFailure) {
    job.m_restoreToDisk = true;
    job.m_restoreOptions.optionFlags = 0;  // no overwrite check for a restore to disk
    job.failingBackups = {"sales:L:3"};
    EXPECT_FALSE(RestoreOne(Database("sales", 5), {Backup('D', 1), Backup('L', 3), Backup('L', 4)}));
    EXPECT_EQ(job.restored, (std::vector<std::string>{"sales:D:1", "sales:L:4"}));
    EXPECT_TRUE(job.recovered.empty());

    // Log shipping stops at the failure.
    job.restored.clear();
    job.m_restoreOptions.optionFlags = kRstLogShippingOnly;
    EXPECT_FALSE(RestoreOne(Database("sales", 5), {Backup('D', 1), Backup('L', 3), Backup('L', 4)}));
    EXPECT_EQ(job.restored, (std::vector<std::string>{"sales:D:1"}));
}

TEST_F(RestoreDatabases, RefusalsBeforeAnythingIsRestored) {
    job.m_restoreOptions.optionFlags = 0;
    EXPECT_FALSE(RestoreOne(Database("sales", 5), {Backup('D', 1)}));
    EXPECT_EQ(Causes(), (std::vector<std::string>{jobmanager::JournalId(kCauseDatabaseExists)}));
    EXPECT_TRUE(RestoreOne(Database("newdb", 9), {Backup('D', 1)}));  // a new name needs no overwrite

    job.m_restoreOptions.optionFlags = kRstOverwrite;
    SqlAFilesPerBackup_t snapshot = Backup('D', 7);
    snapshot.backupMethod = 2;
    job.restored.clear();
    EXPECT_FALSE(RestoreOne(Database("sales", 5), {snapshot, Backup('L', 8)}));
    EXPECT_TRUE(job.restored.empty());

    ASSERT_TRUE(instance.SetServiceRunning(false).IsSuccess());
    EXPECT_FALSE(RestoreOne(Database("sales", 5), {Backup('D', 1)}));
    EXPECT_TRUE(job.restored.empty());
}

TEST_F(RestoreDatabases, LoopRecordsEachDatabaseAndCarriesOn) {
    job.failingBackups = {"hr:D:2"};
    job.chains["sales"] = {Backup('D', 1)};
    job.chains["hr"] = {Backup('D', 2)};
    // crm has no chain: its request fails.
    EXPECT_TRUE(RunLoop({Database("sales", 5), Database("hr", 6), Database("crm", 7)}));
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"5 sales", "3 hr", "3 crm"}));
    EXPECT_EQ(job.m_restoredDbCount, 1u);
    EXPECT_EQ(job.m_failedDbCount, 2u);
    EXPECT_EQ(Journal("setNumFailures2Add").size(), 2u);

    job.m_verifyOnly = true;
    EXPECT_TRUE(RunLoop({Database("sales", 5)}));
    EXPECT_EQ(Statuses().back(), "13 sales");
}

TEST_F(RestoreDatabases, AvailabilityGroupDatabasesAreSkippedWithTheirCause) {
    SqlSimAvailabilityGroupSpec group;
    group.name = "ag1";
    ASSERT_TRUE(instance.AddAvailabilityGroup(group).IsSuccess());
    ASSERT_TRUE(instance.JoinAvailabilityGroup("ag1", "hr").IsSuccess());
    job.chains["sales"] = {Backup('D', 1)};
    job.chains["hr"] = {Backup('D', 2)};
    EXPECT_TRUE(RunLoop({Database("hr", 6), Database("sales", 5)}));
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"4 hr", "5 sales"}));
    EXPECT_EQ(Causes(), (std::vector<std::string>{jobmanager::JournalId(kCauseInAvailabilityGroup)}));
    EXPECT_EQ(job.m_failedDbCount, 1u);
}

TEST_F(RestoreDatabases, FileGroupEntriesOfAnAvailabilityGroupDatabaseAreRefusedWithoutDroppingItsConnections) {
    SqlSimAvailabilityGroupSpec group;
    group.name = "ag1";
    ASSERT_TRUE(instance.AddAvailabilityGroup(group).IsSuccess());
    ASSERT_TRUE(instance.JoinAvailabilityGroup("ag1", "hr").IsSuccess());
    // A drop of hr's connections would fail and say so.
    ASSERT_TRUE(SqlSimServerInfo(instance).SetProperty(SqlSimServerInfo::kUnkillableConnection, "hr").IsSuccess());
    job.m_restoreOptions.optionFlags = kRstOverwrite | kRstFileFileGroup | kRstDropDbConnections;
    job.chains["hr"] = {Backup('D', 2)};
    EXPECT_TRUE(RunLoop({Database("hr\x12PRIMARY", 6), Database("hr\x12PRIMARY\x12hr_data", 6)}));
    EXPECT_TRUE(job.restored.empty());
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"4 hr"}));
    EXPECT_EQ(Causes(), (std::vector<std::string>{jobmanager::JournalId(kCauseInAvailabilityGroup)}))
        << "no connection drop was tried";
    EXPECT_EQ(job.m_failedDbCount, 1u);
    EXPECT_EQ(job.m_restoredDbCount, 0u);
}

TEST_F(RestoreDatabases, UnreachableInstanceFailsEveryDatabaseNamingIt) {
    ASSERT_TRUE(instance.SetServiceRunning(false).IsSuccess());
    job.chains["sales"] = {Backup('D', 1)};
    EXPECT_TRUE(RunLoop({Database("sales", 5), Database("hr", 6)}));
    EXPECT_TRUE(job.restored.empty());
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"3 sales", "3 hr"}));
    auto causes = Journal("setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    ASSERT_FALSE(causes[0].List("args").empty());
    EXPECT_NE(causes[0].List("args")[0].find("node1/INST"), std::string::npos);
}

TEST_F(RestoreDatabases, StopBetweenBackupsAndDatabasesLeavesTheRestSkipped) {
    job.chains["sales"] = {Backup('D', 1), Backup('L', 2)};
    job.chains["hr"] = {Backup('D', 3)};
    job.chains["crm"] = {Backup('D', 4)};
    job.onBackup = [](const std::string& key) {
        if (key == "sales:D:1") JXJobCtrlClient::requestStop(42);
    };
    EXPECT_TRUE(RunLoop({Database("sales", 5), Database("hr", 6), Database("crm", 7)}));
    EXPECT_EQ(job.restored, (std::vector<std::string>{"sales:D:1"}));
    EXPECT_TRUE(job.recovered.empty());
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"3 sales", "4 hr", "4 crm"}));

    // A failure that must end the job stops the loop the same way.
    JXJobCtrlClient::withdrawStop(42);
    job.onBackup = nullptr;
    job.restored.clear();
    job.failingBackups = {"sales:D:1"};
    job.onBackup = [this](const std::string& key) {
        if (key == "sales:D:1") job.m_stopJob = true;
    };
    EXPECT_TRUE(RunLoop({Database("sales", 5), Database("hr", 6)}));
    EXPECT_TRUE(job.restored.empty());
    EXPECT_EQ(Statuses().back(), "4 hr");
}

TEST_F(RestoreDatabases, StageFolderChoice) {
    const std::string gui = root.File("stage/gui/x");
    const std::string key = root.File("stage/key/x");
    const std::string guiFolder = gui.substr(0, gui.size() - 2);
    const std::string keyFolder = key.substr(0, key.size() - 2);
    job.m_restoreOptions.destinationClientId = 2;
    EXPECT_EQ(job.ChooseStageFolderForTest(), root.path() + "/jobresults/42");

    JXPlatformInfo().setString("MSSQLAgent", "sStageFolderAuxCopyRestore", keyFolder);
    EXPECT_EQ(job.ChooseStageFolderForTest(), keyFolder);

    AppModel::Set("apptype/2", "stagingPathForRestoresEnabled", "1");
    AppModel::Set("apptype/2", "stagingPath", guiFolder);
    EXPECT_EQ(job.ChooseStageFolderForTest(), guiFolder);
    auto events = Journal("event");
    ASSERT_EQ(events.size(), 1u);

    AppModel::Set("apptype/2", "stagingPath", root.path() + "/missing");
    EXPECT_EQ(job.ChooseStageFolderForTest(), root.path() + "/jobresults/42");
}

}  // namespace
