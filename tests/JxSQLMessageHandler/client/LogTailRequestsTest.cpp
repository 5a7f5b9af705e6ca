// When the central-server stand-in answers a file/filegroup list with status
// 3 (back up the log's tail first), learned from the database's own state on
// the simulated instance, and when it never does.
#include <gtest/gtest.h>

#include <list>
#include <string>

#include "JXAppMgr/AppModel.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tests/JxSQLMessageHandler/client/FileGroupListRequest.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

constexpr uint64_t kInstance = 7;
constexpr uint64_t kTask = 77;

class LogTailRequestsTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        SqlSimServerSpec server;
        server.name = "HOST/TAIL";
        ASSERT_FALSE(sim.Create(server).IsError());
        for (const char* model : {"FULL", "SIMPLE"}) {
            SqlSimDatabaseSpec db;
            db.name = model[0] == 'F' ? "Sales" : "Scratch";
            db.recoveryModel = model;
            ASSERT_FALSE(sim.AddDatabase(db).IsError());
        }
        ASSERT_TRUE(AppModel::Set("instance/7", "name", "HOST/TAIL"));
    }

    // A backup of `database` (a full, or a log after the last backup) that
    // holds every record written so far.
    void BackUpEverything(const std::string& database, bool withLsns = true, char type = 'D') {
        int64_t id = 0;
        SqlSimLsnState state;
        ASSERT_FALSE(sim.DatabaseId(database, id).IsError());
        ASSERT_FALSE(SqlSimChanges(sim).State(id, state).IsError());
        JxServeBackup backup;
        backup.instanceId = kInstance;
        backup.database = database;
        backup.backupType = type;
        backup.endTime = 100;
        if (withLsns) {
            backup.firstLsn = type == 'L' ? backedUpBelow : "";
            backup.lastLsn = backup.checkpointLsn = backedUpBelow = std::to_string(state.currentLsn + 1);
        }
        JxServePutBackup(backup);
    }
    // Writes `pages` log records.
    void Change(const std::string& database, uint32_t pages = 2) {
        ASSERT_FALSE(SqlSimChanges(sim).Change({database, pages, 1, "", 0}).IsError());
    }
    // The list's status for group FG2 of `database`, restored by task kTask
    // into instance `destination`.
    unsigned long Status(const std::string& database, uint64_t destination = kInstance) {
        JxServeRestoreTask task;
        task.sourceInstanceId = kInstance;
        task.destinationInstanceId = destination;
        task.databases = {database + '\x12' + "FG2"};
        JxServePutRestoreTask(kTask, task);
        std::list<unsigned long> ids;
        return jxtest::AskFileGroupList(client, database, kInstance, 0, kTask, "FG2", ids);
    }

    SqlSimInstance sim;
    CSQLClientDll client;
    std::string backedUpBelow;  // the last LSN of the last backup put
};

TEST_F(LogTailRequestsTest, AnOnlineDatabaseChangedSinceItsLastBackupIsAskedForItsTail) {
    BackUpEverything("Sales");
    EXPECT_EQ(Status("Sales"), 0u) << "the backup holds every record";
    Change("Sales");
    EXPECT_EQ(Status("Sales"), 3u);
}

// A backup's last LSN is that of the first record it does not hold: one
// record written after the last log backup is a tail.
TEST_F(LogTailRequestsTest, OneRecordBeyondTheLastLogBackupIsATail) {
    BackUpEverything("Sales");
    Change("Sales");
    BackUpEverything("Sales", true, 'L');
    EXPECT_EQ(Status("Sales"), 0u) << "the log backup holds every record";
    Change("Sales", 1);
    EXPECT_EQ(Status("Sales"), 3u);
}

// Whatever the tail, the answer is the list when the restore goes elsewhere,
// the log cannot be backed up, the database is restoring or on standby, or
// the chain holds no LSNs.
TEST_F(LogTailRequestsTest, NoTailIsAskedForWhereALogBackupCannotHelp) {
    BackUpEverything("Sales");
    BackUpEverything("Scratch");
    Change("Sales");
    Change("Scratch");
    EXPECT_EQ(Status("Sales", 9), 0u) << "restored into another instance";
    EXPECT_EQ(Status("Scratch"), 0u) << "SIMPLE recovery";
    ASSERT_FALSE(sim.SetDatabaseState("Sales", SQLDB_STATE_RESTORING).IsError());
    EXPECT_EQ(Status("Sales"), 0u) << "RESTORING";
    ASSERT_FALSE(sim.SetDatabaseState("Sales", SQLDB_STATE_STANDBY).IsError());
    EXPECT_EQ(Status("Sales"), 0u) << "STANDBY";
    ASSERT_FALSE(sim.SetDatabaseState("Sales", SQLDB_STATE_ONLINE).IsError());
    EXPECT_EQ(Status("Sales"), 3u);
    BackUpEverything("Sales", /*withLsns=*/false);
    EXPECT_EQ(Status("Sales"), 0u) << "the latest chain holds no LSNs";
}

}  // namespace
