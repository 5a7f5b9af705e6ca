// Backups of a live Sales: writes made while a full, a differential or a log
// job runs are kept by the backups after them, and every restore equals
// Sales. A full or differential is consistent at its end; a log job runs
// beside a full; two data backups of one database do not run at once, nor
// two log backups; a full whose record fails holds no log back. A log that
// ends while a full or differential stands between the end of its data read
// and the storing of its set is stored first, yet every restore takes it
// after that backup.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxEntityLib/LiveSyncReplication.h"
#include "JxSQLVDIBase/VdiTestHold.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/restore/LiveSyncTaskSupport.h"
#include "tests/JxSQLCommon/restore/SalesRestoreJobs.h"
#include "tools/jxserve/JxServeLsn.h"

namespace {

class WritesDuringBackup : public SalesRestoreJobs {
protected:
    // A change of 512 pages: most extents of Sales, on both sides of
    // wherever a backup's read stands.
    void BigChange(uint64_t seed) {
        ASSERT_FALSE(SqlSimChanges(instance).Change({"Sales", 512, seed, "", 0}).IsError());
    }

    // Where a backup of `phase` is held while it reads: a log job at its
    // first block, a data backup between two chunks of its files.
    static VdiTestPoint ReadingPoint(const std::string& phase) {
        return phase == "-L" ? VdiTestPoint::kBlockPut : VdiTestPoint::kBetweenChunks;
    }

    // Runs backup job `jobId` of `phase` on a thread of its own, held at
    // `point` (after its LSN state was read) while `meanwhile` runs: the
    // status it reported.
    std::string BackupAround(uint64_t jobId, const std::string& phase, VdiTestPoint point,
                             const std::function<void()>& meanwhile) {
        std::string status;
        {
            VdiTestHold hold(point, 1);
            std::thread job([&] { status = Backup(jobId, phase); });
            EXPECT_TRUE(hold.WaitHeld());
            meanwhile();
            hold.Release();
            job.join();
        }
        return status;
    }

    // Restore job `jobId` of Sales as `name` to the latest time: it equals
    // Sales.
    void CopyEqualsSales(uint64_t jobId, const std::string& name) {
        EXPECT_EQ(Restore(jobId, SalesTask(0, name)), 1) << CauseTexts(jobId);
        ExpectOnlineHolding(name, Contents("Sales"));
    }

    // A change, backup job `jobId` of `phase`, then restore job `restoreId`
    // as `name`: it equals Sales.
    void BackUpAndCopy(uint64_t seed, uint64_t jobId, const std::string& phase, uint64_t restoreId,
                       const std::string& name) {
        Change(seed);
        ASSERT_EQ(Backup(jobId, phase), "1") << CauseTexts(jobId);
        CopyEqualsSales(restoreId, name);
    }
};

TEST_F(WritesDuringBackup, AFullIsConsistentAtItsEndAndTheNextBackupsHoldWhatChangedWhileItRan) {
    Change(1);
    ASSERT_EQ(BackupAround(50, "-D", VdiTestPoint::kBetweenChunks, [&] { BigChange(2); }), "1") << CauseTexts(50);
    // Its last LSN is where its data read ended, past its checkpoint.
    const JxServeBackup full = BackupOf(50);
    EXPECT_LT(std::stoull(full.checkpointLsn), std::stoull(full.lastLsn));
    // What changed while the full ran stays marked for its differential.
    int64_t id = 0;
    std::vector<std::pair<int64_t, uint64_t>> extents;
    ASSERT_FALSE(instance.DatabaseId("Sales", id).IsError());
    ASSERT_FALSE(SqlSimChanges(instance).ChangedExtents(id, extents).IsError());
    EXPECT_FALSE(extents.empty());
    // The full alone: Sales as the full's data read ended, not a mix.
    CopyEqualsSales(70, "AtFull");
    BackUpAndCopy(3, 51, "-I", 71, "AtDifferential");
    BackUpAndCopy(4, 52, "-L", 72, "AtLog");
    EXPECT_EQ(BackupOf(52).firstLsn, full.lastLsn) << "the log chain starts where the full ended";
    // To a point after the change (past the log's end: the log's records
    // bear times of this second).
    EXPECT_EQ(Restore(73, SalesTask(kRstPointInTime, "AtPoint", EndOf(52) + 3600)), 1) << CauseTexts(73);
    ExpectOnlineHolding("AtPoint", Contents("Sales"));
}

// A differential or a log job held after it read where the log stood, while
// 512 pages change; then a change and a log.
class WritesDuringALaterBackup : public WritesDuringBackup, public ::testing::WithParamInterface<const char*> {};

TEST_P(WritesDuringALaterBackup, AreInTheNextLogAndTheRestoreEqualsSales) {
    const std::string phase = GetParam();
    Change(1);
    ASSERT_EQ(Backup(50, "-D"), "1") << CauseTexts(50);
    Change(2);
    std::vector<std::string> before;
    ASSERT_EQ(BackupAround(51, phase, ReadingPoint(phase),
                           [&] {
                               before = Contents("Sales");
                               BigChange(3);
                           }),
              "1")
        << CauseTexts(51);
    // A differential ends with what changed while it read; the change lands
    // in the log after a log job.
    EXPECT_EQ(Restore(70, SalesTask(0, "AtSecond")), 1) << CauseTexts(70);
    ExpectOnlineHolding("AtSecond", phase == "-L" ? before : Contents("Sales"));
    BackUpAndCopy(4, 52, "-L", 71, "AtLog");
}

INSTANTIATE_TEST_SUITE_P(Phases, WritesDuringALaterBackup, ::testing::Values("-I", "-L"),
                         [](const auto& info) { return std::string(info.param) == "-I" ? "Differential" : "Log"; });

// A full and a log job of Sales at once, each way round: both complete, the
// next log continues the chain, and a restore to the latest equals Sales.
class FullAndLogAtOnce : public WritesDuringBackup, public ::testing::WithParamInterface<bool> {};

TEST_P(FullAndLogAtOnce, BothCompleteAndTheChainHolds) {
    const bool logInsideFull = GetParam();
    Change(1);
    ASSERT_EQ(Backup(50, "-D"), "1") << CauseTexts(50);
    Change(2);
    ASSERT_EQ(Backup(51, "-L"), "1") << CauseTexts(51);
    const std::string outer = logInsideFull ? "-D" : "-L";
    const std::string inner = logInsideFull ? "-L" : "-D";
    std::string innerStatus;
    const std::string outerStatus = BackupAround(52, outer, ReadingPoint(outer), [&] {
        BigChange(3);
        innerStatus = Backup(53, inner);
        BigChange(4);
    });
    EXPECT_EQ(outerStatus, "1") << CauseTexts(52);
    EXPECT_EQ(innerStatus, "1") << CauseTexts(53);
    BackUpAndCopy(5, 54, "-L", 70, "Copy");
    BackUpAndCopy(6, 55, "-I", 71, "AtDifferential");
}

INSTANTIATE_TEST_SUITE_P(Orders, FullAndLogAtOnce, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "LogInsideFull" : "FullInsideLog"; });

