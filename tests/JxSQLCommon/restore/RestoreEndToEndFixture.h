// A whole restore job against real backups: a simulated instance
// vditest::kServer (id 8) with a database "Sales" of two data files, backups
// taken through the engine and the pipeline into the disk library, the
// central-server stand-in knowing those backups and the restore task 77,
// and the service scripts of the instance.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <list>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/restore/FakeSqlServerAccount.h"
#include "tests/JxSQLCommon/restore/RunRestoreJob.h"
#include "tests/JxSQLCommon/restore/ServiceScripts.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tests/platform/JxSqlDataReaderWriter/VdiHarness.h"
#include "tools/jxserve/JxServeRestoreStore.h"

class RestoreEndToEnd : public jxtest::CentralServerTest {
protected:
    static constexpr uint64_t kInstanceId = 8;
    static constexpr uint64_t kTask = 77;
    static constexpr uint64_t kSubclient = 1234;
    static constexpr const char* kInstance = vditest::kServer;  // where the harness backs up

    void SetUp() override {
        CentralServerTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(vditest::MakeSales(sim, dataSize, 256 * 1024));
        const std::string object = AppModel::ObjectName("instance", kInstanceId);
        ASSERT_TRUE(AppModel::Set(object, "name", kInstance));
        ASSERT_TRUE(AppModel::Set(object, "serverType", "DataBase Engine"));
        ASSERT_TRUE(AppModel::Set(AppModel::ObjectName("subclient", kSubclient), "instanceId", "8"));
        InstallServiceScripts(root, kInstance);
        task.sourceInstanceId = kInstanceId;
        task.destinationInstanceId = kInstanceId;
        task.optionFlags = 0;
        task.databases = {"Sales"};
        account.writable = {root.File("moved"), root.path() + "/moved"};
    }

    // A second file group of Sales, "FG2", holding the data file "Sales3".
    void AddSecondFileGroup() {
        ASSERT_FALSE(sim.AddFileGroup("Sales", "FG2").IsError());
        ASSERT_TRUE(vditest::AddDataFile(sim, "Sales", "FG2", "Sales3"));
    }

    // Changes `pages` pages of Sales at `timeMs` (ms since 1970).
    void Change(uint32_t pages, uint64_t seed, int64_t timeMs = 0) {
        ASSERT_FALSE(SqlSimChanges(sim).Change({"Sales", pages, seed, "", timeMs}).IsError());
    }

    // Changes 3 pages of `database`.
    void ChangeOf(const std::string& database, uint64_t seed) {
        ASSERT_FALSE(SqlSimChanges(sim).Change({database, 3, seed, "", 0}).IsError());
    }

    // Backs Sales up as job `jobId` ending at `endTime` (seconds) and tells
    // the central server.
    void Take(char type, uint64_t jobId, uint64_t endTime, int streams = 1) {
        SqlDataTransferHandler handler(true, jobId, 7, 2, "cs", 1, 0);
        std::list<RestoreArchiveInfo> archives;
        vditest::Outcome o = vditest::Backup(handler, "Sales", type, streams, &archives);
        ASSERT_TRUE(o.ok) << o.text;
        ASSERT_TRUE(handler.closePipeline(1, false));
        JxServeBackup b;
        b.instanceId = kInstanceId;
        b.database = "Sales";
        b.jobId = jobId;
        b.applicationId = applicationId;
        b.backupType = type;
        b.startTime = endTime;
        b.endTime = endTime;
        b.backupSize = 4096;
        for (const RestoreArchiveInfo& a : archives) {
            b.archiveFiles.push_back({static_cast<uint32_t>(a.jxCellId), static_cast<uint32_t>(a.archiveFileId),
                                      a.offset, ""});
        }
        JxServePutBackup(b);
    }

    // A second database "Hr", and a task that restores Sales and Hr as the
    // standby copies SalesDR and HrDR with their files moved under the root.
    void StandbyCopiesOfSalesAndHr() {
        SqlSimDatabaseSpec hr;
        hr.name = "Hr";
        ASSERT_FALSE(sim.AddDatabase(hr).IsError());
        const char sep = '\x12';
        auto entry = [&](const std::string& db, const std::string& logical, const std::string& file) {
            return db + sep + db + "DR" + sep + logical + sep + "old" + sep + root.File("moved/" + file);
        };
        task.databases = {"Sales", "Hr"};
        task.relocations = {entry("Sales", "Sales", "s.mdf"), entry("Sales", "Sales2", "s2.ndf"),
                            entry("Sales", "Sales_log", "s.ldf"), entry("Hr", "Hr", "h.mdf"),
                            entry("Hr", "Hr_log", "h.ldf")};
        task.optionFlags = kRstStandby;  // no OVERWRITE: a live sync forces it
        task.standbyUndoFile = root.File("moved/undo.dat");
    }

