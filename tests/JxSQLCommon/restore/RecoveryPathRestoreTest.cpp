// Restores after Sales was restored in place to an older point. That
// restore starts a new recovery path whose LSNs overlap those of the path it
// left; once a backup of the new path is stored, a restore to the latest
// time takes the new path, a database restored on the abandoned path is
// continued from the new path's full, and a point before the in-place
// restore is still reached on the old path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JxsqlDMO/SqlDbState.h"
#include "tests/JxSQLCommon/restore/SalesRestoreJobs.h"
#include "tests/support/WallSecond.h"

namespace {

using vditest::DatabaseState;

class RecoveryPathRestore : public SalesRestoreJobs {
protected:
    // Full 50 and logs 51 and 52, the records before each dated in the past
    // (a point taken later keeps them), log 52 in a later second than log
    // 51 and holding a batch of two changes: Sales's contents after log 51.
    std::vector<std::string> FullAndTwoPastLogs() {
        FullAndLog();
        const std::vector<std::string> afterFirstLog = Contents("Sales");
        jxtest::AwaitSecondAfter(EndOf(51));
        Change(3, pastMs + 2000);
        Change(30, pastMs + 2000);
        EXPECT_EQ(Backup(52, "-L"), "1");
        return afterFirstLog;
    }

    // Restore job `jobId` brings Sales back in place to log 51's end, the
    // state `afterFirstLog`; the next backup ends a second after the last
    // backup of the path it leaves.
    void InPlaceToTheFirstLogsEnd(uint64_t jobId, const std::vector<std::string>& afterFirstLog) {
        const uint64_t lastOfOldPath = EndOf(52);
        ASSERT_EQ(Restore(jobId, SalesTask(kRstOverwrite | kRstPointInTime, "", EndOf(51))), 1) << CauseTexts(jobId);
        ExpectOnlineHolding("Sales", afterFirstLog);
        jxtest::AwaitSecondAfter(lastOfOldPath);
    }

    // A copy restored to the latest time (job `jobId`), then Sales in place
    // over a change (job `jobId` + 1): both equal Sales as backed up last.
    void CopyAndInPlaceEqualSales(uint64_t jobId) {
        const std::vector<std::string> latest = Contents("Sales");
        EXPECT_EQ(Restore(jobId, SalesTask(kRstOverwrite, "Copy")), 1) << CauseTexts(jobId);
        ExpectOnlineHolding("Copy", latest);
        Change(99);
        EXPECT_EQ(Restore(jobId + 1, SalesTask(kRstOverwrite)), 1) << CauseTexts(jobId + 1);
        ExpectOnlineHolding("Sales", latest);
    }

