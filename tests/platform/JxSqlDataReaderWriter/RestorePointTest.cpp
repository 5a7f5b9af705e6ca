// The last restore time of a database left in a restore sequence is the
// point the restore brought it to: the stop time, the time of the mark it
// stopped at or before, or the finish time of the set it restored; where
// the instance's backup history cannot tell, the time the restore ran.
#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <string>

#include "ChainRestoreFixture.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimBackupSets.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/WallSecond.h"

namespace {

using namespace vditest;

class RestorePointTest : public ChainRestoreTest {
protected:
    unsigned long LastRestoreTime(const std::string& database) {
        CsqlDMO dmo;
        unsigned long time = 0;
        EXPECT_TRUE(dmo.getLastDatabaseRestoreTime(kServer, database, 0, time)) << FXString::ToString(dmo.getErrorString());
        return time;
    }

    static unsigned long FinishOf(const Taken& taken) { return std::stoul(taken.set.finishDate); }

    // Take, while the backup's first read of the database waits for the
    // wall clock to turn a second: it starts and finishes in different
    // seconds, as a backup of a real database does.
    Taken TakeAcrossASecond(const std::string& database, char type) {
        struct SecondTurningReads : wz::ForwardingFileSystem {
            ssize_t PRead(int fd, void* b, size_t n, off_t o) override {
                if (!turned.exchange(true)) jxtest::AwaitSecondAfter();
                return wz::ForwardingFileSystem::PRead(fd, b, n, o);
            }
            std::atomic<bool> turned{false};
        } reads;
        wz::ScopedFileSystem use(reads);
        return Take(database, type);
    }
};

TEST_F(RestorePointTest, AStopTimeInsideALogIsThePointOfAStandbyDatabase) {
    const Taken full = Take("Sales", 'D');
    Change("Sales", 3, 1, 1700000000000);  // 2023-11-14 22:13:20 UTC
    Change("Sales", 3, 2, 1700000100000);
    const Taken log = Take("Sales", 'L');
    RestoreOptions last = Moved("copy");
    last.standbyUndo = root.File("undo/copy.tuf");
    last.stopAt = "'2023-11-14 22:14:00'";
    RestoreChain("Copy", {&full, &log}, Moved("copy"), last);
    ASSERT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_STANDBY);
    EXPECT_EQ(LastRestoreTime("Copy"), 1700000040ul);
}

TEST_F(RestorePointTest, AStopAtOrBeforeAMarkIsThePointOfTheMarksRecord) {
    const Taken full = Take("Sales", 'D');
    Change("Sales", 3, 1, 1700000000000);
    Change("Sales", 1, 2, 1700000050000, "release");
    Change("Sales", 2, 3, 1700000100000);
    const Taken log = Take("Sales", 'L');

    RestoreOptions at = Moved("at");
    at.stopAtMark = "release";
    RestoreChain("AtMark", {&full, &log}, Moved("at"), at);
    RestoreOptions before = Moved("before");
    before.stopBeforeMark = "release";
    RestoreChain("BeforeMark", {&full, &log}, Moved("before"), before);

    EXPECT_EQ(LastRestoreTime("AtMark"), 1700000050ul);
    EXPECT_EQ(LastRestoreTime("BeforeMark"), 1700000050ul);
}

// The restore of the last log failed (or was never run): the database stands
// at the end of the previous log, not at the time its restore ran nor the
// time that log began (it took more than a second).
TEST_F(RestorePointTest, APlainRestoreIsThePointTheRestoredSetFinished) {
    const Taken full = Take("Sales", 'D');
    Change("Sales", 3, 1);
    const Taken log1 = TakeAcrossASecond("Sales", 'L');
    ASSERT_LT(std::stoul(log1.set.startDate), FinishOf(log1));
    Change("Sales", 3, 2);
    const Taken log2 = Take("Sales", 'L');
    jxtest::AwaitSecondAfter(static_cast<std::time_t>(FinishOf(log2)));

    RestoreChain("Sales", {&full, &log1}, InPlace(), RestoreOptions{});
    ASSERT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_RESTORING);
    EXPECT_EQ(LastRestoreTime("Sales"), FinishOf(log1));
    SqlSimBackupSetRow row;
    bool found = false;
    ASSERT_FALSE(SqlSimFindBackupSet(sim, log1.set.deviceName, row, found).IsError());
    EXPECT_EQ(static_cast<unsigned long>(row.finishTime), FinishOf(log1)) << "as the instance's history has it";
}

TEST_F(RestorePointTest, ASetUnknownToTheInstancesHistoryIsDatedByTheRestore) {
    const Taken full = Take("Sales", 'D');
    SqlSimBackupSetRow row;
    bool found = false;
    ASSERT_FALSE(SqlSimFindBackupSet(sim, full.set.deviceName, row, found).IsError());
    ASSERT_TRUE(found);
    CsqlDMO dmo;
    ASSERT_TRUE(dmo.pruneMSDBEntries({kServer, {static_cast<uint64_t>(row.id)}}));
    jxtest::AwaitSecondAfter(static_cast<std::time_t>(FinishOf(full)));

    const unsigned long before = static_cast<unsigned long>(std::time(nullptr));
    RestoreChain("Copy", {&full}, Moved("copy"), Moved("copy"));
    const unsigned long after = static_cast<unsigned long>(std::time(nullptr));
    const unsigned long answered = LastRestoreTime("Copy");
    EXPECT_GE(answered, before);
    EXPECT_LE(answered, after);
}

TEST_F(RestorePointTest, ARestoreHistoryWrittenBeforeThePointWasKeptStillAnswersAndTakesNewRestores) {
    // The restore history as an older catalogue holds it.
    ASSERT_FALSE(sim.Db()
                     .Exec("CREATE TABLE restore_history(id INTEGER PRIMARY KEY, destination_database TEXT NOT NULL, "
                           "type TEXT NOT NULL, restore_date INTEGER NOT NULL, backup_set_id TEXT NOT NULL, "
                           "first_lsn INTEGER NOT NULL, last_lsn INTEGER NOT NULL, stop_at TEXT NOT NULL, "
                           "replace INTEGER NOT NULL, state INTEGER NOT NULL);"
                           "INSERT INTO restore_history VALUES(NULL, 'Old', 'D', 1600000000, '00000000000000aa', "
                           "1000, 1001, '', 0, 2);")
                     .IsError());
    EXPECT_EQ(LastRestoreTime("Old"), 1600000000ul);

    const Taken full = Take("Sales", 'D');
    jxtest::AwaitSecondAfter(static_cast<std::time_t>(FinishOf(full)));
    RestoreChain("Copy", {&full}, Moved("copy"), Moved("copy"));
    EXPECT_EQ(LastRestoreTime("Copy"), FinishOf(full));
    EXPECT_EQ(LastRestoreTime("Old"), 1600000000ul);
}

}  // namespace
