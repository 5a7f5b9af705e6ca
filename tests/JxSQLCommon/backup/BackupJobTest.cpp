// Whole backup jobs: phases as the job manager runs them, and what they
// leave with the job manager, the central server, SQL Server's history and
// the media; restores of what they wrote give the source's bytes back.
#include <gtest/gtest.h>

#include <list>
#include <map>
#include <sqlite3.h>
#include <string>
#include <vector>

#include "JXAppMgr/StatusTabStore.h"
#include "JxJobClient/JXJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JobJournal.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLVDIBase/CJxSQLVDI.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "WzUtils/PlatformRoot.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tests/platform/JxSqlDataReaderWriter/VdiHarness.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

struct BackupSet {
    int64_t id = 0;
    std::string database;
    std::string type;
    int64_t files = 0;
    std::list<RestoreArchiveInfo> archives;
};

class BackupJobTest : public jxtest::BackupJobRun {
protected:
    // The central server's backup sets of a job, in the order they came.
    std::vector<BackupSet> Sets(uint64_t jobId) {
        std::vector<BackupSet> sets;
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open_v2(wz::PlatformPath("jxserve/jxserve.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
                  SQLITE_OK);
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT id, database_name, backup_type, (SELECT COUNT(*) FROM backup_set_files f WHERE "
                           "f.set_id = s.id) FROM backup_sets s WHERE job_id = ? ORDER BY id",
                           -1, &q, nullptr);
        sqlite3_bind_int64(q, 1, static_cast<int64_t>(jobId));
        while (sqlite3_step(q) == SQLITE_ROW) {
            BackupSet set;
            set.id = sqlite3_column_int64(q, 0);
            set.database = reinterpret_cast<const char*>(sqlite3_column_text(q, 1));
            set.type = reinterpret_cast<const char*>(sqlite3_column_text(q, 2));
            set.files = sqlite3_column_int64(q, 3);
            sets.push_back(set);
        }
        sqlite3_finalize(q);
        for (BackupSet& set : sets) {
            sqlite3_prepare_v2(db,
                               "SELECT jxcell_id, archive_file_id, offset FROM backup_set_archives WHERE set_id = ? "
                               "ORDER BY position",
                               -1, &q, nullptr);
            sqlite3_bind_int64(q, 1, set.id);
            while (sqlite3_step(q) == SQLITE_ROW) {
                RestoreArchiveInfo a;
                a.jxCellId = static_cast<uint64_t>(sqlite3_column_int64(q, 0));
                a.archiveFileId = static_cast<uint64_t>(sqlite3_column_int64(q, 1));
                a.offset = static_cast<uint64_t>(sqlite3_column_int64(q, 2));
                set.archives.push_back(a);
            }
            sqlite3_finalize(q);
        }
        sqlite3_close(db);
        return sets;
    }

    // SQL Server's backup history letters of a database, oldest first.
    std::string History(const std::string& database) {
        std::string letters;
        SimSqlStatement q = instance.Db().Prepare("SELECT type FROM backup_history WHERE database_name = ? ORDER BY id");
        q.Bind(1, database);
        while (q.Step()) letters += q.Text(0);
        return letters;
    }

    std::string CompleteStatus(uint64_t jobId) {
        auto complete = Journal(jobId, "complete");
        return complete.empty() ? "none" : complete.back().Get("status");
    }

    std::string DataBytes(const std::string& database) {
        std::string bytes;
        for (const std::string& path : vditest::DataFiles(instance, database)) bytes += vditest::ReadAll(path);
        return bytes;
    }

    void Change(const std::string& database, uint32_t pages, uint64_t seed) {
        SqlSimChangeRequest request;
        request.database = database;
        request.pages = pages;
        request.seed = seed;
        ASSERT_FALSE(SqlSimChanges(instance).Change(request).IsError());
    }

    void Restore(const std::string& database, const BackupSet& set, bool recovery) {
        SCOPED_TRACE(database + " " + set.type);
        vditest::RestoreOptions options;
        options.recovery = recovery;
        options.replace = true;
        const vditest::Outcome o = vditest::Restore(database, set.archives, options);
        EXPECT_TRUE(o.ok) << o.text;
    }
};

TEST_F(BackupJobTest, FullJobOfThreeDatabasesCommitsOneSetEachThatRestoresTheirBytes) {
    MakeDatabases({"Sales", "HR", "Stock"});
    const std::string before = DataBytes("Sales");
    ASSERT_TRUE(RunPhase(42, "-D", 1, {"-type", "1"}));
    EXPECT_EQ(CompleteStatus(42), "1");

    const std::vector<BackupSet> sets = Sets(42);
    ASSERT_EQ(sets.size(), 3u);
    for (const BackupSet& set : sets) {
        SCOPED_TRACE(set.database);
        EXPECT_EQ(set.type, "D");
        EXPECT_GT(set.files, 0);
        EXPECT_EQ(set.archives.size(), 2u) << "one archive entry per stream";
        EXPECT_EQ(History(set.database), "D");
    }

    Change("Sales", 3, 7);
    ASSERT_NE(DataBytes("Sales"), before);
    for (const BackupSet& set : sets) {
        if (set.database == "Sales") Restore("Sales", set, true);
    }
    EXPECT_EQ(DataBytes("Sales"), before);
}

TEST_F(BackupJobTest, DifferentialAndLogJobsChainAndRestoreToTheSourceBytes) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(42, "-D", 1, {"-type", "1"}));
    Change("Sales", 2, 1);
    ASSERT_TRUE(RunPhase(43, "-I", 1, {"-type", "4"}));
    Change("Sales", 1, 2);
    ASSERT_TRUE(RunPhase(44, "-L", 1, {"-type", "2"}));
    Change("Sales", 4, 3);
    ASSERT_TRUE(RunPhase(45, "-L", 1, {"-type", "2"}));
    for (uint64_t job : {43, 44, 45}) EXPECT_EQ(CompleteStatus(job), "1") << job;
    EXPECT_EQ(History("Sales"), "DILL");
    const std::string source = DataBytes("Sales");

    const std::vector<BackupSet> full = Sets(42);
    const std::vector<BackupSet> diff = Sets(43);
    const std::vector<BackupSet> log1 = Sets(44);
    const std::vector<BackupSet> log2 = Sets(45);
    ASSERT_EQ(diff.size(), 1u);
    ASSERT_EQ(log1.size(), 1u);
    ASSERT_EQ(log2.size(), 1u);
    EXPECT_EQ(diff[0].type, "I");
    EXPECT_EQ(log1[0].type, "L");

    Change("Sales", 8, 99);  // the source moves on; the restore must undo it
    Restore("Sales", full[0], false);
    Restore("Sales", diff[0], false);
    Restore("Sales", log1[0], false);
    Restore("Sales", log2[0], true);
    EXPECT_EQ(DataBytes("Sales"), source);
}

