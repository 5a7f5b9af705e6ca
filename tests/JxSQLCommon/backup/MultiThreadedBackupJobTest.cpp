// The backup program's multi-threaded job: every worker backs its collect
// file's databases up into a pipeline of its own, registers their backup
// sets and commits them.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/StatusTabStore.h"
#include "JxLib/JXPlatformInfo.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tools/jobs/MultiThreadedBackupJob.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

class MultiThreadedBackupJobTest : public jxtest::BackupJobRun {};

TEST_F(MultiThreadedBackupJobTest, WorkersBackUpTheirFilesIntoTheirOwnPipelines) {
    SqlSimServerSpec server;
    server.name = "HOST/INST";
    ASSERT_FALSE(instance.Create(server).IsError());
    for (int i = 0; i < 10; ++i) {
        SqlSimDatabaseSpec db;
        db.name = "db" + std::to_string(i);
        db.dataSize = 64 * 1024 * static_cast<uint64_t>(i + 1);
        ASSERT_FALSE(instance.AddDatabase(db).IsError());
        AppModel::Set("subclient/1234", "property118_" + std::to_string(i + 1), db.name);
    }
    JXPlatformInfo().setNumber("MSSQLAgent", "BlbDbsPerCollect", 3);
    MultiThreadedBackupJob job;
    ASSERT_TRUE(RunPhaseOf(job, 501, "-D", 1, {}));
    auto complete = Journal(501, "complete");
    ASSERT_FALSE(complete.empty());
    EXPECT_EQ(complete.back().Get("status"), "1");
    EXPECT_EQ(Journal(501, "setFilesSoFar").size(), 10u);

    std::set<std::string> backedUp;
    for (const JxServeBackupSet& set : JxServeStoredBackupSets()) {
        if (set.jobId == 501) backedUp.insert(set.databaseName);
    }
    EXPECT_EQ(backedUp.size(), 10u);
    for (const std::string& name : backedUp) {
        EXPECT_FALSE(JxServeStoredArchives(name).empty()) << name;
    }
}

// The worker's data are committed when it closes its pipeline: when that
// commit fails, its collect file counts as failed and none of its databases
// is reported backed up.
TEST_F(MultiThreadedBackupJobTest, AWorkerWhoseCommitFailsCountsAsAFailure) {
    MakeDatabases({"db1", "db2"});
    JXPlatformInfo().setNumber("MSSQLAgent", "BlbDbsPerCollect", 10);
    JXPlatformInfo().setNumber("MSSQLAgent", "BlbMinCollectFiles", 1);  // one collect file
    jxtest::FaultyFileSystem faults;
    wz::ScopedFileSystem use(faults);
    faults.FailCallOn(jxtest::ArchiveFiles(), jxtest::FsCall::kFsync, 1, EIO, true);
    MultiThreadedBackupJob job;
    ASSERT_TRUE(RunPhaseOf(job, 502, "-D", 1, {}));

    ASSERT_GT(faults.Fired(jxtest::FsCall::kFsync), 0);
    auto complete = Journal(502, "complete");
    ASSERT_FALSE(complete.empty());
    EXPECT_EQ(complete.back().Get("status"), "2");
    for (const std::string& xml : statustab::Records(502, 2)) {
        JobManager::SQLStatusTab tab;
        ASSERT_EQ(tab.unserialize(xml), kMsgOk);
        const std::string name = tab.getstring(JobManager::SQLStatusTab::kDatabaseName);
        EXPECT_EQ(tab.getint64(JobManager::SQLStatusTab::kStatus), JobManager::kDBStatusFailed) << name;
        EXPECT_EQ(tab.getstring(JobManager::SQLStatusTab::kFailureReason), "Data Commit failed in media agent.")
            << name;
    }
}

}  // namespace
