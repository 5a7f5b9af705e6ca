// The log chain across a restore: a whole-database restore in place that
// brings the database to the end of its newest backup lets the next log
// backup go on from there, with exactly the changes made since; any other
// restore leaves no log chain until the next full backup.
#include <gtest/gtest.h>

#include "ChainRestoreFixture.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimBackupSets.h"

namespace {

using namespace vditest;

constexpr long kNoCurrentBackup = 4214;

class RestoreLogChainTest : public ChainRestoreTest {
protected:
    // A log backup of `database` that the engine refuses for want of a chain.
    void ExpectNoLogChain(const std::string& database) {
        Outcome o;
        Take(database, 'L', &o);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.code, kNoCurrentBackup) << o.text;
        EXPECT_EQ(State(database).logBackupLsn, 0u);
    }
};

TEST_F(RestoreLogChainTest, AFullAndItsLogRestoredInPlaceLetTheNextLogBackupGoOnFromTheLog) {
    Change("Sales", 4, 1);
    const Taken full = Take("Sales", 'D');
    Change("Sales", 3, 2);
    const Taken log1 = Take("Sales", 'L');
    Change("Sales", 9, 3);  // a tail the in-place restore throws away
    RestoreChain("Sales", {&full, &log1}, InPlace(), InPlace(true));
    ASSERT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);

    Change("Sales", 2, 4);
    Outcome o;
    const Taken log2 = Take("Sales", 'L', &o);
    ASSERT_TRUE(o.ok) << o.text;
    EXPECT_EQ(o.set.firstLSN, log1.set.lastLSN);
    EXPECT_EQ(o.set.databaseBackupLSN, full.set.checkpointLSN);

    // The new log holds exactly the changes since the restore: the chain
    // restored elsewhere matches the database byte for byte.
    RestoreChain("Copy", {&full, &log1, &log2}, Moved("copy"), Moved("copy", true));
    EXPECT_EQ(Contents("Copy"), Contents("Sales"));
}

TEST_F(RestoreLogChainTest, ARestoreEndingAtADifferentialRecoveredLaterGoesOnFromTheDifferential) {
    const Taken full = Take("Sales", 'D');
    Change("Sales", 5, 1);
    const Taken diff = Take("Sales", 'I');
    // Both sets WITH NORECOVERY, then RESTORE ... WITH RECOVERY alone.
    RestoreChain("Sales", {&full, &diff}, InPlace(), RestoreOptions{});
    ASSERT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_RESTORING);
    CJxSQLVDI engine;
    ASSERT_TRUE(engine.recoverOnly(L"Sales", kServer, L"")) << engine.getJXErrorString();

    Change("Sales", 3, 2);
    Outcome o;
    const Taken log = Take("Sales", 'L', &o);
    ASSERT_TRUE(o.ok) << o.text;
    EXPECT_EQ(o.set.firstLSN, diff.set.lastLSN);

    RestoreChain("Copy", {&full, &diff, &log}, Moved("copy"), Moved("copy", true));
    EXPECT_EQ(Contents("Copy"), Contents("Sales"));
}

TEST_F(RestoreLogChainTest, ARestoreStoppedInsideALogLeavesNoLogChain) {
    const Taken full = Take("Sales", 'D');
    Change("Sales", 3, 1, 1700000000000);
    Change("Sales", 3, 2, 1700000100000);
    const Taken log = Take("Sales", 'L');
    RestoreOptions last = InPlace(true);
    last.stopAt = "'2023-11-14 22:14:00'";
    RestoreChain("Sales", {&full, &log}, InPlace(), last);
    ASSERT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    Change("Sales", 1, 3);
    ExpectNoLogChain("Sales");
}

TEST_F(RestoreLogChainTest, ARestoreOfAFullThatHasLaterLogsLeavesNoLogChain) {
    const Taken full = Take("Sales", 'D');
    Change("Sales", 3, 1);
    Take("Sales", 'L');
    RestoreChain("Sales", {&full}, InPlace(true), InPlace(true));
    ExpectNoLogChain("Sales");
}

TEST_F(RestoreLogChainTest, ARestoreUnderAnotherNameLeavesNoLogChain) {
    const Taken full = Take("Sales", 'D');
    RestoreChain("Copy", {&full}, Moved("copy", true), Moved("copy", true));
    ASSERT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_ONLINE);
    ExpectNoLogChain("Copy");

    // Even where Copy's own newest backup ends at the LSN of Sales's set:
    // the set is another database's, so its restore starts a new path.
    const Taken copyFull = Take("Copy", 'D');
    ASSERT_EQ(copyFull.set.lastLSN, full.set.lastLSN);
    RestoreOptions over = Moved("copy", true);
    over.replace = true;
    RestoreChain("Copy", {&full}, over, over);
    ExpectNoLogChain("Copy");
}

TEST_F(RestoreLogChainTest, ARestoreOfASetTheHistoryNoLongerHoldsLeavesNoLogChain) {
    const Taken full = Take("Sales", 'D');
    SqlSimBackupSetRow row;
    bool found = false;
    ASSERT_FALSE(SqlSimFindBackupSet(sim, full.set.deviceName, row, found).IsError());
    ASSERT_TRUE(found) << full.set.deviceName;
    CsqlDMO dmo;
    ASSERT_TRUE(dmo.pruneMSDBEntries({kServer, {static_cast<uint64_t>(row.id)}}));
    RestoreChain("Sales", {&full}, InPlace(true), InPlace(true));
    ExpectNoLogChain("Sales");
}

TEST_F(RestoreLogChainTest, ASimpleRecoveryDatabaseGetsNoLogChainFromARestore) {
    SqlSimDatabaseSpec quick;
    quick.name = "Quick";
    quick.recoveryModel = "SIMPLE";
    ASSERT_FALSE(sim.AddDatabase(quick).IsError());
    const Taken full = Take("Quick", 'D');
    RestoreChain("Quick", {&full}, InPlace(true), InPlace(true));
    ASSERT_EQ(DatabaseState(sim, "Quick"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(State("Quick").logBackupLsn, 0u);
}

}  // namespace