// A log job over a database that never had a full backup, a SIMPLE one, an
// offline and a read-only one: the first two move to the full and the
// differential phase that the job manager is asked for, the others are
// skipped with their reasons; the promoted phases back the converted ones up.
TEST_F(BackupJobTest, LogJobConvertsWhatItCannotBackUpAndThePromotedPhasesBackItUp) {
    MakeDatabases({"Sales"});
    SqlSimDatabaseSpec simple;
    simple.name = "Simple";
    simple.recoveryModel = "SIMPLE";
    ASSERT_FALSE(instance.AddDatabase(simple).IsError());
    AppModel::Set("subclient/1234", "property118_2", "Simple");
    ASSERT_TRUE(RunPhase(49, "-D", 1, {"-type", "1"}));
    ASSERT_EQ(CompleteStatus(49), "1");
    SqlSimDatabaseSpec fresh;
    fresh.name = "Fresh";
    SqlSimDatabaseSpec dark;
    dark.name = "Dark";
    SqlSimDatabaseSpec locked;
    locked.name = "Locked";
    locked.readOnly = true;
    int n = 2;
    for (const SqlSimDatabaseSpec& database : {fresh, dark, locked}) {
        ASSERT_FALSE(instance.AddDatabase(database).IsError());
        AppModel::Set("subclient/1234", "property118_" + std::to_string(++n), database.name);
    }
    ASSERT_FALSE(instance.SetDatabaseState("Dark", SQLDB_STATE_OFFLINE).IsError());
    JXPlatformInfo().setNumber("MSSQLAgent", "bSkipTLForSimpleRecoveryModelDB", 0);

    ASSERT_TRUE(RunPhase(50, "-L", 1, {"-type", "2"}));
    EXPECT_EQ(root.ReadFile("jobresults/50/FullDBList.jxf"), "Fresh\n");
    EXPECT_EQ(root.ReadFile("jobresults/50/DiffDBList.jxf"), "Simple\n");
    std::vector<std::string> requests;
    for (const auto& e : Journal(50)) {
        if (e.op == "runDifferentialPhase" || e.op == "convertToFull") requests.push_back(e.op);
    }
    EXPECT_EQ(requests, (std::vector<std::string>{"runDifferentialPhase", "convertToFull"}));
    std::map<std::string, int64_t> skipReasons;
    for (const std::string& xml : statustab::Records(50, 2)) {
        JobManager::SQLStatusTab tab;
        ASSERT_EQ(tab.unserialize(xml), kMsgOk);
        const int64_t status = tab.getint64(JobManager::SQLStatusTab::kStatus);
        if (status == JobManager::kDBStatusSkippedInPhase || status == JobManager::kDBStatusSkippedAtCollect) {
            skipReasons[tab.getstring(JobManager::SQLStatusTab::kDatabaseName)] =
                tab.getint64(JobManager::SQLStatusTab::kSkipReason);
        }
    }
    EXPECT_EQ(skipReasons, (std::map<std::string, int64_t>{{"Dark", 1}, {"Locked", 2}}));
    EXPECT_EQ(History("Sales"), "DL");

    ASSERT_TRUE(RunPhase(50, "-I", 1, {"-type", "2"}));
    ASSERT_TRUE(RunPhase(50, "-D", 1, {"-type", "2"}));
    EXPECT_EQ(History("Simple"), "DI");
    EXPECT_EQ(History("Fresh"), "D");
    EXPECT_EQ(History("Sales"), "DL") << "the promoted phases back up only the converted databases";
}

