// The schedule's backups of Sales after it was restored in place. A restore
// to the end of its newest backup leaves the log chain going on from there:
// the next log jobs continue the stored chain. A restore that stops short of
// the newest backup starts no chain: the next log job cannot continue one,
// and no later restore mixes the logs of the old and the new history. A
// database left RESTORING or in STANDBY is not backed up at all.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JXAppMgr/AppModel.h"
#include "JxSQLCommon/records/JobManagerMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "tests/JxSQLCommon/restore/RestoreEndToEndFixture.h"
#include "tests/JxSQLCommon/restore/SalesRestoreJobs.h"
#include "tests/JxSQLCommon/restore/SubclientBackupJobs.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

using JobManager::SQLStatusTab;
using vditest::DatabaseState;

class LogBackupsAfterRestore : public SalesRestoreJobs {
protected:
    // Restore job 60 brings Sales back in place to the latest time over
    // what changed since its last backup.
    void InPlaceToTheLatest() {
        const std::vector<std::string> lastBackedUp = Contents("Sales");
        Change(9);
        ASSERT_EQ(Restore(60, SalesTask(kRstOverwrite)), 1) << CauseTexts(60);
        ExpectOnlineHolding("Sales", lastBackedUp);
    }

    // Each of `jobs` (id, phase) runs after a change, completes and stores
    // its set of Sales.
    void EachCompletes(const std::vector<std::pair<uint64_t, std::string>>& jobs) {
        for (const auto& [jobId, phase] : jobs) {
            SCOPED_TRACE("backup job " + std::to_string(jobId));
            Change(jobId);
            EXPECT_EQ(Backup(jobId, phase), "1") << CauseTexts(jobId);
            EXPECT_EQ(jxtest::StoredSetTypes(jobId, "Sales"), phase == "-L" ? "L" : phase == "-I" ? "I" : "D");
        }
    }

    // Restore job `jobId` of Sales as "Copy" to the latest time: Copy is
    // ONLINE and equals Sales.
    void CopyEqualsSales(uint64_t jobId) {
        EXPECT_EQ(Restore(jobId, SalesTask(0, "Copy")), 1) << CauseTexts(jobId);
        ExpectOnlineHolding("Copy", Contents("Sales"));
    }

    // Log job `jobId` after a change: it does not go on from the stored
    // chain; Sales fails with SQL Server's reason and nothing of it is
    // stored. Then a full and a log (jobs `jobId` + 1 and + 2) start a new
    // chain, which a copy restored to the latest time (job 69) equals.
    void NoLogChainUntilTheNextFull(uint64_t jobId) {
        Change(jobId);
        EXPECT_NE(Backup(jobId, "-L"), "1");
        const auto rows = StatusRows(jobId);
        ASSERT_EQ(rows.count("Sales"), 1u);
        EXPECT_EQ(rows.at("Sales").getint64(SQLStatusTab::kStatus), JobManager::kDBStatusFailed);
        EXPECT_NE(CauseTexts(jobId).find("there is no current database backup"), std::string::npos)
            << CauseTexts(jobId);
        EXPECT_EQ(jxtest::StoredSetTypes(jobId, "Sales"), "");
        EachCompletes({{jobId + 1, "-D"}, {jobId + 2, "-L"}});
        CopyEqualsSales(69);
    }

    // Log job `jobId` while Sales is in `state`: refused, Sales failed or
    // skipped with a reason naming its state, and nothing stored.
    void LogJobRefused(uint64_t jobId, const std::string& state) {
        EXPECT_NE(Backup(jobId, "-L"), "1");
        const auto rows = StatusRows(jobId);
        ASSERT_EQ(rows.count("Sales"), 1u);
        EXPECT_NE(rows.at("Sales").getint64(SQLStatusTab::kStatus), JobManager::kDBStatusBackedUp);
        EXPECT_NE(rows.at("Sales").getstring(SQLStatusTab::kReason).find(state), std::string::npos)
            << rows.at("Sales").getstring(SQLStatusTab::kReason);
        EXPECT_EQ(jxtest::StoredSetTypes(jobId, "Sales"), "");
        EXPECT_EQ(JxServeStoredBackupSets().size(), 2u) << "the full and the log only";
    }
};

TEST_F(LogBackupsAfterRestore, ADifferentialAndALogAfterAnInPlaceRestoreToTheLatestComplete) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    ASSERT_NO_FATAL_FAILURE(InPlaceToTheLatest());
    EachCompletes({{52, "-I"}, {53, "-L"}});
    CopyEqualsSales(61);
}

TEST_F(LogBackupsAfterRestore, TwoLogsAfterAnInPlaceRestoreToTheLatestComplete) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    ASSERT_NO_FATAL_FAILURE(InPlaceToTheLatest());
    EachCompletes({{52, "-L"}, {53, "-L"}});
    CopyEqualsSales(61);
}