// Full 50 and logs 51 and 52, a standby synced from them, then a full or a
// differential (job 60) held once it read its data and its last LSN while a
// change and log job 61 run to their end: log 61 is stored before job 60 and
// holds its last LSN. Then a change dated after the point and log 62. A
// restore to the latest, one to a point after job 60 and the standby's next
// sync each take log 61 after job 60.
class LogBesideADataBackup : public WritesDuringBackup, public ::testing::WithParamInterface<const char*> {};

TEST_P(LogBesideADataBackup, IsRestoredAfterItThoughStoredBefore) {
    std::string error;
    ASSERT_EQ(LiveSyncReplication().setSiteReplication(SiteRecord(kTask, 11, 0), error, nullptr), 0) << error;
    const JxServeRestoreTask standby = SalesTask(kRstStandby, "SalesDR");
    auto sync = [&](uint64_t jobId) {
        ReplicationIds(jobId, {{11, "Sales"}});
        return Restore(jobId, standby);
    };
    Change(1);
    ASSERT_EQ(Backup(50, "-D"), "1") << CauseTexts(50);
    ASSERT_EQ(Backup(51, "-L"), "1") << CauseTexts(51);
    Change(2);
    ASSERT_EQ(Backup(52, "-L"), "1") << CauseTexts(52);
    ASSERT_EQ(sync(70), 1) << CauseTexts(70);
    jxtest::AwaitSecondAfter();  // the next backups end after the standby's restore
    Change(3);
    std::string logStatus;
    ASSERT_EQ(BackupAround(60, GetParam(), VdiTestPoint::kDataReadEnd,
                           [&] {
                               Change(4);
                               logStatus = Backup(61, "-L");
                           }),
              "1")
        << CauseTexts(60);
    ASSERT_EQ(logStatus, "1") << CauseTexts(61);
    const JxServeBackup data = BackupOf(60), log = BackupOf(61);
    ASSERT_LT(log.restoreId, data.restoreId);
    ASSERT_TRUE(!JxServeLsnBelow(data.lastLsn, log.firstLsn) && JxServeLsnBelow(data.lastLsn, log.lastLsn))
        << log.firstLsn << " " << data.lastLsn << " " << log.lastLsn;
    const std::vector<std::string> atPoint = Contents("Sales");
    const uint64_t point = data.endTime + 1;  // after change 4; change 5 is dated after it
    jxtest::AwaitSecondAfter(data.endTime);
    Change(5, static_cast<int64_t>(point + 4) * 1000);
    ASSERT_EQ(Backup(62, "-L"), "1") << CauseTexts(62);

    CopyEqualsSales(71, "Latest");
    EXPECT_EQ(Restore(72, SalesTask(kRstPointInTime, "AtPoint", point)), 1) << CauseTexts(72);
    ExpectOnlineHolding("AtPoint", atPoint);
    EXPECT_EQ(sync(73), 1) << CauseTexts(73);
    EXPECT_EQ(vditest::DatabaseState(instance, "SalesDR"), SQLDB_STATE_STANDBY);
    EXPECT_TRUE(Contents("SalesDR") == Contents("Sales"));
}