// A database a restore sequence holds (here RESTORING after a restore WITH
// NORECOVERY) is skipped at collection; where the job is set to back up
// whatever its content names, SQL Server refuses it: the log job fails the
// database with that reason and stores no backup set for it.
TEST_F(BackupJobTest, ALogJobOfARestoringDatabaseStoresNoBackupSet) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(62, "-D", 1, {"-type", "1"}));
    ASSERT_EQ(CompleteStatus(62), "1");
    const std::vector<BackupSet> full = Sets(62);
    ASSERT_EQ(full.size(), 1u);
    Restore("Sales", full[0], false);
    ASSERT_EQ(vditest::DatabaseState(instance, "Sales"), SQLDB_STATE_RESTORING);

    ASSERT_TRUE(RunPhase(63, "-L", 1, {"-type", "2"}));
    EXPECT_TRUE(Sets(63).empty());
    EXPECT_EQ(StatusRows(63).at("Sales").getint64(JobManager::SQLStatusTab::kStatus),
              JobManager::kDBStatusSkippedAtCollect);

    JXPlatformInfo().setNumber("MSSQLAgent", "nIgnoreNonExistentDB", 0);
    ASSERT_TRUE(RunPhase(64, "-L", 1, {"-type", "2"}));
    EXPECT_EQ(CompleteStatus(64), "2");
    EXPECT_TRUE(Sets(64).empty());
    EXPECT_EQ(History("Sales"), "D");
    const std::string reason = StatusRows(64).at("Sales").getstring(JobManager::SQLStatusTab::kFailureReason);
    EXPECT_NE(reason.find("middle of a restore"), std::string::npos) << reason;
}

TEST_F(BackupJobTest, ARefusedBackupSetFailsItsDatabaseAndEndsTheWalk) {
    MakeDatabases({"db1", "db2", "db3"});
    JxServeRefuseBackupSets("db2", 1);
    ASSERT_TRUE(RunPhase(61, "-D", 1, {"-type", "1"}));
    EXPECT_EQ(CompleteStatus(61), "2");
    const auto causes = Journal(61, "setPendingCause");
    ASSERT_FALSE(causes.empty());
    for (const auto& e : causes) EXPECT_EQ(e.Get("cause"), jobmanager::JournalId(kCauseBackupSetRefused));
    ASSERT_EQ(Sets(61).size(), 1u);
    EXPECT_EQ(Sets(61)[0].database, "db1");
    EXPECT_EQ(History("db3"), "") << "the walk ended after db2";
}

