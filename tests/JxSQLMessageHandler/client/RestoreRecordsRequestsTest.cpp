// The restores the central-server stand-in records from the restore-task
// requests, as the conversion-rule request then answers them.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "JxSQLCommon/records/SqlConversionRuleRecords.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

constexpr uint64_t kInstance = 7;

class RestoreRecordsRequestsTest : public jxtest::CentralServerTest {
protected:
    // A task restoring `database` into instance 7, as `newName` when given.
    static JxServeRestoreTask Task(const std::string& database, uint64_t flags, uint64_t pointInTime,
                                   const std::string& newName = "") {
        JxServeRestoreTask task;
        task.sourceInstanceId = kInstance;
        task.destinationInstanceId = kInstance;
        task.optionFlags = flags;
        task.pointInTime = pointInTime;
        task.databases = {database};
        if (!newName.empty()) task.relocations = {database + '\x12' + newName + '\x12' + database};
        return task;
    }

    // A restore job of `task` asks for its options.
    void Ask(const JxServeRestoreTask& task, bool xml = true) {
        JxServePutRestoreTask(++taskId, task);
        CSQLClientDll client;
        SqlRestoreTaskOptions_t options;
        if (xml) {
            ASSERT_TRUE(client.GetRestoreTaskOptions(taskId, options).IsSuccess());
        } else {
            ASSERT_TRUE(client.getRestoreTaskOptions(static_cast<int>(taskId), options));
        }
    }

    // (system database restored, point-in-time restore done) of `database`
    // of `instance`, as the conversion rules are told.
    std::pair<uint32_t, uint32_t> Flags(const std::string& database, uint64_t instance = kInstance) {
        CSQLClientDll client;
        std::string name = database;
        SqlDatabaseBackupInfo_V2 asked;
        asked.databaseName = name.data();
        SqlBackupConversionRulesReq_V4_t request;
        request.databaseCount = 1;
        request.databases = &asked;
        request.instanceId = static_cast<int64_t>(instance);
        client.getDataBuffer()->setExternalBuffer(&request, sizeof request);
        SqlBackupConversionRulesRsp_V2_t reply;
        client.getReceiveDataBuffer()->setExternalBuffer(&reply, sizeof reply);
        EXPECT_TRUE(client.checkBackupConversionRules());
        std::pair<uint32_t, uint32_t> flags{~0u, ~0u};
        if (reply.databaseCount == 1) {
            flags = {reply.databases[0].systemDatabaseRestored, reply.databases[0].pointInTimeRestored};
        }
        EXPECT_TRUE(client.FreeReceivedMessage(0x1e0000cb).IsSuccess());
        return flags;
    }

    uint64_t taskId = 0;
};

using Flagged = std::pair<uint32_t, uint32_t>;

TEST_F(RestoreRecordsRequestsTest, RestoresToAPointInTimeOrAMarkAreRecordedUnderTheNameRestoredAs) {
    Ask(Task("latest", kRstOverwrite, 0));
    Ask(Task("atTime", kRstPointInTime, 1614928089));
    Ask(Task("atMark", kRstStopAtMark, 1614928089), false);
    Ask(Task("beforeMark", kRstStopBeforeMark, 1614928089));
    Ask(Task("asOfTime", 0, 1614928089));  // the backups up to a time: not the latest state either
    Ask(Task("source", kRstPointInTime, 1614928089, "renamed"));
    JxServeRestoreTask toDisk = Task("onDisk", kRstPointInTime, 1614928089);
    toDisk.destinationInstanceId = 0;
    Ask(toDisk);

    EXPECT_EQ(Flags("latest"), Flagged(0, 0));
    EXPECT_EQ(Flags("ATTIME"), Flagged(0, 1)) << "database names compare without regard to case";
    EXPECT_EQ(Flags("atMark"), Flagged(0, 1));
    EXPECT_EQ(Flags("beforeMark"), Flagged(0, 1));
    EXPECT_EQ(Flags("asOfTime"), Flagged(0, 1));
    EXPECT_EQ(Flags("renamed"), Flagged(0, 1));
    EXPECT_EQ(Flags("source"), Flagged(0, 0));
    EXPECT_EQ(Flags("onDisk"), Flagged(0, 0)) << "nothing was restored into the instance";
}

TEST_F(RestoreRecordsRequestsTest, ARestoredSystemDatabaseIsRecordedForEveryKnownDatabaseOfItsInstance) {
    JxServeAddDatabase(kInstance, 5, "Sales");
    JxServeAddDatabase(kInstance, 6, "Hr");
    JxServeAddDatabase(kInstance + 1, 5, "Other");
    Ask(Task("msdb", kRstOverwrite, 0, "msdbCopy"));  // a copy is a user database
    EXPECT_EQ(Flags("Sales"), Flagged(0, 0));

    Ask(Task("msdb", kRstOverwrite, 0));
    EXPECT_EQ(Flags("Sales"), Flagged(1, 0));
    EXPECT_EQ(Flags("Hr"), Flagged(1, 0));
    EXPECT_EQ(Flags("msdb"), Flagged(1, 0));
    EXPECT_EQ(Flags("Other", kInstance + 1), Flagged(0, 0)) << "another instance's database";

    Ask(Task("model", kRstOverwrite | kRstPointInTime, 1614928089));
    EXPECT_EQ(Flags("model"), Flagged(1, 1));
}

}  // namespace
