// Test support for restores of what real backup jobs made: subclient 1234
// of the restore end-to-end instance (id 8) set up for the backup program's
// jobs, streamed or by snapshot, and one phase of such a job.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/SettingsFile.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tests/support/TestRoot.h"
#include "tools/jobs/SnapshotBackupJob.h"

// The databases of subclient 1234 become `databases`, and no others.
inline void SetSubclientDatabases(const std::vector<std::string>& databases) {
    SettingsFile model(AppModel::FilePath());
    for (int n = 1; model.Get("subclient/1234", "property118_" + std::to_string(n)).has_value(); ++n) {
        ASSERT_TRUE(model.Remove("subclient/1234", "property118_" + std::to_string(n)));
    }
    for (size_t i = 0; i < databases.size(); ++i) {
        ASSERT_TRUE(AppModel::Set("subclient/1234", "property118_" + std::to_string(i + 1), databases[i]));
    }
}

// Subclient 1234 of client 2 ("node1") backs up `databases` of instance 8
// (`instance`); with `snapshots` its full and differential jobs take
// snapshots (engine 2), its log jobs stream through VDI. Each database's
// data are committed once its set is stored.
inline void PrepareSubclientForBackupJobs(jxtest::TestRoot& root, const std::string& instance,
                                          const std::vector<std::string>& databases, bool snapshots) {
    ASSERT_TRUE(AppModel::Set("subclient/1234", "name", "daily"));
    ASSERT_TRUE(AppModel::Set("subclient/1234", "dataBkpStreams", "1"));
    ASSERT_TRUE(AppModel::Set("subclient/1234", "snapBackup", snapshots ? "1" : "0"));
    ASSERT_TRUE(AppModel::Set("subclient/1234", "snapEngine", "2"));
    SetSubclientDatabases(databases);
    ASSERT_TRUE(AppModel::Set("instance/8", "name", instance));
    ASSERT_TRUE(AppModel::Set("instance/8", "sqlVersion", "15.0.2000.5"));
    ASSERT_TRUE(AppModel::Set("client/2", "name", "node1"));
    ASSERT_TRUE(AppModel::Set("client/2", "hostName", "node1"));
    ASSERT_TRUE(AppModel::Set("client/2", "useIndexingV2ForMSSQL", "1"));
    ASSERT_NE(JXPlatformInfo().setString("", "sPhysicalNodeName", "node1"), 0);
    ASSERT_NE(JXPlatformInfo().setString("Machines/node1", "dJOBRESULTSDIR", root.path()), 0);
    ASSERT_NE(JXPlatformInfo().setNumber("MSSQLAgent", "bCommitData", 1), 0);
}

// Runs one phase ("-D", "-I" or "-L") of backup job `jobId` of the subclient
// as the backup program runs it; the status the job reported to the job
// manager ("1" completed), "none" when it reported none.
inline std::string RunSubclientBackup(uint64_t jobId, const std::string& phase) {
    SnapshotBackupJob job;
    EXPECT_TRUE(jxtest::RunBackupPhase(job, jobId, phase, 1, jxtest::LevelOf(phase)));
    auto complete = jxtest::JobJournal(jobId, "complete");
    return complete.empty() ? "none" : complete.back().Get("status");
}
