// The last restore time of a database left in a restore sequence is the
// point the restore brought it to: the stop time, the time of the mark it
// stopped at or before, or the finish time of the set it restored; where
// the instance's backup history cannot tell, the time the restore ran.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "ChainRestoreFixture.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimBackupSets.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/WallSecond.h"

namespace {

using namespace vditest;

// Another restore adding the restored-to column at the same moment: while
// registered, every new connection gets a trace that, as its first ALTER
// TABLE of the restore history begins (before it takes any lock), lets a
// connection of its own add the column first.
std::atomic<bool> g_addedFirst{false};
std::atomic<int> g_otherRc{SQLITE_ERROR};

int AddColumnFirst(unsigned, void*, void* statement, void* sql) {
    if (std::strncmp(static_cast<const char*>(sql), "ALTER TABLE restore_history", 27) != 0 ||
        g_addedFirst.exchange(true)) {
        return 0;
    }
    const char* path = sqlite3_db_filename(sqlite3_db_handle(static_cast<sqlite3_stmt*>(statement)), "main");
    sqlite3* other = nullptr;
    int rc = sqlite3_open_v2(path, &other, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(other, "ALTER TABLE restore_history ADD COLUMN restored_to INTEGER", nullptr, nullptr, nullptr);
    }
    sqlite3_close(other);
    g_otherRc = rc;
    return 0;
}

int TraceNewConnection(sqlite3* db, char**, const void*) {
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, AddColumnFirst, nullptr);
    return SQLITE_OK;
}

// The restore history as a catalogue written before the restored-to point
// was kept holds it.
constexpr const char* kOldRestoreHistory =
    "CREATE TABLE restore_history(id INTEGER PRIMARY KEY, destination_database TEXT NOT NULL, "
    "type TEXT NOT NULL, restore_date INTEGER NOT NULL, backup_set_id TEXT NOT NULL, "
    "first_lsn INTEGER NOT NULL, last_lsn INTEGER NOT NULL, stop_at TEXT NOT NULL, "
    "replace INTEGER NOT NULL, state INTEGER NOT NULL);";

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
                     .Exec(std::string(kOldRestoreHistory) +
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

// Two restores find the restored-to column missing from such a history; the
// other one adds it first: this one goes on and records its point.
TEST_F(RestorePointTest, ARestoreFindingThePointColumnAddedByAnotherMeanwhileRecordsItsPoint) {
    ASSERT_FALSE(sim.Db().Exec(kOldRestoreHistory).IsError());
    g_addedFirst = false;
    g_otherRc = SQLITE_ERROR;
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&TraceNewConnection));
    CWzError recorded;
    std::thread([&] {
        SqlSimInstance restoring;  // on a new thread: a connection of its own
        recorded = restoring.Open(sim.Name());
        if (recorded.IsError()) return;
        SqlSimRestoreHistoryRow row;
        row.database = "Copy";
        row.backupSetId = "00000000000000bb";
        row.restoredTo = 1700000000;
        recorded = SqlSimAddRestoreHistory(restoring, row);
    }).join();
    sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&TraceNewConnection));
    ASSERT_TRUE(g_addedFirst) << "the other restore added the column first";
    ASSERT_EQ(g_otherRc, SQLITE_OK);
    EXPECT_FALSE(recorded.IsError()) << recorded.GetMessage();
    EXPECT_EQ(LastRestoreTime("Copy"), 1700000000ul);
}

}  // namespace
