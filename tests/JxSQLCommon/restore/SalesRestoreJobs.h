// Test support: the backup jobs of database "Sales" of the instance of
// RestoreAfterBackupJobs and the restores a user runs of what they stored,
// each run as its program runs it and judged by the status it reported.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JXAppMgr/AppModel.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/restore/RestoreAfterBackupJobs.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/WallSecond.h"
#include "tools/jxserve/JxServeRestoreStore.h"

class SalesRestoreJobs : public RestoreAfterBackupJobs {
protected:
    static constexpr unsigned long kCopyOnlyOption = 39;

    void SetUp() override {
        RestoreAfterBackupJobs::SetUp();
        MakeDatabases({});
        ASSERT_NO_FATAL_FAILURE(CreateSales());
        ASSERT_TRUE(AppModel::Set("subclient/1234", "property118_1", "Sales"));
    }

    // Creates Sales, as CREATE DATABASE does; `id` (may be null) gets its id.
    void CreateSales(int64_t* id = nullptr) {
        SqlSimDatabaseSpec sales;
        sales.name = "Sales";
        sales.recoveryModel = recoveryModel;
        sales.dataSize = dataSize;
        ASSERT_FALSE(instance.AddDatabase(sales, id).IsError());
    }

    // Changes Sales; its log records bear the time `timeMs` (ms since 1970,
    // 0: now).
    void Change(uint64_t seed, int64_t timeMs = 0) {
        ASSERT_FALSE(SqlSimChanges(instance).Change({"Sales", 4, seed, "", timeMs}).IsError());
    }
    // A marked transaction `mark` of one page, at `timeMs`.
    void ChangeMarked(uint64_t seed, const std::string& mark, int64_t timeMs) {
        ASSERT_FALSE(SqlSimChanges(instance).Change({"Sales", 1, seed, mark, timeMs}).IsError());
    }

    // Jobs 50 and 51, a full and a log, each after a change whose log
    // records bear times well in the past, so that a point in time taken
    // from now on keeps them whatever second they were written in.
    void FullAndLog() {
        Change(1, pastMs);
        ASSERT_EQ(Backup(50, "-D"), "1");
        Change(2, pastMs + 1000);
        ASSERT_EQ(Backup(51, "-L"), "1");
    }

    // FullAndLog, then log 52 after a change dated past log 51's end, in a
    // later second than log 51: Sales's contents after log 51.
    std::vector<std::string> FullAndTwoLogs() {
        FullAndLog();
        const std::vector<std::string> afterFirstLog = Contents("Sales");
        const uint64_t end = EndOf(51);
        jxtest::AwaitSecondAfter(end);
        Change(3, static_cast<int64_t>(end + 5) * 1000);
        EXPECT_EQ(Backup(52, "-L"), "1");
        return afterFirstLog;
    }

    // The backup of Sales that job `jobId` stored at the central server.
    JxServeBackup BackupOf(uint64_t jobId) {
        auto store = JxServeOpenRestoreStore();
        for (const JxServeBackup& b : JxServeBackupsOf(*store, kInstanceId, "Sales", 0)) {
            if (b.jobId == jobId) return b;
        }
        ADD_FAILURE() << "no backup of job " << jobId;
        return {};
    }
    // When backup job `jobId` of Sales ended (seconds), as the central
    // server lists it to a user picking a point in time.
    uint64_t EndOf(uint64_t jobId) { return BackupOf(jobId).endTime; }

    // Runs backup job `jobId` of Sales, of `phase` "-D", "-C" (a copy-only
    // full), "-I" or "-L": the status it reported to the job manager ("1"
    // completed), "none" when it reported none.
    std::string Backup(uint64_t jobId, const std::string& phase) {
        if (phase == "-C") {
            EXPECT_TRUE(EvTask::setOption(jobId, kCopyOnlyOption, "1"));
        }
        const std::string run = phase == "-C" ? "-D" : phase;
        (void)RunPhase(jobId, run, 1, jxtest::LevelOf(run));  // judged by the status it reported
        const auto complete = Journal(jobId, "complete");
        return complete.empty() ? "none" : complete.back().Get("status");
    }

