// Test support: restore jobs of what whole backup jobs made. The backups are
// the jobs of jxtest::BackupJobRun (instance "HOST/INST", id 7, subclient
// 1234); the restore jobs run task 77 against the same instance, with the
// SQL Server account faked so that nothing outside the root changes owner.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tests/JxSQLCommon/restore/FakeSqlServerAccount.h"
#include "tests/JxSQLCommon/restore/RunRestoreJob.h"
#include "tests/platform/JxSqlDataReaderWriter/VdiHarness.h"
#include "tools/jxserve/JxServeRestoreStore.h"

class RestoreAfterBackupJobs : public jxtest::BackupJobRun {
protected:
    static constexpr uint64_t kInstanceId = 7;
    static constexpr uint64_t kTask = 77;

    void SetUp() override {
        BackupJobRun::SetUp();
        account.writable = {root.File("moved"), root.path() + "/moved"};
    }

    // A task restoring `database` of the instance into it, as `newName` with
    // its two files moved under the root when `newName` is not empty.
    JxServeRestoreTask TaskFor(const std::string& database, const std::string& newName = "") {
        JxServeRestoreTask task;
        task.sourceInstanceId = kInstanceId;
        task.destinationInstanceId = kInstanceId;
        task.databases = {database};
        if (!newName.empty()) {
            const char sep = '\x12';
            for (const char* suffix : {"", "_log"}) {
                task.relocations.push_back(database + sep + newName + sep + database + suffix + sep + "old" + sep +
                                           root.File("moved/" + newName + suffix));
            }
        }
        return task;
    }

    // Runs restore job `jobId` of `task`: its result, and the status it
    // reported.
    bool RunRestore(uint64_t jobId, const JxServeRestoreTask& task, int* status = nullptr) {
        JxServePutRestoreTask(kTask, task);
        CSQLRestoreBase job;
        return jxtest::RunRestoreJob(job, jobId, kTask, status);
    }

    // The bytes of the data files of `database`, by file id.
    std::vector<std::string> Contents(const std::string& database) {
        std::vector<std::string> out;
        for (const std::string& path : vditest::DataFiles(instance, database)) out.push_back(vditest::ReadAll(path));
        return out;
    }

    FakeSqlServerAccount account;
    ScopedSqlServerAccount installed{account};
};