INSTANTIATE_TEST_SUITE_P(Phases, LogBesideADataBackup, ::testing::Values("-D", "-I"),
                         [](const auto& info) { return std::string(info.param) == "-D" ? "Full" : "Differential"; });

// A second data backup of Sales while a full reads, or a second log backup
// while one is held at its first block, is refused; the one held completes,
// and the next backup of the kind continues the chain.
class ASecondBackupOfAKind : public WritesDuringBackup, public ::testing::WithParamInterface<const char*> {};

TEST_P(ASecondBackupOfAKind, IsRefusedWhileOneRuns) {
    const bool log = std::string(GetParam()) == "-L";
    const std::string second = log ? "-L" : "-I";
    Change(1);
    ASSERT_EQ(Backup(50, "-D"), "1") << CauseTexts(50);
    std::string secondStatus;
    const std::string firstStatus = BackupAround(51, GetParam(), ReadingPoint(GetParam()), [&] {
        BigChange(2);
        secondStatus = Backup(52, second);
    });
    EXPECT_EQ(firstStatus, "1") << CauseTexts(51);
    EXPECT_NE(secondStatus, "1");
    EXPECT_NE(CauseTexts(52).find("must be serialized"), std::string::npos) << CauseTexts(52);
    BackUpAndCopy(3, 53, second, 70, "Copy");
}

INSTANTIATE_TEST_SUITE_P(Kinds, ASecondBackupOfAKind, ::testing::Values("-D", "-L"),
                         [](const auto& info) { return std::string(info.param) == "-L" ? "Log" : "Data"; });

// A full whose record rolls back after the record gave its log back (here
// at clearing the extents changed before the full) fails, and still gives
// back the log it held: the next log backup truncates every record it took.
TEST_F(WritesDuringBackup, AFullWhoseRecordFailsHoldsNoLogBack) {
    Change(1);
    ASSERT_EQ(Backup(50, "-D"), "1") << CauseTexts(50);
    Change(2);
    ASSERT_FALSE(instance.Db()
                     .Exec("CREATE TRIGGER refuses BEFORE DELETE ON changed_extents "
                           "BEGIN SELECT RAISE(ABORT, 'the changed extents stay'); END")
                     .IsError());
    EXPECT_NE(Backup(51, "-D"), "1");
    EXPECT_NE(root.ReadFile("logs/" + EvDebug::ProgramName() + ".log").find("the changed extents stay"),
              std::string::npos)
        << "the full did not fail at its record";
    ASSERT_FALSE(instance.Db().Exec("DROP TRIGGER refuses").IsError());
    Change(3);
    ASSERT_EQ(Backup(52, "-L"), "1") << CauseTexts(52);
    int64_t id = 0;
    std::vector<SqlSimLogIndexRow> left;
    ASSERT_FALSE(instance.DatabaseId("Sales", id).IsError());
    ASSERT_FALSE(SqlSimChanges(instance).LogRecords(id, 0, left).IsError());
    EXPECT_TRUE(left.empty()) << "the log keeps LSN " << left.front().lsn << " on";
}

// A file added while a full reads is no part of it: the full fails as
// SQL Server serializes the two, rather than storing a set no restore could
// apply; the next full holds the file.
TEST_F(WritesDuringBackup, AFileAddedWhileAFullRunsFailsTheFullAndTheNextFullHoldsIt) {
    Change(1);
    ASSERT_EQ(Backup(49, "-D"), "1") << CauseTexts(49);
    const std::string status = BackupAround(50, "-D", VdiTestPoint::kBetweenChunks, [&] {
        SqlSimFileSpec file;
        file.database = "Sales";
        file.fileGroup = "PRIMARY";
        file.logicalName = "Sales2";
        ASSERT_FALSE(instance.AddFile(file).IsError());
    });
    EXPECT_NE(status, "1");
    EXPECT_NE(CauseTexts(50).find("must be serialized"), std::string::npos) << CauseTexts(50);
    BackUpAndCopy(2, 51, "-D", 70, "Copy");
}

// Two more sessions write while log jobs run: no write is lost, to the
// backups or to each other.
TEST_F(WritesDuringBackup, TwoWritersDuringLogJobsLoseNothing) {
    Change(1);
    ASSERT_EQ(Backup(50, "-D"), "1") << CauseTexts(50);
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::atomic<uint64_t> writes{0};
    auto write = [&](uint64_t seed) {
        SqlSimInstance own;
        if (own.Open("HOST/INST").IsError()) return (void)++failures;
        for (; !stop; seed += 2) {
            if (SqlSimChanges(own).Change({"Sales", 1, seed, "", 0}).IsError()) ++failures;
            ++writes;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    };
    std::thread first(write, 100), second(write, 101);
    for (uint64_t job = 51; job <= 53; ++job) EXPECT_EQ(Backup(job, "-L"), "1") << CauseTexts(job);
    stop = true;
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
    EXPECT_GT(writes, 0u);
    BackUpAndCopy(2, 54, "-L", 70, "Copy");
}

}  // namespace
