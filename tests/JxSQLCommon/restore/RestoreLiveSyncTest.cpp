// Live-sync restores over real backups: the replication entities of the
// task's XML, the chain after each standby database's last restore, and the
// site replication records marked complete.
#include "EvTaskApiNet/EvTask.h"
#include "JxEntityLib/LiveSyncReplication.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/SqlDbState.h"
#include "tests/JxSQLCommon/restore/LiveSyncTaskSupport.h"
#include "tests/JxSQLCommon/restore/RestoreEndToEndFixture.h"
#include "tests/JxSQLCommon/restore/SubclientBackupJobs.h"
#include "tests/support/WallSecond.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

using vditest::DatabaseState;

class RestoreLiveSync : public RestoreEndToEnd {
protected:
    void SetUp() override {
        RestoreEndToEnd::SetUp();
        StandbyCopiesOfSalesAndHr();
        std::string error;
        for (int64_t id : {11, 12, 13}) {
            ASSERT_EQ(LiveSyncReplication().setSiteReplication(SiteRecord(kTask, id, 0), error, nullptr), 0) << error;
        }
    }

    std::map<int64_t, int64_t> SiteStatuses() {
        std::vector<App::LiveSyncReplicationInfo> records;
        std::string error;
        EXPECT_EQ(LiveSyncReplication().getSiteReplication(SiteRecord(kTask, 0, 0), records, error, nullptr), 0);
        std::map<int64_t, int64_t> statuses;
        for (const auto& r : records) {
            statuses[r.getint64(App::LiveSyncReplicationInfo::kReplicationId)] =
                r.getint64(App::LiveSyncReplicationInfo::kStatus);
        }
        return statuses;
    }
    int64_t Restores(const std::string& database) {
        SimSqlStatement q = sim.Db().Prepare("SELECT COUNT(*) FROM restore_history WHERE destination_database = ?");
        q.Bind(1, database);
        return q.Step() ? q.Int(0) : 0;  // no restore yet: no history table
    }
};

TEST_F(RestoreLiveSync, TwoEntitiesKeepTheirStandbyCopiesCurrentAndMarkTheirRecordsComplete) {
    for (const char* db : {"Sales", "Hr"}) {
        TakeOf(db, 'D', db[0] == 'S' ? 100 : 101);
        ChangeOf(db, 1);
        TakeOf(db, 'L', db[0] == 'S' ? 200 : 201);
    }
    ReplicationIds(42, {{11, "Sales"}, {12, "Hr"}});
    int status = 0;
    ASSERT_TRUE(Run(42, &status));
    ASSERT_EQ(status, 1);
    for (const char* db : {"SalesDR", "HrDR"}) {
        bool readOnly = false;
        EXPECT_EQ(DatabaseState(sim, db, &readOnly), SQLDB_STATE_STANDBY) << db;
        EXPECT_TRUE(readOnly);
        EXPECT_EQ(Restores(db), 2) << db;
    }
    EXPECT_EQ(SiteStatuses(), (std::map<int64_t, int64_t>{{11, 1}, {12, 1}, {13, 0}}));

    // The next sync takes only what followed the standby's last restore; the
    // full backups are not restored again.
    ChangeOf("Sales", 2);
    TakeOf("Sales", 'L', 300);
    ChangeOf("Hr", 2);
    TakeOf("Hr", 'L', 301);
    ReplicationIds(43, {{11, "Sales"}, {12, "Hr"}});
    ASSERT_TRUE(Run(43, &status));
    ASSERT_EQ(status, 1);
    EXPECT_EQ(Restores("SalesDR"), 3);
    EXPECT_EQ(Restores("HrDR"), 3);
    EXPECT_EQ(Contents("SalesDR"), Contents("Sales"));
    EXPECT_EQ(DatabaseState(sim, "SalesDR"), SQLDB_STATE_STANDBY);
}

