// A database a restore sequence holds, RESTORING or STANDBY, is refused by
// every kind of backup before anything is sent: nothing enters the
// instance's backup history and its LSN state stays as it was.
#include <gtest/gtest.h>

#include <string>

#include "JxsqlDMO/SqlDbState.h"
#include "VdiHarness.h"

namespace {

using namespace vditest;

class BackupWhileRestoringTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(MakeSales(sim, 512 * 1024, 256 * 1024));
        handler = SqlDataTransferHandler(true, 77, 7, 2, "cs", 1, 0);
        ASSERT_TRUE(Backup(handler, "Sales", 'D', 1).ok);
        ASSERT_FALSE(SqlSimChanges(sim).Change({"Sales", 3, 1, "", 0}).IsError());
    }

    int64_t HistoryRows() {
        SimSqlStatement q = sim.Db().Prepare("SELECT COUNT(*) FROM backup_history");
        return q.Step() ? q.Int(0) : -1;
    }

    SqlSimLsnState State() {
        int64_t id = 0;
        EXPECT_FALSE(sim.DatabaseId("Sales", id).IsError());
        SqlSimLsnState state;
        EXPECT_FALSE(SqlSimChanges(sim).State(id, state).IsError());
        return state;
    }

    SqlSimInstance sim;
    SqlDataTransferHandler handler;
};

TEST_F(BackupWhileRestoringTest, EveryBackupOfARestoringOrStandbyDatabaseIsRefusedAndChangesNothing) {
    const struct {
        int state;
        long code;
    } cases[] = {{SQLDB_STATE_RESTORING, 927}, {SQLDB_STATE_STANDBY, 3036}};
    for (const auto& c : cases) {
        ASSERT_FALSE(sim.SetDatabaseState("Sales", c.state).IsError());
        for (char type : {'D', 'I', 'L'}) {
            SCOPED_TRACE(std::string(1, type) + " of a database in state " + std::to_string(c.state));
            const SqlSimLsnState before = State();
            const int64_t rows = HistoryRows();
            Outcome o = Backup(handler, "Sales", type, 1);
            EXPECT_FALSE(o.ok);
            EXPECT_EQ(o.code, c.code) << o.text;
            EXPECT_NE(o.text.find("'Sales'"), std::string::npos) << o.text;
            EXPECT_EQ(HistoryRows(), rows);
            const SqlSimLsnState after = State();
            EXPECT_EQ(after.currentLsn, before.currentLsn);
            EXPECT_EQ(after.lastFullLsn, before.lastFullLsn);
            EXPECT_EQ(after.logBackupLsn, before.logBackupLsn);
        }
    }
    // Back ONLINE, the same database backs up again.
    ASSERT_FALSE(sim.SetDatabaseState("Sales", SQLDB_STATE_ONLINE).IsError());
    Outcome o = Backup(handler, "Sales", 'L', 1);
    EXPECT_TRUE(o.ok) << o.text;
}

}  // namespace