    // A task restoring Sales with `flags` (and a standby undo file under the
    // root) to `pointInTime` (0: the latest), in place when `newName` is
    // empty, else as `newName` with its files moved under the root.
    JxServeRestoreTask SalesTask(uint64_t flags, const std::string& newName = "", uint64_t pointInTime = 0) {
        JxServeRestoreTask task = TaskFor("Sales", newName);
        task.optionFlags = flags;
        task.pointInTime = pointInTime;
        if ((flags & kRstStandby) != 0) task.standbyUndoFile = root.File("moved/undo-" + newName + ".dat");
        return task;
    }

    // Runs restore job `jobId` of `task`: the status it reported.
    int Restore(uint64_t jobId, const JxServeRestoreTask& task) {
        int status = 0;
        (void)RunRestore(jobId, task, &status);  // judged by the status it reported
        return status;
    }

    // Checks that `database` is ONLINE and holds `contents`.
    void ExpectOnlineHolding(const std::string& database, const std::vector<std::string>& contents) {
        EXPECT_EQ(vditest::DatabaseState(instance, database), SQLDB_STATE_ONLINE) << database;
        EXPECT_TRUE(Contents(database) == contents) << database;
    }

    // Runs restore job `jobId` of `task` while every read of the archive
    // files of backup job `unreadableJobId` fails with EIO: the status it
    // reported. Checks that the fault was reached and that the job's
    // message names such a file.
    int RestoreWhileUnreadable(uint64_t jobId, const JxServeRestoreTask& task, uint64_t unreadableJobId) {
        const std::vector<std::string> unreadable = ArchiveFilesOf(unreadableJobId);
        EXPECT_FALSE(unreadable.empty());
        jxtest::FaultyFileSystem faulty;
        int status = 0;
        {
            wz::ScopedFileSystem use(faulty);
            for (const std::string& path : unreadable) {
                faulty.FailCallOn(path, jxtest::FsCall::kPRead, 1, EIO, /*sticky=*/true);
                faulty.FailCallOn(path, jxtest::FsCall::kRead, 1, EIO, /*sticky=*/true);
            }
            status = Restore(jobId, task);
        }
        EXPECT_GT(faulty.FiredTotal(), 0);
        const std::string causes = CauseTexts(jobId);
        EXPECT_TRUE(std::any_of(unreadable.begin(), unreadable.end(),
                                [&](const std::string& path) { return causes.find(path) != std::string::npos; }))
            << causes;
        return status;
    }

    // The paths of the archive files backup job `jobId` wrote.
    static std::vector<std::string> ArchiveFilesOf(uint64_t jobId) {
        DiskLibrary media;
        std::vector<MediaArchiveFile> files;
        EXPECT_FALSE(media.Open().IsError());
        EXPECT_FALSE(media.ListArchiveFiles(files).IsError());
        std::vector<std::string> paths;
        for (const MediaArchiveFile& f : files) {
            if (f.jobId == jobId) paths.push_back(f.path);
        }
        return paths;
    }

    // Switches Sales to the recovery model `model`, as ALTER DATABASE SET
    // RECOVERY does (in SIMPLE the next change truncates the log). The
    // conversion rules' note of the change is left alone: they are off.
    void SetRecoveryModel(const std::string& model) {
        ASSERT_FALSE(instance.Db()
                         .Prepare("UPDATE databases SET recovery_model = ? WHERE name = 'Sales'")
                         .Bind(1, model)
                         .Run()
                         .IsError());
    }

    // The recovery model of `database`.
    std::string RecoveryModelOf(const std::string& database) {
        int64_t id = 0;
        std::string model;
        EXPECT_FALSE(instance.DatabaseId(database, id).IsError());
        EXPECT_FALSE(SqlSimChanges(instance).RecoveryModel(id, model).IsError());
        return model;
    }

    // Drops Sales with its files, as DROP DATABASE does.
    void DropSales() {
        CsqlDMO dmo;
        ASSERT_TRUE(dmo.DeleteDatabase("HOST/INST", "Sales"));
    }

    std::string recoveryModel = "FULL";  // of Sales, set before SetUp
    // Of Sales' primary file, set before SetUp: many extents, so that a
    // differential holds only those changed since its base.
    uint64_t dataSize = 4 * 1024 * 1024;
    // Before-the-point records bear times well in the past, so a stop time
    // taken now keeps them whatever second they were written in.
    const int64_t pastMs = (static_cast<int64_t>(std::time(nullptr)) - 600) * 1000;
};