TEST_F(RestoreLiveSync, ARecordOutsideTheXmlIsNotCachedAndItsDatabaseIsStillRestored) {
    TakeOf("Sales", 'D', 100);
    TakeOf("Hr", 'D', 101);
    ReplicationIds(42, {{11, "Sales"}, {99, "Hr"}});  // no site record carries 99
    int status = 0;
    ASSERT_TRUE(Run(42, &status));
    EXPECT_EQ(status, 1) << "a failed status update leaves the database restored";
    EXPECT_EQ(SiteStatuses(), (std::map<int64_t, int64_t>{{11, 1}, {12, 0}, {13, 0}}));
}

TEST_F(RestoreLiveSync, AnEmptyEntityListIsAnOrdinaryRestore) {
    TakeOf("Sales", 'D', 100);
    TakeOf("Hr", 'D', 101);
    ReplicationIds(42, {});
    task.optionFlags = kRstOverwrite;
    int status = 0;
    ASSERT_TRUE(Run(42, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(sim, "SalesDR"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(SiteStatuses(), (std::map<int64_t, int64_t>{{11, 0}, {12, 0}, {13, 0}}));
}

TEST_F(RestoreLiveSync, UnreadableReplicationXmlFailsTheJobBeforeAnythingIsRestored) {
    TakeOf("Sales", 'D', 100);
    ASSERT_TRUE(EvTask::setOption(42, 120012, "<not xml"));
    int status = 0;
    EXPECT_FALSE(Run(42, &status));
    EXPECT_EQ(status, 2);
    EXPECT_EQ(Restores("SalesDR"), 0);
}

// A standby seeded from a streamed full backup keeps taking the logs once
// the subclient backs up by snapshot: the logs after the snapshot full
// continue the standby's chain, and the snapshot, which a standby cannot
// restore, is left out of it.
TEST_F(RestoreLiveSync, LogsAfterASnapshotFullReachAStandbySeededFromAStreamedFull) {
    task.databases = {"Sales"};
    PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, false);
    ASSERT_EQ(RunSubclientBackup(100, "-D"), "1");
    ReplicationIds(42, {{11, "Sales"}});
    int status = 0;
    ASSERT_TRUE(Run(42, &status));
    ASSERT_EQ(status, 1);
    ASSERT_EQ(Restores("SalesDR"), 1);

    PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, true);
    ChangeOf("Sales", 1);
    ASSERT_EQ(RunSubclientBackup(110, "-D"), "1");
    ChangeOf("Sales", 2);
    ASSERT_EQ(RunSubclientBackup(200, "-L"), "1");
    ReplicationIds(43, {{11, "Sales"}});
    ASSERT_TRUE(Run(43, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(Restores("SalesDR"), 2) << "the log, not the snapshot";
    EXPECT_EQ(Contents("SalesDR"), Contents("Sales"));
    EXPECT_EQ(DatabaseState(sim, "SalesDR"), SQLDB_STATE_STANDBY);
}

// A standby follows its source whatever mix of backups the schedule takes:
// a differential, a new full, an ad-hoc copy-only full. Each run brings it
// to the newest backup and leaves it in STANDBY for the next.
class RestoreLiveSyncOverSchedules : public RestoreLiveSync {
protected:
    void SetUp() override {
        RestoreLiveSync::SetUp();
        task.databases = {"Sales"};
        PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, false);
    }
    // Backup job `jobId` of Sales after a change, of `phase` "-D", "-C" (a
    // copy-only full), "-I" or "-L".
    void ChangeAndBackUp(uint64_t jobId, const std::string& phase) {
        ChangeOf("Sales", jobId);
        if (phase == "-C") {
            ASSERT_TRUE(EvTask::setOption(jobId, kCopyOnlyOption, "1"));
        }
        ASSERT_EQ(RunSubclientBackup(jobId, phase == "-C" ? "-D" : phase), "1") << "backup job " << jobId;
    }
    // Live-sync run `jobId`: the standby is in STANDBY and equals Sales.
    void SyncAndCompare(uint64_t jobId) {
        ReplicationIds(jobId, {{11, "Sales"}});
        int status = 0;
        EXPECT_TRUE(Run(jobId, &status));
        EXPECT_EQ(status, 1) << "live-sync run " << jobId;
        EXPECT_EQ(DatabaseState(sim, "SalesDR"), SQLDB_STATE_STANDBY) << "live-sync run " << jobId;
        EXPECT_TRUE(Contents("SalesDR") == Contents("Sales")) << "live-sync run " << jobId;
    }
    // Restore job `jobId` brings Sales back in place to the end of backup
    // job `backupJobId`, on a new recovery path.
    void RestoreSalesInPlaceToTheEndOf(uint64_t jobId, uint64_t backupJobId) {
        const JxServeRestoreTask standby = task;
        task = JxServeRestoreTask{};
        task.sourceInstanceId = task.destinationInstanceId = kInstanceId;
        task.databases = {"Sales"};
        task.optionFlags = kRstOverwrite | kRstPointInTime;
        task.pointInTime = EndOf(backupJobId);
        int status = 0;
        (void)Run(jobId, &status);  // judged by the status it reported
        EXPECT_EQ(status, 1) << "restore job " << jobId;
        task = standby;
    }
    static uint64_t EndOf(uint64_t jobId) {
        auto store = JxServeOpenRestoreStore();
        for (const JxServeBackup& b : JxServeBackupsOf(*store, kInstanceId, "Sales", 0)) {
            if (b.jobId == jobId) return b.endTime;
        }
        ADD_FAILURE() << "no backup of job " << jobId;
        return 0;
    }
    static constexpr unsigned long kCopyOnlyOption = 39;
};

TEST_F(RestoreLiveSyncOverSchedules, AStandbyFollowsItsSourceAcrossDifferentialsAndANewFull) {
    ASSERT_EQ(RunSubclientBackup(100, "-D"), "1");
    ChangeAndBackUp(101, "-L");
    ChangeAndBackUp(102, "-L");
    SyncAndCompare(42);
    ChangeAndBackUp(103, "-I");
    ChangeAndBackUp(104, "-L");
    SyncAndCompare(43);
    ChangeAndBackUp(105, "-L");
    SyncAndCompare(44);
    ChangeAndBackUp(106, "-D");
    ChangeAndBackUp(107, "-L");
    SyncAndCompare(45);
}

TEST_F(RestoreLiveSyncOverSchedules, AStandbyFollowsItsSourceAcrossACopyOnlyFullAndADifferential) {
    ASSERT_EQ(RunSubclientBackup(100, "-D"), "1");
    ChangeAndBackUp(101, "-L");
    SyncAndCompare(42);
    ChangeAndBackUp(102, "-C");
    ChangeAndBackUp(103, "-I");
    ChangeAndBackUp(104, "-L");
    SyncAndCompare(43);
}

// Sales restored in place to log 101's end after the standby took log 102:
// the standby, on the path Sales left, is synced from the new path's full.
TEST_F(RestoreLiveSyncOverSchedules, AStandbyOnAPathItsSourceLeftIsSyncedFromTheNewPathsFull) {
    ASSERT_EQ(RunSubclientBackup(100, "-D"), "1");
    ChangeAndBackUp(101, "-L");
    jxtest::AwaitSecondAfter(EndOf(101));
    ChangeOf("Sales", 1021);
    ChangeAndBackUp(102, "-L");
    SyncAndCompare(42);
    const uint64_t lastOfOldPath = EndOf(102);
    RestoreSalesInPlaceToTheEndOf(60, 101);
    jxtest::AwaitSecondAfter(lastOfOldPath);
    ChangeAndBackUp(103, "-D");
    ChangeAndBackUp(104, "-L");
    SyncAndCompare(43);
}

}  // namespace
