// The central server's store is written by the host and by job processes at
// once: a write that finds another writer's transaction open waits for it to
// end instead of failing.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "JxEntityLib/LiveSyncReplication.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "WzSQLite/CSQLite3Exception.h"
#include "WzUtils/PlatformRoot.h"
#include "tests/support/SqliteBusyWatch.h"
#include "tests/support/TestRoot.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

// Runs `write` while another writer holds the store.
std::string WriteWhileAnotherWriterHoldsTheStore(const std::function<std::string()>& write) {
    return jxtest::WriteWhileAnotherWriterHolds(wz::PlatformPath("jxserve/jxserve.db"), write);
}

App::LiveSyncReplicationInfo Replication(int64_t subtaskId, int64_t replicationId) {
    App::LiveSyncReplicationInfo record;
    JxEntities::SubtaskEntity subtask;
    subtask.setint64(JxEntities::SubtaskEntity::kSubtaskId, subtaskId);
    record.setObjectAccessor(App::LiveSyncReplicationInfo::kSubtask, subtask);
    record.setint64(App::LiveSyncReplicationInfo::kReplicationId, replicationId);
    return record;
}

TEST(CentralServerStoreBusy, AStandInWriteWaitsForAnotherWritersTransaction) {
    jxtest::TestRoot root;
    JxServeLogMark mark;
    mark.instanceId = 7;
    mark.databaseName = "Sales";
    mark.markName = "first";
    JxServeAddLogMark(mark);  // the tables exist before the store is held
    mark.markName = "second";
    mark.value = 1;
    const std::string error = WriteWhileAnotherWriterHoldsTheStore([&]() -> std::string {
        try {
            JxServeAddLogMark(mark);
        } catch (const FX::CSQLite3Exception& e) {
            return e.what();
        }
        return "";
    });
    EXPECT_EQ(error, "");
    EXPECT_EQ(JxServeLogMarks(7, "Sales").size(), 2u);
}

TEST(CentralServerStoreBusy, ASiteReplicationWriteWaitsForAnotherWritersTransaction) {
    jxtest::TestRoot root;
    LiveSyncReplication replication;
    std::string error;
    ASSERT_EQ(replication.setSiteReplication(Replication(5, 11), error, nullptr), 0) << error;
    error = WriteWhileAnotherWriterHoldsTheStore([&]() -> std::string {
        std::string failure;
        return replication.setSiteReplication(Replication(5, 12), failure, nullptr) == 0 ? "" : failure;
    });
    EXPECT_EQ(error, "");
    std::vector<App::LiveSyncReplicationInfo> records;
    ASSERT_EQ(replication.getSiteReplication(Replication(5, 0), records, error, nullptr), 0) << error;
    EXPECT_EQ(records.size(), 2u);
}

}  // namespace
