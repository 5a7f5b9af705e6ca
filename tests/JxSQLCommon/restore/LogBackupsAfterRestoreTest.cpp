// The schedule's backups of Sales after it was restored in place. A restore
// to the end of its newest backup (a point past it included) leaves the log
// chain going on from there: the next log jobs continue the stored chain. A
// restore that stops short of the newest backup starts no chain: the next
// log job cannot continue one, and no later restore mixes the logs of the
// old and the new history. A differential after a restore holds what the
// restore brought back. A database left RESTORING or in STANDBY is not
// backed up at all, streamed or by snapshot.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JXAppMgr/AppModel.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXGlobalParam.h"
#include "JxSQLCommon/records/JobManagerMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxsqlDMO/SqlSimBackupRefusal.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/restore/RestoreEndToEndFixture.h"
#include "tests/JxSQLCommon/restore/SalesRestoreJobs.h"
#include "tests/JxSQLCommon/restore/SubclientBackupJobs.h"
#include "tests/support/WallSecond.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

using JobManager::SQLStatusTab;
using vditest::DatabaseState;

class LogBackupsAfterRestore : public SalesRestoreJobs {
protected:
    // Restore job `jobId` brings Sales back in place to the latest time (or
    // with `flags`, to `pointInTime`) over what changed since its last
    // backup.
    void InPlaceToTheLatest(uint64_t jobId = 60, uint64_t flags = 0, uint64_t pointInTime = 0) {
        const std::vector<std::string> lastBackedUp = Contents("Sales");
        Change(jobId);
        ASSERT_EQ(Restore(jobId, SalesTask(kRstOverwrite | flags, "", pointInTime)), 1) << CauseTexts(jobId);
        ExpectOnlineHolding("Sales", lastBackedUp);
    }

    // Restores of Sales to the latest time, as a new name (job `jobId`) and
    // in place (job `jobId` + 1), each equal to Sales.
    void LatestRestoresEqualSales(uint64_t jobId) {
        CopyEqualsSales(jobId);
        InPlaceToTheLatest(jobId + 1);
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
        RefusedWith(jobId, "-L", "BACKUP LOG cannot be performed because there is no current database backup.");
        EachCompletes({{jobId + 1, "-D"}, {jobId + 2, "-L"}});
        CopyEqualsSales(69);
    }

    // Backup job `jobId` of `phase` after a change: Sales fails with SQL
    // Server's refusal `cause` and nothing of it is stored.
    void RefusedWith(uint64_t jobId, const std::string& phase, const std::string& cause) {
        Change(jobId);
        EXPECT_NE(Backup(jobId, phase), "1");
        const auto rows = StatusRows(jobId);
        ASSERT_EQ(rows.count("Sales"), 1u);
        EXPECT_EQ(rows.at("Sales").getint64(SQLStatusTab::kStatus), JobManager::kDBStatusFailed);
        EXPECT_NE(CauseTexts(jobId).find(cause), std::string::npos) << CauseTexts(jobId);
        EXPECT_EQ(jxtest::StoredSetTypes(jobId, "Sales"), "");
    }

    // Full 50 and log 51, then Sales dropped and created again: the new
    // Sales takes the dropped one's id. Returns the dropped one's contents.
    std::vector<std::string> SalesCreatedAgain() {
        FullAndLog();
        const std::vector<std::string> dropped = Contents("Sales");
        int64_t droppedId = 0;
        int64_t createdId = 0;
        EXPECT_FALSE(instance.DatabaseId("Sales", droppedId).IsError());
        DropSales();
        CreateSales(&createdId);
        EXPECT_EQ(createdId, droppedId);
        return dropped;
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

// Log 51's changes lie in extents nothing after the restore touches: the
// differential holds them because the restore wrote them.
TEST_F(LogBackupsAfterRestore, ADifferentialAndALogAfterAnInPlaceRestoreToTheLatestComplete) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    ASSERT_NO_FATAL_FAILURE(InPlaceToTheLatest());
    EachCompletes({{52, "-I"}, {53, "-L"}});
    LatestRestoresEqualSales(61);
}

TEST_F(LogBackupsAfterRestore, ADifferentialAloneAfterAnInPlaceRestoreToTheLatestHoldsWhatTheRestoreBroughtBack) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    ASSERT_NO_FATAL_FAILURE(InPlaceToTheLatest());
    EachCompletes({{52, "-I"}});
    LatestRestoresEqualSales(61);
}

TEST_F(LogBackupsAfterRestore, ADifferentialAfterAnInPlaceRestoreToAnOlderLogsEndHoldsWhatTheRestoreBroughtBack) {
    const std::vector<std::string> afterFirstLog = FullAndTwoLogs();
    ASSERT_EQ(Restore(60, SalesTask(kRstOverwrite | kRstPointInTime, "", EndOf(51))), 1) << CauseTexts(60);
    ExpectOnlineHolding("Sales", afterFirstLog);
    EachCompletes({{53, "-I"}});
    LatestRestoresEqualSales(61);
}