// A database dropped after its full and log comes back under its own name
// with its backup's recovery model, and its logs go on.
TEST_F(LogBackupsAfterRestore, ADroppedDatabaseRestoredUnderItsOwnNameComesBackAndItsLogsGoOn) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    const std::vector<std::string> lastBackedUp = Contents("Sales");
    ASSERT_NO_FATAL_FAILURE(DropSales());
    ASSERT_EQ(Restore(60, SalesTask(0)), 1) << CauseTexts(60);
    ExpectOnlineHolding("Sales", lastBackedUp);
    EXPECT_EQ(RecoveryModelOf("Sales"), "FULL");
    EachCompletes({{52, "-L"}});
    CopyEqualsSales(61);
}

// Sales switched to SIMPLE after its full: restored from that full, it
// takes the full's recovery model back, and with it the log chain.
TEST_F(LogBackupsAfterRestore, AFullRestoreTakesTheRecoveryModelOfItsBackupAndItsLogChain) {
    Change(1);
    ASSERT_EQ(Backup(50, "-D"), "1");
    const std::vector<std::string> lastBackedUp = Contents("Sales");
    ASSERT_NO_FATAL_FAILURE(SetRecoveryModel("SIMPLE"));
    Change(2);
    ASSERT_EQ(Restore(60, SalesTask(kRstOverwrite)), 1) << CauseTexts(60);
    ExpectOnlineHolding("Sales", lastBackedUp);
    EXPECT_EQ(RecoveryModelOf("Sales"), "FULL");
    EachCompletes({{51, "-L"}});
    CopyEqualsSales(61);
}

// With the conversion rules on, a restore to the latest time is no
// point-in-time restore: the central server converts nothing, and the logs
// after it are backed up as logs.
TEST_F(LogBackupsAfterRestore, TwoLogsAfterAnInPlaceRestoreToTheLatestWithTheConversionRulesOn) {
    AppModel::Set("subclient/1234", "sqlSubclientType", "1");
    AppModel::Set("subclient/1234", "bkpConversion", "1");
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    ASSERT_NO_FATAL_FAILURE(InPlaceToTheLatest());
    EachCompletes({{52, "-L"}, {53, "-L"}});
    for (uint64_t jobId : {52, 53}) EXPECT_TRUE(Journal(jobId, "convertToFull").empty()) << jobId;
    CopyEqualsSales(61);
}

// A point at log 51's end while log 52 is stored: Sales's log no longer
// leads to log 52, and a log after the restore would sit beside it.
TEST_F(LogBackupsAfterRestore, AnInPlaceRestoreToAnOlderLogsEndStartsNoLogChain) {
    const std::vector<std::string> afterFirstLog = FullAndTwoLogs();
    ASSERT_EQ(Restore(60, SalesTask(kRstOverwrite | kRstPointInTime, "", EndOf(51))), 1) << CauseTexts(60);
    ExpectOnlineHolding("Sales", afterFirstLog);
    NoLogChainUntilTheNextFull(53);
}

// The same when a restore failed on log 52 and a recovery-only task brought
// Sales online at log 51.
TEST_F(LogBackupsAfterRestore, ARestoreRecoveredAtAnOlderLogStartsNoLogChain) {
    const std::vector<std::string> afterFirstLog = FullAndTwoLogs();
    ASSERT_EQ(RestoreWhileUnreadable(60, SalesTask(kRstOverwrite), 52), 2);
    ASSERT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_RESTORING);
    ASSERT_EQ(Restore(61, SalesTask(kRstRecoveryOnly)), 1) << CauseTexts(61);
    ExpectOnlineHolding("Sales", afterFirstLog);
    NoLogChainUntilTheNextFull(53);
}

// BULK_LOGGED keeps the log chain as FULL does.
class LogBackupsAfterRestoreInBulkLogged : public LogBackupsAfterRestore {
protected:
    LogBackupsAfterRestoreInBulkLogged() { recoveryModel = "BULK_LOGGED"; }
};

TEST_F(LogBackupsAfterRestoreInBulkLogged, ALogAfterAnInPlaceRestoreToTheLatestCompletes) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    ASSERT_NO_FATAL_FAILURE(InPlaceToTheLatest());
    EachCompletes({{52, "-L"}});
    CopyEqualsSales(61);
}

TEST_F(LogBackupsAfterRestore, ALogJobOfARestoringDatabaseIsRefused) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    ASSERT_EQ(Restore(60, SalesTask(kRstOverwrite | kRstNoRecovery)), 1) << CauseTexts(60);
    ASSERT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_RESTORING);
    LogJobRefused(52, "RESTORING");
}

TEST_F(LogBackupsAfterRestore, ALogJobOfAStandbyDatabaseIsRefused) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    ASSERT_EQ(Restore(60, SalesTask(kRstOverwrite | kRstStandby)), 1) << CauseTexts(60);
    ASSERT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_STANDBY);
    LogJobRefused(52, "STANDBY");
}