// The disk fills while the central server's rules convert a database of a
// log job to full: that database fails with its reason instead of ending
// the job as converted, and what else was backed up makes the job partial.
TEST_F(BackupJobTest, ADatabaseTheFullDiskKeepsOutOfItsConvertedListFailsWithItsReason) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(63, "-D", 1, {"-type", "1"}));
    SqlSimDatabaseSpec fresh;
    fresh.name = "Fresh";
    ASSERT_FALSE(instance.AddDatabase(fresh).IsError());
    AppModel::Set("subclient/1234", "property118_2", "Fresh");
    AppModel::Set("subclient/1234", "sqlSubclientType", "1");
    AppModel::Set("subclient/1234", "bkpConversion", "1");
    jxtest::FullDiskWhileConverting job;
    ASSERT_TRUE(RunPhaseOf(job, 64, "-L", 1, {"-type", "2"}));

    EXPECT_EQ(CompleteStatus(64), "3");
    EXPECT_EQ(Journal(64, "addBackupFileFailures").size(), 1u);
    EXPECT_EQ(root.ReadFile("jobresults/64/FullDBList.jxf").find("Fresh"), std::string::npos);
    ASSERT_EQ(Sets(64).size(), 1u);
    EXPECT_EQ(Sets(64)[0].database, "Sales");
    std::map<std::string, JobManager::SQLStatusTab> rows;
    for (const std::string& xml : statustab::Records(64, 2)) {
        JobManager::SQLStatusTab tab;
        ASSERT_EQ(tab.unserialize(xml), kMsgOk);
        rows[tab.getstring(JobManager::SQLStatusTab::kDatabaseName)] = tab;
    }
    EXPECT_EQ(rows["Fresh"].getint64(JobManager::SQLStatusTab::kStatus), JobManager::kDBStatusFailed);
    EXPECT_EQ(rows["Fresh"].getstring(JobManager::SQLStatusTab::kFailureReason),
              "Failed to add database [Fresh] to the collect file of its new level.");
}

// SQL Server made a full backup whose record the central server refused:
// the differential base moved to a full the central server does not hold
// (it holds only an older one). The next differential is refused as a
// broken chain and not stored; the database goes to the full phase, which
// backs it up.
TEST_F(BackupJobTest, ADifferentialOnAFullTheCentralServerLacksIsNotStoredAndTheFullPhaseBacksItUp) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(65, "-D", 1, {"-type", "1"}));
    Change("Sales", 1, 1);
    JxServeRefuseBackupSets("Sales", 1);
    ASSERT_TRUE(RunPhase(66, "-D", 1, {"-type", "1"}));
    ASSERT_EQ(CompleteStatus(66), "2");
    JxServeRefuseBackupSets("Sales", 0);
    Change("Sales", 2, 2);

    ASSERT_TRUE(RunPhase(67, "-I", 1, {"-type", "4"}));
    EXPECT_TRUE(Sets(67).empty()) << "no differential on a full the central server lacks";
    EXPECT_NE(root.ReadFile("jobresults/67/FullDBList.jxf").find("Sales"), std::string::npos);
    EXPECT_EQ(Journal(67, "convertToFull").size(), 1u);
    ASSERT_TRUE(RunPhase(67, "-D", 1, {"-type", "4"}));
    const std::vector<BackupSet> sets = Sets(67);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].type, "D");
    EXPECT_EQ(History("Sales"), "DDID");
    EXPECT_EQ(CompleteStatus(67), "1");
}

// Records what the pipeline holds after each database.
struct WatchedJob : CSQLBackup {
    bool doVDIBackup(const wchar_t* name, unsigned long offset, JobManager::SQLStatusTab* record,
                     std::list<std::wstring> fileGroups, std::list<std::wstring> files) override {
        const bool ok = CSQLBackup::doVDIBackup(name, offset, record, fileGroups, files);
        writersAfter.push_back(m_dataTransferHandler.getStreamWriterMap().size());
        results.push_back(ok);
        return ok;
    }
    std::vector<size_t> writersAfter;
    std::vector<bool> results;
};

