// Test support: restore jobs of what whole backup jobs made. The backups are
// the jobs of jxtest::BackupJobRun (instance "HOST/INST", id 7, subclient
// 1234); the restore jobs run task 77 against the same instance, with the
// SQL Server account faked so that nothing outside the root changes owner.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/FileGroupEntry.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/SqlSimChanges.h"
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
    // every file of it moved under the root when `newName` is not empty.
    JxServeRestoreTask TaskFor(const std::string& database, const std::string& newName = "") {
        JxServeRestoreTask task;
        task.sourceInstanceId = kInstanceId;
        task.destinationInstanceId = kInstanceId;
        task.databases = {database};
        if (!newName.empty()) {
            const char sep = '\x12';
            for (const SqlSimFileRow& f : Files(database)) {
                task.relocations.push_back(database + sep + newName + sep + f.logicalName + sep + "old" + sep +
                                           root.File("moved/" + newName + "_" + f.logicalName));
            }
        }
        return task;
    }

    // The restore in place of the file or file group `name` of `database`, as
    // job `jobId`, to `pointInTime` (0: the latest).
    bool RestoreFileGroup(const std::string& database, const std::string& name, uint64_t jobId, int* status,
                          uint64_t pointInTime = 0) {
        JxServeRestoreTask task = TaskFor(database + kFileGroupSeparator + name);
        task.optionFlags = kRstFileFileGroup | kRstOverwrite | (pointInTime != 0 ? kRstPointInTime : 0);
        task.pointInTime = pointInTime;
        return RunRestore(jobId, task, status);
    }

    // Overwrites the start of the data file `logicalName` of `database`.
    void Damage(const std::string& database, const std::string& logicalName) {
        for (const SqlSimFileRow& f : Files(database)) {
            if (f.logicalName != logicalName) continue;
            std::fstream file(f.path, std::ios::in | std::ios::out | std::ios::binary);
            file << std::string(4096, 'X');
            return;
        }
        FAIL() << "no file " << logicalName;
    }

    // Runs restore job `jobId` of `task`: its result, and the status it
    // reported.
    bool RunRestore(uint64_t jobId, const JxServeRestoreTask& task, int* status = nullptr) {
        JxServePutRestoreTask(kTask, task);
        CSQLRestoreBase job;
        return jxtest::RunRestoreJob(job, jobId, kTask, status);
    }

    // The texts of the pending causes job `jobId` reported, each cause's
    // arguments joined by " | ".
    std::string CauseTexts(uint64_t jobId) {
        std::string text;
        for (const auto& cause : Journal(jobId, "setPendingCause")) {
            for (const std::string& arg : cause.List("args")) text += arg + " | ";
        }
        return text;
    }

    // The files of `database` in the instance's catalogue.
    std::vector<SqlSimFileRow> Files(const std::string& database) {
        int64_t id = 0;
        std::vector<SqlSimFileRow> files;
        EXPECT_FALSE(instance.DatabaseId(database, id).IsError());
        EXPECT_FALSE(SqlSimChanges(instance).Files(id, files).IsError());
        return files;
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