// The restore ends at differential 53 (on full 50, past the copy-only full
// 52): the next log goes on from the differential.
TEST_F(LogBackupsAfterRestore, ALogAfterAnInPlaceRestoreEndingAtADifferentialPastACopyOnlyFullContinuesIt) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    ASSERT_EQ(Backup(52, "-C"), "1");
    Change(4);
    ASSERT_EQ(Backup(53, "-I"), "1");
    ASSERT_NO_FATAL_FAILURE(InPlaceToTheLatest());
    EachCompletes({{54, "-L"}});
    CopyEqualsSales(61);
}

// Subclient 1234 of instance 8 backing Sales up by snapshots, its log jobs
// streamed, and reverts of Sales in place.
class LogBackupsAfterRevert : public RestoreEndToEnd {
protected:
    void SetUp() override {
        RestoreEndToEnd::SetUp();
        PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, true);
        task.sourceClientId = 2;
        task.destinationClientId = 2;
        task.optionFlags = kRstOverwrite;
    }

    // A snapshot full (job 100) and a log (job 200) after changes, then
    // revert job 42 to the latest time.
    void SnapshotFullLogAndRevert() {
        ChangeOf("Sales", 1);
        ASSERT_EQ(RunSubclientBackup(100, "-D"), "1");
        ChangeOf("Sales", 2);
        ASSERT_EQ(RunSubclientBackup(200, "-L"), "1");
        ASSERT_NO_FATAL_FAILURE(RevertToTheLatest(42));
    }

    // Revert job `jobId` of Sales to after its last backup, over a change
    // made since: Sales is ONLINE and holds what it held at that backup.
    void RevertToTheLatest(uint64_t jobId) {
        const std::vector<std::string> lastBackedUp = Contents("Sales");
        ChangeOf("Sales", jobId);
        task.pointInTime = static_cast<uint64_t>(std::time(nullptr)) + 3600;
        ASSERT_TRUE(EvTask::setProperty(jobId, "schedulerOption7", "1"));
        int status = 0;
        (void)Run(jobId, &status);  // judged by the status it reported
        EXPECT_EQ(status, 1) << "revert job " << jobId;
        EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
        EXPECT_TRUE(Contents("Sales") == lastBackedUp);
    }

    // Each of `jobs` (id, phase) runs after a change and completes.
    void EachCompletes(const std::vector<std::pair<uint64_t, std::string>>& jobs) {
        for (const auto& [jobId, phase] : jobs) {
            ChangeOf("Sales", jobId);
            EXPECT_EQ(RunSubclientBackup(jobId, phase), "1") << "backup job " << jobId;
        }
    }
};

// The backups after the revert continue the chain: a second revert brings
// Sales back to the last of them (a copy would need the snapshot, which
// only a revert in place reads).
TEST_F(LogBackupsAfterRevert, TwoLogsAfterARevertToTheLatestComplete) {
    ASSERT_NO_FATAL_FAILURE(SnapshotFullLogAndRevert());
    EachCompletes({{300, "-L"}, {400, "-L"}});
    RevertToTheLatest(43);
}

TEST_F(LogBackupsAfterRevert, ADifferentialAndALogAfterARevertToTheLatestComplete) {
    ASSERT_NO_FATAL_FAILURE(SnapshotFullLogAndRevert());
    EachCompletes({{300, "-I"}, {400, "-L"}});
    RevertToTheLatest(43);
}

// With the conversion rules on, the central server counts a revert as a
// point-in-time restore: the first log job after it converts Sales to a
// full, its full phase takes a snapshot, and the log after that is a log.
TEST_F(LogBackupsAfterRevert, ALogAfterARevertToTheLatestWithTheConversionRulesOnIsConvertedToAFull) {
    ASSERT_TRUE(AppModel::Set("subclient/1234", "sqlSubclientType", "1"));
    ASSERT_TRUE(AppModel::Set("subclient/1234", "bkpConversion", "1"));
    ASSERT_NO_FATAL_FAILURE(SnapshotFullLogAndRevert());
    ChangeOf("Sales", 3);
    EXPECT_EQ(RunSubclientBackup(300, "-L"), "1");
    EXPECT_TRUE(jxtest::JobAnnounced(300, kEventPointInTimeRestored));
    EXPECT_EQ(jxtest::JobJournal(300, "convertToFull").size(), 1u);
    EXPECT_EQ(jxtest::StoredSetTypes(300, "Sales"), "");
    SnapshotBackupJob converted;
    EXPECT_TRUE(jxtest::RunBackupPhase(converted, 300, "-D", 1, {"-type", "2"}));
    EXPECT_EQ(jxtest::StoredSetTypes(300, "Sales"), "D");
    EachCompletes({{400, "-L"}});
    EXPECT_TRUE(jxtest::JobJournal(400, "convertToFull").empty());
    EXPECT_EQ(jxtest::StoredSetTypes(400, "Sales"), "L");
    RevertToTheLatest(43);
}

}  // namespace
