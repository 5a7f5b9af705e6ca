// Restores over a history with an ad-hoc copy-only full backup in it. A
// copy-only full resets no differential base and breaks no log chain, so
// the differential after it still belongs to the scheduled full, and a
// restore may begin at either full.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/restore/SalesRestoreJobs.h"
#include "tests/support/WallSecond.h"

namespace {

using vditest::DatabaseState;

class CopyOnlyRestoreAfterBackupJobs : public SalesRestoreJobs {
protected:
    // Backup job `jobId` of Sales, of `phase` "-D", "-C" (a copy-only full),
    // "-I" or "-L"; it completes.
    void BackUp(uint64_t jobId, const std::string& phase) {
        EXPECT_EQ(Backup(jobId, phase), "1") << "backup job " << jobId;
    }

    // Restores Sales as `newName` (in place when empty) to `pointInTime`
    // (0: the latest) as job `jobId`, with the recovery options `recovery`
    // (0: recovered); true when it completed.
    bool RestoreSales(uint64_t jobId, const std::string& newName, uint64_t pointInTime = 0, uint64_t recovery = 0) {
        const uint64_t flags = kRstOverwrite | recovery | (pointInTime != 0 ? kRstPointInTime : 0);
        int status = 0;
        const bool done = RunRestore(jobId, SalesTask(flags, newName, pointInTime), &status);
        EXPECT_EQ(status, 1) << "restore job " << jobId;
        return done;
    }

    // Jobs 42 to 44: a full, a log and a copy-only full, each after a
    // change, and a change after them.
    void FullLogCopyOnlyAndAChange() {
        BackUp(42, "-D");
        Change(1, pastMs);
        BackUp(43, "-L");
        Change(2, pastMs + 1000);
        BackUp(44, "-C");
        Change(3, pastMs + 2000);
    }

    // Backup jobs `firstJob` on, one of each phase of `phases` in turn, each
    // after a change of Sales.
    void ChangeAndBackUp(uint64_t firstJob, const std::vector<std::string>& phases) {
        for (const std::string& phase : phases) {
            Change(firstJob, 0);
            BackUp(firstJob++, phase);
        }
    }

    // Jobs from 50: a full, a log, a copy-only full and a differential (no
    // log in SIMPLE recovery), each after a change, and nothing after the
    // differential; Sales's contents after them.
    std::vector<std::string> FullLogCopyOnlyAndDifferential() {
        if (recoveryModel == "SIMPLE") {
            ChangeAndBackUp(50, {"-D", "-C", "-I"});
        } else {
            ChangeAndBackUp(50, {"-D", "-L", "-C", "-I"});
        }
        return Contents("Sales");
    }

    // A copy as `newName` and Sales overwritten in place, each restored to
    // the latest time, are ONLINE and equal `latest`.
    void RestoredAsACopyAndInPlaceEqual(const std::vector<std::string>& latest) {
        EXPECT_TRUE(RestoreSales(60, "Copy"));
        EXPECT_EQ(DatabaseState(instance, "Copy"), SQLDB_STATE_ONLINE);
        EXPECT_TRUE(Contents("Copy") == latest) << "the copy holds the differential's changes";
        EXPECT_TRUE(RestoreSales(61, ""));
        EXPECT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_ONLINE);
        EXPECT_TRUE(Contents("Sales") == latest) << "the live database is not put back to older data";
    }
};

class CopyOnlyRestoreInSimpleRecovery : public CopyOnlyRestoreAfterBackupJobs {
protected:
    void SetUp() override {
        recoveryModel = "SIMPLE";
        CopyOnlyRestoreAfterBackupJobs::SetUp();
    }
};

// Full, log, copy-only full, differential, a point, log.
TEST_F(CopyOnlyRestoreAfterBackupJobs, ADifferentialAfterACopyOnlyFullStillRestoresToEveryPoint) {
    FullLogCopyOnlyAndAChange();
    BackUp(45, "-I");
    const uint64_t point = static_cast<uint64_t>(std::time(nullptr));
    const std::vector<std::string> atThePoint = Contents("Sales");
    Change(4, static_cast<int64_t>(point + 5) * 1000);
    BackUp(46, "-L");
    const std::vector<std::string> latest = Contents("Sales");

    ASSERT_TRUE(RestoreSales(60, "Copy"));
    EXPECT_EQ(DatabaseState(instance, "Copy"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents("Copy") == latest);

    ASSERT_TRUE(RestoreSales(61, "AtPoint", point));
    EXPECT_EQ(DatabaseState(instance, "AtPoint"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents("AtPoint") == atThePoint);

    ASSERT_TRUE(RestoreSales(62, ""));
    EXPECT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents("Sales") == latest);
}

// Without a differential after it, the logs run on across a copy-only full.
TEST_F(CopyOnlyRestoreAfterBackupJobs, LogsRunOnAcrossACopyOnlyFull) {
    FullLogCopyOnlyAndAChange();
    BackUp(45, "-L");
    const std::vector<std::string> latest = Contents("Sales");

    ASSERT_TRUE(RestoreSales(60, "Copy"));
    EXPECT_TRUE(Contents("Copy") == latest);
    ASSERT_TRUE(RestoreSales(61, ""));
    EXPECT_TRUE(Contents("Sales") == latest);
}

// The differential after a copy-only full builds on the scheduled full: the
// latest time is the differential's end, reached from the full and the
// differential, never from the copy-only full alone.
TEST_F(CopyOnlyRestoreAfterBackupJobs, ADifferentialAfterACopyOnlyFullIsRestoredWithItsFull) {
    RestoredAsACopyAndInPlaceEqual(FullLogCopyOnlyAndDifferential());
}

TEST_F(CopyOnlyRestoreInSimpleRecovery, ADifferentialAfterACopyOnlyFullIsRestoredWithItsFull) {
    RestoredAsACopyAndInPlaceEqual(FullLogCopyOnlyAndDifferential());
}

// A copy left in STANDBY from the copy-only full takes what the schedule
// backs up next when the same restore runs again: the log after the
// differential continues it.
TEST_F(CopyOnlyRestoreAfterBackupJobs, AStandbyCopyFromACopyOnlyFullContinuesAfterTheNextBackups) {
    auto restoreInStandby = [&](uint64_t jobId) {
        ASSERT_TRUE(RestoreSales(jobId, "Copy", 0, kRstStandby));
        EXPECT_EQ(DatabaseState(instance, "Copy"), SQLDB_STATE_STANDBY);
        EXPECT_TRUE(Contents("Copy") == Contents("Sales"));
    };
    ChangeAndBackUp(50, {"-D", "-L", "-C"});
    restoreInStandby(60);
    jxtest::AwaitSecondAfter();  // the next backups end after the copy's restore
    ChangeAndBackUp(53, {"-I", "-L"});
    restoreInStandby(61);
}

}  // namespace