    // Backs `database` up as job `jobId` and, unless not `told`, tells the
    // central server, with the backup's LSNs; it ended at `endTime` (seconds,
    // 1000 + jobId when 0).
    void TakeOf(const std::string& database, char type, uint64_t jobId, bool told = true, uint64_t endTime = 0) {
        SqlDataTransferHandler handler(true, jobId, 7, 2, "cs", 1, 0);
        std::list<RestoreArchiveInfo> archives;
        vditest::Outcome o = vditest::Backup(handler, database, type, 1, &archives);
        ASSERT_TRUE(o.ok) << o.text;
        ASSERT_TRUE(handler.closePipeline(1, false));
        if (!told) return;
        JxServeBackup b;
        b.instanceId = kInstanceId;
        b.database = database;
        b.jobId = jobId;
        b.applicationId = applicationId;
        b.backupType = type;
        b.referenceTime = b.startTime = b.endTime = endTime != 0 ? endTime : 1000 + jobId;
        b.backupSize = 4096;
        SimSqlStatement q = sim.Db().Prepare(
            "SELECT first_lsn, last_lsn FROM backup_history WHERE database_name = ? ORDER BY id DESC LIMIT 1");
        q.Bind(1, database);
        ASSERT_TRUE(q.Step());
        b.firstLsn = std::to_string(q.Int(0));
        b.lastLsn = std::to_string(q.Int(1));
        for (const RestoreArchiveInfo& a : archives) {
            b.archiveFiles.push_back({static_cast<uint32_t>(a.jxCellId), static_cast<uint32_t>(a.archiveFileId),
                                      a.offset, ""});
        }
        JxServePutBackup(b);
    }

    // Restore as "Copy" with every file moved under the root.
    void RelocateToCopy() {
        const char sep = '\x12';
        auto entry = [&](const std::string& logical, const std::string& file) {
            return std::string("Sales") + sep + "Copy" + sep + logical + sep + "old" + sep + root.File("moved/" + file);
        };
        task.relocations = {entry("Sales", "copy.mdf"), entry("Sales2", "copy2.ndf"), entry("Sales_log", "copy.ldf")};
    }

    // A full and a log backup of Sales ending at real times just past, and
    // job 42 restoring them as "Copy" left in STANDBY: Sales's contents
    // after that log.
    std::vector<std::string> StandbyCopyAfterFirstLog() {
        const uint64_t now = static_cast<uint64_t>(std::time(nullptr));
        Take('D', 100, now - 30);
        Change(3, 1);
        Take('L', 200, now - 20);
        std::vector<std::string> afterFirstLog = Contents("Sales");
        RelocateToCopy();
        task.optionFlags = kRstStandby;
        task.standbyUndoFile = root.File("moved/undo.dat");
        EXPECT_TRUE(Run(42));
        return afterFirstLog;
    }

    std::vector<std::string> Contents(const std::string& database) {
        std::vector<std::string> out;
        for (const std::string& p : vditest::DataFiles(sim, database)) out.push_back(vditest::ReadAll(p));
        return out;
    }

    // Runs the job: its result, and the status it reported.
    bool Run(uint64_t jobId, int* status = nullptr) {
        CSQLRestoreBase job;
        return Run(job, jobId, status);
    }
    bool Run(CSQLRestoreBase& job, uint64_t jobId, int* status = nullptr) {
        JxServePutRestoreTask(kTask, task);
        return jxtest::RunRestoreJob(job, jobId, kTask, status);
    }

    uint64_t dataSize = 512 * 1024;  // of Sales' primary file, set before SetUp
    uint64_t applicationId = kSubclient;  // the subclient the central server is told a backup was taken by
    SqlSimInstance sim;
    JxServeRestoreTask task;
    FakeSqlServerAccount account;
    ScopedSqlServerAccount installed{account};
};
