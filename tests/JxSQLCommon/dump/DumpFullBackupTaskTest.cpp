// Scheduling a FULL backup job of a subclient's databases: what the
// scheduler stand-in recorded for the new job.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "EvTaskApiNet/EvTask.h"
#include "JxLib/SettingsFile.h"
#include "JxSQLCommon/dump/DumpSweepUtils.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/TMMsgMessages.h"
#include "tests/support/TestRoot.h"

namespace {

using Entity = JxEntities::GenericEntity;
using Options = TMMsg::JobOption;

class DumpFullBackupTask : public jxtest::RootedTest {
protected:
    std::string Recorded(long long jobId, const std::string& key) {
        return SettingsFile(EvTask::ScheduledJobPath(jobId)).Get("job", key).value_or("");
    }
    // The backup options the job was scheduled with.
    CNMessageBase BackupOptions(long long jobId) {
        Options options;
        EXPECT_EQ(kMsgOk, options.unserialize(Recorded(jobId, "jobOptions")));
        const CNMessageBase* backup = options.getObjectAccessor(Options::kBackupOptions);
        EXPECT_NE(nullptr, backup);
        return backup != nullptr ? *backup : CNMessageBase(0, 0);
    }
    DumpSweepUtils utils;
};

TEST_F(DumpFullBackupTask, SchedulesAFullBackupOfTheSubclientForTheNamedDatabases) {
    long long jobId = 0;
    ASSERT_TRUE(utils.CreateFullBackupTask(2, 1234, 7, {"Sales", "Hr"}, jobId));
    EXPECT_EQ(1, jobId);
    EXPECT_EQ("2", Recorded(jobId, "subTaskType"));
    EXPECT_EQ("2", Recorded(jobId, "taskOperationType"));
    EXPECT_EQ("1", Recorded(jobId, "taskType"));
    ASSERT_EQ("1", Recorded(jobId, "entityCount"));
    Entity entity;
    ASSERT_EQ(kMsgOk, entity.unserialize(Recorded(jobId, "entity0")));
    EXPECT_EQ(81, entity.getint64(Entity::kApplicationType));
    EXPECT_EQ("SQL Server", entity.getstring(Entity::kApplicationName));
    EXPECT_EQ(2, entity.getint64(Entity::kClientId));
    EXPECT_EQ(1234, entity.getint64(Entity::kSubclientId));
    EXPECT_EQ(7, entity.getint64(Entity::kInstanceId));
    const CNMessageBase backup = BackupOptions(jobId);
    EXPECT_EQ(Options::kBackupOptionsMessage, backup.getMessage());
    EXPECT_EQ(6, backup.getint64(Options::kBackupLevel));
    EXPECT_TRUE(backup.isSet(Options::kBackupOption16));
    EXPECT_EQ(0, backup.getint64(Options::kBackupOption16));
    EXPECT_EQ(1, backup.getint64(Options::kBackupOption33));
    EXPECT_EQ(1, backup.getint64(Options::kBackupOption65));
    EXPECT_EQ("Hr\x12Sales", backup.getstring(Options::kDatabaseNames));  // in set order

    // Without names the whole subclient is backed up; the next job gets the next id.
    ASSERT_TRUE(utils.CreateFullBackupTask(2, 1234, 7, {}, jobId));
    EXPECT_EQ(2, jobId);
    EXPECT_FALSE(BackupOptions(jobId).isSet(Options::kDatabaseNames));
}

TEST_F(DumpFullBackupTask, AnUnreachableSchedulerCreatesNoJob) {
    root.WriteFile("scheduler/unavailable", "");
    long long jobId = 99;
    EXPECT_FALSE(utils.CreateFullBackupTask(2, 1234, 7, {"Sales"}, jobId));
    EXPECT_EQ(99, jobId);
    EXPECT_EQ("", jxtest::ReadWholeFile(EvTask::ScheduledJobPath(1)));
}

}  // namespace