    // The schedule's differential after `changes` changes following an
    // in-place restore to a point in the week of an older full: full 50,
    // logs 51 and 52, full 53 and log 54, then the restore to log 51's end.
    void DifferentialAfterARestoreIntoAnOlderWeek(int changes) {
        const std::vector<std::string> afterFirstLog = FullAndTwoPastLogs();
        Change(4, pastMs + 3000);
        ASSERT_EQ(Backup(53, "-D"), "1");
        Change(5, pastMs + 4000);
        ASSERT_EQ(Backup(54, "-L"), "1");
        const uint64_t lastOfOldPath = EndOf(54);
        ASSERT_EQ(Restore(60, SalesTask(kRstOverwrite | kRstPointInTime, "", EndOf(51))), 1) << CauseTexts(60);
        ExpectOnlineHolding("Sales", afterFirstLog);
        jxtest::AwaitSecondAfter(lastOfOldPath);
        for (int i = 0; i < changes; ++i) Change(10 + static_cast<uint64_t>(i));
        ASSERT_EQ(Backup(55, "-I"), "1");
        CopyAndInPlaceEqualSales(61);
    }
};

// The ad-hoc copy-only full after the restore is the latest state, never
// log 52, the batch the restore undid. A point at log 52's end, before the
// restore, is still reached on the old path.
TEST_F(RecoveryPathRestore, ACopyOnlyFullAfterAnInPlaceRestoreToAnOlderPointIsTheLatestState) {
    const std::vector<std::string> afterFirstLog = FullAndTwoPastLogs();
    const std::vector<std::string> afterSecondLog = Contents("Sales");
    const uint64_t abandonedLogEnd = EndOf(52);
    ASSERT_NO_FATAL_FAILURE(InPlaceToTheFirstLogsEnd(60, afterFirstLog));
    Change(4);
    ASSERT_EQ(Backup(53, "-C"), "1");
    CopyAndInPlaceEqualSales(61);

    EXPECT_EQ(Restore(63, SalesTask(kRstOverwrite | kRstPointInTime, "Old", abandonedLogEnd)), 1) << CauseTexts(63);
    ExpectOnlineHolding("Old", afterSecondLog);
}

TEST_F(RecoveryPathRestore, TheDifferentialAfterARestoreIntoAnOlderWeekIsTheLatestStateAfterAFewChanges) {
    DifferentialAfterARestoreIntoAnOlderWeek(1);
}

TEST_F(RecoveryPathRestore, TheDifferentialAfterARestoreIntoAnOlderWeekIsTheLatestStateAfterManyChanges) {
    DifferentialAfterARestoreIntoAnOlderWeek(24);
}

// Restored in place to the end of full 50, older than full 51, Sales forks a
// new path where full 50 ends: full 50 lies on it, so the schedule's
// differential after a change is stored on full 50 and is the latest state.
TEST_F(RecoveryPathRestore, TheDifferentialAfterARestoreToAnOlderFullsEndIsStoredOnThatFull) {
    Change(1, pastMs);
    ASSERT_EQ(Backup(50, "-D"), "1");
    const std::vector<std::string> atFirstFull = Contents("Sales");
    jxtest::AwaitSecondAfter(EndOf(50));
    Change(2);
    ASSERT_EQ(Backup(51, "-D"), "1");
    ASSERT_EQ(Restore(60, SalesTask(kRstOverwrite | kRstPointInTime, "", EndOf(50))), 1) << CauseTexts(60);
    ExpectOnlineHolding("Sales", atFirstFull);
    jxtest::AwaitSecondAfter(EndOf(51));
    Change(3);
    ASSERT_EQ(Backup(53, "-I"), "1");
    EXPECT_EQ(BackupOf(53).databaseBackupLsn, BackupOf(50).checkpointLsn);
    CopyAndInPlaceEqualSales(61);
}

// A copy left in STANDBY at log 52's end, on the path the in-place restore
// left: continued after the new path's full and log, it is restored again
// from that full, never given the new path's log over the old data.
TEST_F(RecoveryPathRestore, AStandbyCopyOnTheAbandonedPathIsContinuedFromTheNewPathsFull) {
    const std::vector<std::string> afterFirstLog = FullAndTwoPastLogs();
    const JxServeRestoreTask standbyCopy = SalesTask(kRstOverwrite | kRstStandby, "Copy");
    ASSERT_EQ(Restore(59, standbyCopy), 1) << CauseTexts(59);
    ASSERT_EQ(DatabaseState(instance, "Copy"), SQLDB_STATE_STANDBY);
    ASSERT_NO_FATAL_FAILURE(InPlaceToTheFirstLogsEnd(60, afterFirstLog));
    Change(4);
    ASSERT_EQ(Backup(53, "-D"), "1");
    Change(5);
    ASSERT_EQ(Backup(54, "-L"), "1");

    EXPECT_EQ(Restore(61, standbyCopy), 1) << CauseTexts(61);
    EXPECT_EQ(DatabaseState(instance, "Copy"), SQLDB_STATE_STANDBY);
    EXPECT_TRUE(Contents("Copy") == Contents("Sales"));
}

}  // namespace