// A log backup whose predecessor the central server no longer knows breaks
// the chain: the database is converted to full, the conversion announced,
// and the log is kept on the media but not registered.
TEST_F(BackupJobTest, ALogThatDoesNotContinueTheKnownChainIsConvertedAndKeptOnMedia) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(52, "-D", 1, {"-type", "1"}));
    Change("Sales", 1, 1);
    ASSERT_TRUE(RunPhase(53, "-L", 1, {"-type", "2"}));
    // The central server loses the first log backup, as if it had been taken
    // outside: the next log no longer continues the chain it knows.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(wz::PlatformPath("jxserve/jxserve.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DELETE FROM backup_sets WHERE job_id = 53", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    Change("Sales", 1, 2);
    ASSERT_TRUE(RunPhase(54, "-L", 1, {"-type", "2"}));

    EXPECT_TRUE(jxtest::JobAnnounced(54, kEventBrokenChainConverted)) << "the conversion is announced";
    EXPECT_EQ(Journal(54, "convertToFull").size(), 1u);
    EXPECT_EQ(CompleteStatus(54), "1");
    EXPECT_NE(root.ReadFile("jobresults/54/FullDBList.jxf").find("Sales"), std::string::npos);
    EXPECT_EQ(History("Sales"), "DLL");
    EXPECT_TRUE(Sets(54).empty()) << "the refused log is not registered";
}