// The restore ends at differential 51: the next differential holds what
// differential 51 brought back.
TEST_F(LogBackupsAfterRestore, ADifferentialAfterAnInPlaceRestoreEndingAtADifferentialHoldsWhatItBroughtBack) {
    Change(1, pastMs);
    ASSERT_EQ(Backup(50, "-D"), "1");
    EachCompletes({{51, "-I"}});
    ASSERT_NO_FATAL_FAILURE(InPlaceToTheLatest());
    EachCompletes({{52, "-I"}});
    LatestRestoresEqualSales(61);
}

// The task carries the point-in-time flag with a time an hour past log 51:
// the restore ends at log 51's end, reaching no stop inside it.
TEST_F(LogBackupsAfterRestore, TwoLogsAfterAnInPlaceRestoreToAPointPastTheNewestBackupComplete) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    ASSERT_NO_FATAL_FAILURE(InPlaceToTheLatest(60, kRstPointInTime, EndOf(51) + 3600));
    EachCompletes({{52, "-L"}, {53, "-L"}});
    CopyEqualsSales(61);
}

// Log 52's records bear a time past the point: the restore stops inside the
// newest log, which starts a new recovery path.
TEST_F(LogBackupsAfterRestore, AnInPlaceRestoreStoppingInsideTheNewestLogStartsNoLogChain) {
    const std::vector<std::string> afterFirstLog = FullAndTwoLogs();
    ASSERT_EQ(Restore(60, SalesTask(kRstOverwrite | kRstPointInTime, "", EndOf(51) + 3)), 1) << CauseTexts(60);
    ExpectOnlineHolding("Sales", afterFirstLog);
    NoLogChainUntilTheNextFull(53);
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

// Sales created again has no full until its own: its differential and its
// log are refused as SQL Server refuses them, and once it has its full its
// logs go on and a restore to the latest equals it.
TEST_F(LogBackupsAfterRestore, ADatabaseCreatedAgainUnderADroppedOnesIdHasNoBackupUntilItsOwnFull) {
    ASSERT_NO_FATAL_FAILURE(SalesCreatedAgain());
    RefusedWith(52, "-I",
                "Cannot perform a differential backup for database \"Sales\", because a current database backup "
                "does not exist.");
    NoLogChainUntilTheNextFull(53);
}

// Guard: the dropped Sales's full and log still restore as a new name once
// the new Sales has a full of its own.
TEST_F(LogBackupsAfterRestore, ADroppedDatabasesBackupsRestoreAsANewNameAfterItIsCreatedAgain) {
    std::vector<std::string> dropped;
    ASSERT_NO_FATAL_FAILURE(dropped = SalesCreatedAgain());
    jxtest::AwaitSecondAfter(EndOf(51));
    EachCompletes({{52, "-D"}});
    EXPECT_EQ(Restore(60, SalesTask(kRstPointInTime, "Old", EndOf(51))), 1) << CauseTexts(60);
    ExpectOnlineHolding("Old", dropped);
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

    // Streamed restores of Sales to the latest time, as "Copy" (job `jobId`)
    // and in place over a change (job `jobId` + 1), each equal to Sales.
    void StreamedRestoresEqualSales(uint64_t jobId) {
        const std::vector<std::string> sales = Contents("Sales");
        task.pointInTime = 0;
        const uint64_t inPlace = task.optionFlags;
        RelocateToCopy();
        task.optionFlags = 0;
        int status = 0;
        (void)Run(jobId, &status);  // judged by the status it reported
        EXPECT_EQ(status, 1) << "restore job " << jobId;
        EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_ONLINE);
        EXPECT_TRUE(Contents("Copy") == sales);
        task.relocations.clear();
        task.optionFlags = inPlace;
        ChangeOf("Sales", jobId);
        (void)Run(jobId + 1, &status);  // judged by the status it reported
        EXPECT_EQ(status, 1) << "restore job " << jobId + 1;
        EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
        EXPECT_TRUE(Contents("Sales") == sales);
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

// The same when the revert's task carries the point-in-time flag: the log
// it rolls forward ends before the point, and no stop is reached inside it.
TEST_F(LogBackupsAfterRevert, TwoLogsAfterARevertWithThePointInTimeFlagComplete) {
    task.optionFlags |= kRstPointInTime;
    ASSERT_NO_FATAL_FAILURE(SnapshotFullLogAndRevert());
    EachCompletes({{300, "-L"}, {400, "-L"}});
    RevertToTheLatest(43);
}

// The revert rolled log 200 forward; the subclient then streams again, and
// its differential (on the snapshot full) holds what the revert wrote.
TEST_F(LogBackupsAfterRevert, AStreamedDifferentialAfterARevertHoldsWhatTheRevertBroughtBack) {
    ASSERT_NO_FATAL_FAILURE(SnapshotFullLogAndRevert());
    PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, false);
    EachCompletes({{300, "-I"}});
    RevertToTheLatest(43);
}

// A differential snapshot on a streamed full leaves that full the base: the
// streamed differential after a revert to it holds the whole difference.
TEST_F(LogBackupsAfterRevert, AStreamedDifferentialAfterARevertToADifferentialSnapshotHoldsWhatTheRevertBroughtBack) {
    PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, false);
    EachCompletes({{100, "-D"}, {101, "-L"}});
    PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, true);
    EachCompletes({{110, "-I"}, {200, "-L"}});
    ASSERT_NO_FATAL_FAILURE(RevertToTheLatest(42));
    PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, false);
    EachCompletes({{300, "-I"}});
    StreamedRestoresEqualSales(61);
}

