// Restores over a history with an ad-hoc copy-only full backup in it. A
// copy-only full resets no differential base and breaks no log chain, so
// the differential after it still belongs to the scheduled full, and a
// restore may begin at either full.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/restore/RestoreAfterBackupJobs.h"

namespace {

using vditest::DatabaseState;

constexpr unsigned long kCopyOnlyOption = 39;

class CopyOnlyRestoreAfterBackupJobs : public RestoreAfterBackupJobs {
protected:
    void SetUp() override {
        RestoreAfterBackupJobs::SetUp();
        MakeDatabases({"Sales"});
    }

    // Changes Sales; its log records bear the time `timeMs` (ms since 1970).
    void Change(uint64_t seed, int64_t timeMs) {
        ASSERT_FALSE(SqlSimChanges(instance).Change({"Sales", 4, seed, "", timeMs}).IsError());
    }

    // Backup job `jobId` of Sales, of `phase` "-D", "-C" (a copy-only full),
    // "-I" or "-L".
    void Backup(uint64_t jobId, const std::string& phase) {
        if (phase == "-C") {
            ASSERT_TRUE(EvTask::setOption(jobId, kCopyOnlyOption, "1"));
        }
        const std::string run = phase == "-C" ? "-D" : phase;
        const char* type = run == "-D" ? "1" : run == "-I" ? "4" : "2";
        ASSERT_TRUE(RunPhase(jobId, run, 1, {"-type", type}));
    }

    // Restores Sales as `newName` (in place when empty) to `pointInTime`
    // (0: the latest) as job `jobId`; true when it completed.
    bool RestoreSales(uint64_t jobId, const std::string& newName, uint64_t pointInTime = 0) {
        JxServeRestoreTask task = TaskFor("Sales", newName);
        task.optionFlags = kRstOverwrite | (pointInTime != 0 ? kRstPointInTime : 0);
        task.pointInTime = pointInTime;
        int status = 0;
        const bool done = RunRestore(jobId, task, &status);
        EXPECT_EQ(status, 1) << "restore job " << jobId;
        return done;
    }

    // Jobs 42 to 44: a full, a log and a copy-only full, each after a
    // change, and a change after them.
    void FullLogCopyOnlyAndAChange() {
        Backup(42, "-D");
        Change(1, pastMs);
        Backup(43, "-L");
        Change(2, pastMs + 1000);
        Backup(44, "-C");
        Change(3, pastMs + 2000);
    }

    // Before-the-point records bear times well in the past, so a stop time
    // taken now keeps them whatever second they were written in.
    const int64_t pastMs = (static_cast<int64_t>(std::time(nullptr)) - 600) * 1000;
};

// Full, log, copy-only full, differential, a point, log.
TEST_F(CopyOnlyRestoreAfterBackupJobs, ADifferentialAfterACopyOnlyFullStillRestoresToEveryPoint) {
    FullLogCopyOnlyAndAChange();
    Backup(45, "-I");
    const uint64_t point = static_cast<uint64_t>(std::time(nullptr));
    const std::vector<std::string> atThePoint = Contents("Sales");
    Change(4, static_cast<int64_t>(point + 5) * 1000);
    Backup(46, "-L");
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
    Backup(45, "-L");
    const std::vector<std::string> latest = Contents("Sales");

    ASSERT_TRUE(RestoreSales(60, "Copy"));
    EXPECT_TRUE(Contents("Copy") == latest);
    ASSERT_TRUE(RestoreSales(61, ""));
    EXPECT_TRUE(Contents("Sales") == latest);
}

}  // namespace