// SQL Server fails the first database's backup (error 3203, a read error);
// the pipeline must be free of it (no engine, no writers) for the next one.
TEST_F(BackupJobTest, AFailedStreamLeavesThePipelineFreeForTheNextDatabase) {
    MakeDatabases({"db1", "db2"});
    root.WriteFile("vdi/fail/db1", "3203");
    WatchedJob job;
    ASSERT_TRUE(RunPhaseOf(job, 62, "-D", 1, {"-type", "1"}));
    EXPECT_EQ(job.results, (std::vector<bool>{false, true}));
    EXPECT_EQ(job.writersAfter, (std::vector<size_t>{0, 0}));
    EXPECT_EQ(CompleteStatus(62), "3");
    const auto causes = Journal(62, "setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseTransfer)) << "the transfer ended with the statement";
    ASSERT_EQ(Sets(62).size(), 1u);
    EXPECT_EQ(Sets(62)[0].database, "db2");
}

// The two engine failures that are not the transfer's own: a stream not
// served in time raises the time-out cause, an engine that cannot be set up
// the set-up cause; each fails its database with its reason.
TEST_F(BackupJobTest, VdiTimeOutAndSetUpFailuresRaiseTheirOwnCauses) {
    MakeDatabases({"db1", "db2"});
    root.WriteFile("vdi/fail/db1", "timeout");
    ASSERT_TRUE(RunPhase(63, "-D", 1, {"-type", "1"}));
    EXPECT_EQ(CompleteStatus(63), "3");
    const auto causes = Journal(63, "setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseVdiTimeout));
    ASSERT_EQ(Sets(63).size(), 1u);
    EXPECT_EQ(Sets(63)[0].database, "db2");
    std::string reason;
    for (const std::string& xml : statustab::Records(63, 2)) {
        JobManager::SQLStatusTab tab;
        ASSERT_EQ(tab.unserialize(xml), kMsgOk);
        if (tab.getstring(JobManager::SQLStatusTab::kDatabaseName) == "db1") {
            reason = tab.getstring(JobManager::SQLStatusTab::kFailureReason);
        }
    }
    EXPECT_EQ(reason.rfind("VDI timeout attempts expired", 0), 0u) << reason;

    jxtest::BackupJobUnderTest job(64);
    job.m_dataStreamCount = 0;  // no engine is set up for no device
    JobManager::SQLStatusTab record;
    EXPECT_FALSE(job.doVDIBackup(L"db1", 0, &record, {}, {}));
    EXPECT_EQ(record.getint64(JobManager::SQLStatusTab::kStatus), JobManager::kDBStatusFailed);
    EXPECT_EQ(record.getstring(JobManager::SQLStatusTab::kFailureReason).rfind("Failed to initialize for VDI Backup", 0),
              0u);
    const auto setUp = job.Journal("setPendingCause");
    ASSERT_EQ(setUp.size(), 1u);
    EXPECT_EQ(setUp[0].Get("cause"), jobmanager::JournalId(kCauseVdiSetup));
}

TEST_F(BackupJobTest, AMediaQuotaFailureReachesTheJournalWithThePipelinesReason) {
    MakeDatabases({"db1"});
    root.WriteFile("media/quota", "10000");
    CSQLBackup job;
    ASSERT_TRUE(RunPhaseOf(job, 63, "-D", 1, {}));
    EXPECT_EQ(CompleteStatus(63), "2");
    const auto causes = Journal(63, "setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseTransfer));
    ASSERT_EQ(causes[0].List("args").size(), 1u);
    EXPECT_NE(causes[0].List("args")[0].find("quota of 10000 bytes"), std::string::npos) << causes[0].List("args")[0];
    EXPECT_TRUE(Sets(63).empty());
}

struct EngineFailureJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBackup::EngineStep;
    using CSQLBackup::FailOnEngineError;
};

TEST_F(BackupJobTest, AFailedTransferWhoseStatementHasNotEndedYetReportsThePipelinesReason) {
    EngineFailureJob job(65);
    job.m_dataTransferHandler = SqlDataTransferHandler(true, 65, 11, 2, "cs", 1, 0);
    EXPECT_FALSE(job.m_dataTransferHandler.startTransfer());  // no engine: the pipeline's own reason
    CJxSQLVDI engine;  // its statement never ran, so it has no text of its own
    JobManager::SQLStatusTab record;
    EXPECT_FALSE(job.FailOnEngineError(engine, &record, "db1", EngineFailureJob::EngineStep::kTransfer));
    const std::string reason = "No virtual-device engine was given to the data pipeline.";
    const auto causes = job.Journal("setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseTransfer));
    EXPECT_EQ(causes[0].List("args"), std::vector<std::string>{reason});
    EXPECT_EQ(record.getstring(JobManager::SQLStatusTab::kFailureReason),
              "Error encountered during backup. Error: [" + reason + "]");
}

TEST_F(BackupJobTest, ASubclientWhoseDatabasesAreAllGoneFailsWithNothingToBackUp) {
    MakeDatabases({"db1", "db2"});
    ASSERT_FALSE(instance.Db().Exec("DELETE FROM databases").IsError());
    ASSERT_TRUE(RunPhase(64, "-D"));
    EXPECT_NE(CompleteStatus(64), "1");
    const auto causes = Journal(64, "setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseCollectFileEmpty));
}

TEST_F(BackupJobTest, ARestartedJobBacksUpNothingTwiceAndSkipsNothing) {
    MakeDatabases({"db1", "db2", "db3", "db4"});
    JXPlatformInfo().setNumber("MSSQLAgent", "bCommitData", 1);
    jxtest::StoppedJob first(2);
    ASSERT_TRUE(RunPhaseOf(first, 60, "-D", 1, {"-type", "1"}));
    EXPECT_EQ(CompleteStatus(60), "none") << "a stop without suspension reports no status";
    EXPECT_EQ(Sets(60).size(), 2u);

    ASSERT_TRUE(JXJobCtrlClient::withdrawStop(60));
    const std::string restart = JXJobClient(60).getRestartString(0);
    ASSERT_FALSE(restart.empty());
    ASSERT_TRUE(RunPhase(60, "-D", 2, {"-type", "1", "-restart", restart}));
    EXPECT_EQ(CompleteStatus(60), "1");
    std::map<std::string, int> setsPerDatabase;
    for (const BackupSet& set : Sets(60)) ++setsPerDatabase[set.database];
    EXPECT_EQ(setsPerDatabase, (std::map<std::string, int>{{"db1", 1}, {"db2", 1}, {"db3", 1}, {"db4", 1}}));
    for (const char* name : {"db1", "db2", "db3", "db4"}) EXPECT_EQ(History(name), "D") << name;
}

}  // namespace