// Holds a snapshot after its copies, at the write of its volume list (before
// its LSN state is recorded), until let go; tells when a change of the
// database asks for its writes, or was made.
class HeldSnapshotRecord : public wz::ForwardingFileSystem {
public:
    int Open(const std::string& path, int flags, mode_t mode) override {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_held && path.find("/snapshots/") != std::string::npos &&
                path.find("/volumes") != std::string::npos) {
                m_held = true;
                m_changed.notify_all();
                m_changed.wait(lock, [&] { return m_open; });
            } else if (m_held && path.size() > 12 && path.compare(path.size() - 12, 12, ".writes.lock") == 0) {
                m_writerCame = true;
                m_changed.notify_all();
            }
        }
        return wz::ForwardingFileSystem::Open(path, flags, mode);
    }
    // Waits (a safety net of real time) until `what` holds.
    bool Await(bool HeldSnapshotRecord::*what) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60), [&] { return this->*what; });
    }
    void Note(bool HeldSnapshotRecord::*what) {
        std::lock_guard<std::mutex> lock(m_mutex);
        this->*what = true;
        m_changed.notify_all();
    }
    bool m_held = false, m_writerCame = false, m_open = false;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

// A change made while a snapshot full is taken waits until it is recorded:
// the snapshot's copy and its LSN describe one instant, and the log after
// it holds the change.
TEST_F(LogBackupsAfterRevert, AChangeWhileASnapshotIsTakenIsInTheLogAfterIt) {
    ChangeOf("Sales", 1);
    HeldSnapshotRecord held;
    std::string status;
    {
        wz::ScopedFileSystem use(held);
        std::thread snapshot([&] { status = RunSubclientBackup(100, "-D"); });
        EXPECT_TRUE(held.Await(&HeldSnapshotRecord::m_held));
        std::thread writer([&] {
            ChangeOf("Sales", 2);
            held.Note(&HeldSnapshotRecord::m_writerCame);
        });
        EXPECT_TRUE(held.Await(&HeldSnapshotRecord::m_writerCame));
        held.Note(&HeldSnapshotRecord::m_open);
        snapshot.join();
        writer.join();
    }
    ASSERT_EQ(status, "1");
    ChangeOf("Sales", 3);
    ASSERT_EQ(RunSubclientBackup(200, "-L"), "1");
    RevertToTheLatest(42);
}

// Sales restored from its streamed full as "Copy", left RESTORING or in
// STANDBY; the subclient then snaps Copy.
class SnapshotOfADatabaseInARestore : public LogBackupsAfterRevert, public ::testing::WithParamInterface<uint64_t> {};

// The snapshot job is refused with the engine's reason and stores nothing;
// Copy's restore sequence then goes on with a differential of Sales.
TEST_P(SnapshotOfADatabaseInARestore, IsRefusedAndTheRestoreGoesOnWithADifferential) {
    PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, false);
    EachCompletes({{100, "-D"}});
    RelocateToCopy();
    task.optionFlags = GetParam();
    task.standbyUndoFile = root.File("moved/undo.dat");
    int status = 0;
    (void)Run(42, &status);  // judged by the status it reported
    ASSERT_EQ(status, 1);
    const int state = DatabaseState(sim, "Copy");
    ASSERT_NE(state, SQLDB_STATE_ONLINE);

    PrepareSubclientForBackupJobs(root, kInstance, {"Copy"}, true);
    JXGlobalParam::setProperty("IgnoreNonExistentDB", "0");  // the job does not skip a database not online
    EXPECT_NE(RunSubclientBackup(200, "-D"), "1");
    EXPECT_EQ(jxtest::StoredSetTypes(200, "Copy"), "");
    EXPECT_NE(jxtest::ReadWholeFile(EvDebug::LogFilePath()).find(SqlSimBackupRefusal("Copy", state)),
              std::string::npos);
    EXPECT_EQ(DatabaseState(sim, "Copy"), state);

    // Restore points are whole seconds: the differential ends in a later
    // second than the full the copy was restored to.
    jxtest::AwaitSecondAfter();
    PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, false);
    EachCompletes({{300, "-I"}});
    task.optionFlags = kRstOverwrite;
    (void)Run(43, &status);  // judged by the status it reported
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents("Copy") == Contents("Sales"));
}

INSTANTIATE_TEST_SUITE_P(RestoringOrStandby, SnapshotOfADatabaseInARestore,
                         ::testing::Values(kRstNoRecovery, kRstStandby),
                         [](const ::testing::TestParamInfo<uint64_t>& info) {
                             return info.param == kRstStandby ? std::string("Standby") : std::string("Restoring");
                         });

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
