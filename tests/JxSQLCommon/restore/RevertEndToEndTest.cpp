// Whole revert jobs: databases snapped together on one volume go back to the
// snapshot and their logs are applied after it; what the revert did not
// bring back is restored from the chains, each database counted once; SQL
// Server stopped for system databases always runs again at the end.
#include <algorithm>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JxProcess.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimService.h"
#include "tests/JxSQLCommon/restore/HeldArchiveReads.h"
#include "tests/JxSQLCommon/restore/RestoreEndToEndFixture.h"
#include "tests/JxSQLCommon/restore/SubclientBackupJobs.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

using vditest::DatabaseState;

constexpr uint64_t kClient = 2;

// Counts the service commands while running them.
struct ServiceCountingJob : CSQLRestoreBase {
    bool stopSqlServer() override {
        ++stops;
        return CSQLRestoreBase::stopSqlServer();
    }
    bool startSqlServer() override {
        ++starts;
        return CSQLRestoreBase::startSqlServer();
    }
    int stops = 0;
    int starts = 0;
    using CSQLRestoreBase::m_diffRestoredByRevert;
    using CSQLRestoreBase::m_fullRestoredByRevert;
};

// A job whose chain request fails for one database and that keeps the
// names each revert was asked for.
struct ChainFailingJob : CSQLRestoreBase {
    bool getAFilesToRestore(bool unused, SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) override {
        if (db.sDbName == failing) return false;
        return CSQLRestoreBase::getAFilesToRestore(unused, db, chain);
    }
    bool RevertJobV2(uint64_t jobId, uint64_t cellId, uint64_t appId, std::list<std::string>& names) override {
        asked.push_back(names);
        return CSQLRestoreBase::RevertJobV2(jobId, cellId, appId, names);
    }
    std::string failing;
    std::vector<std::list<std::string>> asked;
};

class RevertEndToEnd : public RestoreEndToEnd {
protected:
    void SetUp() override {
        RestoreEndToEnd::SetUp();
        SqlSimDatabaseSpec hr;
        hr.name = "Hr";
        ASSERT_FALSE(sim.AddDatabase(hr).IsError());
        const std::string client = AppModel::ObjectName("client", kClient);
        ASSERT_TRUE(AppModel::Set(client, "name", "node1"));
        ASSERT_TRUE(AppModel::Set(client, "hostName", "node1"));
        ASSERT_TRUE(AppModel::Set(client, "useIndexingV2ForMSSQL", "1"));
        task.sourceClientId = kClient;
        task.destinationClientId = kClient;
        task.databases = {"Sales", "Hr"};
        task.pointInTime = 9000;  // a revert restores to a point in time
    }

    // Snaps `databases` as snapshot job `jobId` of type `type` ending at
    // `endTime` and tells the central server.
    void Snap(uint64_t jobId, uint64_t endTime, const std::vector<std::string>& databases, char type = 'D') {
        JXSnapClientAPI::SnapRequest request;
        request.jobId = jobId;
        request.instance = kInstance;
        request.databases = databases;
        request.metadataDirectory = root.path();
        request.levelName = "Full";
        request.historyType = type;
        std::vector<std::string> volumes;
        std::string error;
        ASSERT_TRUE(JXSnapClientAPI::snapDatabases(request, volumes, error)) << error;
        std::vector<JxServeArchiveFile> files;
        uint32_t archiveFile = 500;
        for (const std::string& volume : volumes) files.push_back({2, ++archiveFile, 0, volume});
        for (const std::string& database : databases) {
            JxServeBackup b;
            b.instanceId = kInstanceId;
            b.database = database;
            b.jobId = jobId;
            b.applicationId = kSubclient;
            b.backupType = type;
            b.startTime = b.endTime = endTime;
            b.word10 = 2;  // snapshot backup method
            b.backupSize = 4096;
            b.archiveFiles = files;
            JxServePutBackup(b);
        }
    }
    void ChangeDb(const std::string& database, uint32_t pages, uint64_t seed) {
        ASSERT_FALSE(SqlSimChanges(sim).Change({database, pages, seed, "", 0}).IsError());
    }
    // Runs restore job `jobId` as a revert.
    bool RunRevert(CSQLRestoreBase& job, uint64_t jobId, int* status) {
        EXPECT_TRUE(EvTask::setProperty(jobId, "schedulerOption7", "1"));
        return Run(job, jobId, status);
    }
    // The per-database status lines of job `jobId`, sorted.
    std::vector<std::string> Statuses(uint64_t jobId) {
        std::istringstream in(vditest::ReadAll(root.path() + "/jobresults/" + std::to_string(jobId) + "/RestoreStatus.txt"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    bool ServiceActive() {
        bool active = false;
        EXPECT_FALSE(SqlSimService(sim).IsActive(active).IsError());
        return active;
    }
    void FailStep(const std::string& step) { root.WriteFile("snaprestore/fail/" + step, ""); }
    // Runs revert job 42, which brings back a full and a differential
    // snapshot and completes, leaving Sales and Hr holding `sales` and `hr`.
    void RevertFullAndDifferentialExpecting(const std::vector<std::string>& sales, const std::vector<std::string>& hr) {
        ServiceCountingJob job;
        int status = 0;
        ASSERT_TRUE(RunRevert(job, 42, &status));
        EXPECT_EQ(status, 1);
        EXPECT_TRUE(job.m_fullRestoredByRevert);
        EXPECT_TRUE(job.m_diffRestoredByRevert);
        EXPECT_TRUE(Contents("Sales") == sales);
        EXPECT_TRUE(Contents("Hr") == hr);
    }
    // A task restoring Sales in place to the latest time, a streamed full of
    // it by subclient job 100, and the subclient moved to snapshots.
    void StreamedFullThenSnapshots() {
        task.databases = {"Sales"};
        task.optionFlags = kRstOverwrite;
        task.pointInTime = 0;
        PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, false);
        ASSERT_EQ(RunSubclientBackup(100, "-D"), "1");
        PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, true);
    }
    // Runs the task as an ordinary restore job `jobId`, which fails Sales
    // (status 3) and leaves it ONLINE holding `sales`.
    void ExpectOrdinaryRestoreFailsSalesUntouched(uint64_t jobId, const std::vector<std::string>& sales) {
        int status = 0;
        EXPECT_FALSE(Run(jobId, &status));
        EXPECT_EQ(status, 2);
        EXPECT_EQ(Statuses(jobId), (std::vector<std::string>{"3\tSales"}));
        EXPECT_TRUE(Contents("Sales") == sales);
        EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    }
    // Runs revert job 43 of Sales to after its last log, which brings back a
    // differential snapshot and completes, leaving Sales ONLINE holding
    // `sales`.
    void RevertSalesToItsLastLogThroughADifferential(const std::vector<std::string>& sales) {
        task.pointInTime = static_cast<uint64_t>(std::time(nullptr)) + 3600;
        ServiceCountingJob job;
        int status = 0;
        ASSERT_TRUE(RunRevert(job, 43, &status));
        EXPECT_EQ(status, 1);
        EXPECT_TRUE(job.m_diffRestoredByRevert);
        EXPECT_TRUE(Contents("Sales") == sales);
        EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    }
    // The backup sets the central server stored of job `jobId`: database and
    // type of each, in the order stored.
    static std::vector<std::string> SetsOfJob(uint64_t jobId) {
        std::vector<std::string> sets;
        for (const auto& set : JxServeStoredBackupSets()) {
            if (set.jobId == jobId) sets.push_back(set.databaseName + " " + set.backupType);
        }
        return sets;
    }
};

TEST_F(RevertEndToEnd, SnapshotAndTwoLogsOfTwoDatabasesOnOneVolumeEndEqualToTheSource) {
    ChangeDb("Sales", 3, 1);
    ChangeDb("Hr", 3, 2);
    Snap(100, 1000, {"Sales", "Hr"});
    for (uint64_t job : {200, 300}) {
        ChangeDb("Sales", 2, job);
        ChangeDb("Hr", 4, job + 1);
        TakeOf("Sales", 'L', job, true, job * 10);
        TakeOf("Hr", 'L', job + 1, true, job * 10);
    }
    const std::vector<std::string> sales = Contents("Sales");
    const std::vector<std::string> hr = Contents("Hr");
    ChangeDb("Sales", 5, 9);  // after the last backup: the revert discards it
    ChangeDb("Hr", 5, 9);
    ASSERT_TRUE(Contents("Sales") != sales);

    ServiceCountingJob job;
    int status = 0;
    ASSERT_TRUE(RunRevert(job, 42, &status));
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Contents("Sales") == sales);
    EXPECT_TRUE(Contents("Hr") == hr);
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(DatabaseState(sim, "Hr"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(Statuses(42), (std::vector<std::string>{"5\tHr", "5\tSales"}));
    EXPECT_EQ(job.stops, 0) << "no system database: the service keeps running";
}

TEST_F(RevertEndToEnd, RestoreProgramRunsARevertTask) {
    Snap(100, 1000, {"Sales", "Hr"});
    ChangeDb("Sales", 2, 1);
    TakeOf("Sales", 'L', 200, true, 2000);
    const std::vector<std::string> sales = Contents("Sales");
    const std::vector<std::string> hr = Contents("Hr");
    ChangeDb("Sales", 3, 2);
    ChangeDb("Hr", 3, 2);
    JxServePutRestoreTask(kTask, task);
    std::string output, error;
    const int exitCode =
        JxProcess::system(std::string(JX_RESTORE_PROGRAM) + " -j 43 -token 43:1:1 -rt 77 -revert", output, error, 30000);
    EXPECT_EQ(exitCode, 0) << error;
    EXPECT_TRUE(Contents("Sales") == sales);
    EXPECT_TRUE(Contents("Hr") == hr);
    EXPECT_EQ(Statuses(43), (std::vector<std::string>{"5\tHr", "5\tSales"}));
}

TEST_F(RevertEndToEnd, FullThenDifferentialSnapshotThenALog) {
    Snap(100, 1000, {"Sales", "Hr"});
    ChangeDb("Sales", 3, 1);
    ChangeDb("Hr", 2, 1);
    Snap(110, 1100, {"Sales", "Hr"}, 'I');
    ChangeDb("Sales", 2, 2);
    TakeOf("Sales", 'L', 200, true, 2000);
    const std::vector<std::string> sales = Contents("Sales");
    const std::vector<std::string> hr = Contents("Hr");
    ChangeDb("Sales", 4, 3);
    ChangeDb("Hr", 4, 3);
    RevertFullAndDifferentialExpecting(sales, hr);
}

TEST_F(RevertEndToEnd, VersionOneIndexingRevertsTheSameWay) {
    ASSERT_TRUE(AppModel::Set(AppModel::ObjectName("client", kClient), "useIndexingV2ForMSSQL", "0"));
    Snap(100, 1000, {"Sales", "Hr"});
    ChangeDb("Sales", 2, 1);
    TakeOf("Sales", 'L', 200, true, 2000);
    const std::vector<std::string> sales = Contents("Sales");
    const std::vector<std::string> hr = Contents("Hr");
    ChangeDb("Hr", 5, 9);
    int status = 0;
    ASSERT_TRUE(RunRevert(*std::make_unique<CSQLRestoreBase>(), 42, &status));
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Contents("Sales") == sales);
    EXPECT_TRUE(Contents("Hr") == hr) << "brought back by the revert, not skipped unreverted";
}

TEST_F(RevertEndToEnd, SystemDatabaseInTheListStopsTheServiceAndStartsItAgain) {
    task.databases = {"Sales", "msdb"};
    Snap(100, 1000, {"Sales", "msdb"});
    ChangeDb("Sales", 2, 1);
    TakeOf("Sales", 'L', 200, true, 2000);
    const std::vector<std::string> sales = Contents("Sales");

    ServiceCountingJob job;
    int status = 0;
    ASSERT_TRUE(RunRevert(job, 42, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(job.stops, 1);
    EXPECT_EQ(job.starts, 1);
    EXPECT_TRUE(ServiceActive());
    EXPECT_TRUE(Contents("Sales") == sales);
    EXPECT_EQ(DatabaseState(sim, "msdb"), SQLDB_STATE_ONLINE);
}

TEST_F(RevertEndToEnd, FailedRevertFallsBackCountingEachDatabaseOnceAndRestartsTheService) {
    // Sales lives in the snapshot only; Hr has streamed backups as well.
    task.databases = {"Sales", "Hr", "msdb"};
    task.optionFlags = kRstOverwrite;
    Snap(100, 1000, {"Sales", "msdb"});
    TakeOf("Hr", 'D', 150, true, 1500);
    ChangeDb("Hr", 3, 1);
    TakeOf("Hr", 'L', 250, true, 2500);
    const std::vector<std::string> hr = Contents("Hr");
    ChangeDb("Sales", 4, 2);
    Snap(110, 1100, {"Sales", "msdb"}, 'I');
    const std::vector<std::string> salesBefore = Contents("Sales");
    ChangeDb("Hr", 4, 3);
    FailStep("restoreSnapData");

    ServiceCountingJob job;
    int status = 0;
    ASSERT_TRUE(RunRevert(job, 42, &status));
    EXPECT_EQ(status, 3) << "completed with failures";
    EXPECT_FALSE(job.m_fullRestoredByRevert);
    EXPECT_FALSE(job.m_diffRestoredByRevert) << "the differential was not brought back either";
    EXPECT_TRUE(Contents("Sales") == salesBefore) << "nothing reverted";
    EXPECT_TRUE(Contents("Hr") == hr) << "restored from its own backups";
    EXPECT_EQ(Statuses(42), (std::vector<std::string>{"3\tSales", "3\tmsdb", "5\tHr"}));
    EXPECT_EQ(job.stops, 1);
    EXPECT_EQ(job.starts, 1) << "started again before the chains are restored";
    EXPECT_TRUE(ServiceActive());
    auto failures = jobmanager::JobJournalReader::WithOp(jobmanager::JobJournalReader::Read(42).value(),
                                                         "setNumFailures2Add");
    uint64_t failed = 0;
    for (const auto& f : failures) failed += std::stoull(f.Get("value"));
    EXPECT_EQ(failed, 2u);
}

TEST_F(RevertEndToEnd, ASuccessfulRevertSkipsOnlyTheBackupsItBroughtBack) {
    // Hr is not in the snapshot: its streamed full must not be skipped.
    task.optionFlags = kRstOverwrite;
    Snap(100, 1000, {"Sales"});
    TakeOf("Hr", 'D', 150, true, 1500);
    ChangeDb("Hr", 3, 1);
    TakeOf("Hr", 'L', 250, true, 2500);
    const std::vector<std::string> hr = Contents("Hr");
    const std::vector<std::string> sales = Contents("Sales");
    ChangeDb("Hr", 2, 4);
    ChangeDb("Sales", 2, 4);
    int status = 0;
    CSQLRestoreBase job;
    ASSERT_TRUE(RunRevert(job, 42, &status));
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Contents("Hr") == hr);
    EXPECT_TRUE(Contents("Sales") == sales);
}

TEST_F(RevertEndToEnd, DatabaseWithoutAChainIsCountedOnceAndNotReverted) {
    Snap(100, 1000, {"Sales", "Hr"});
    ChangeDb("Hr", 2, 1);
    const std::vector<std::string> hrChanged = Contents("Hr");
    ChainFailingJob job;
    job.failing = "Hr";
    int status = 0;
    ASSERT_TRUE(RunRevert(job, 42, &status));
    EXPECT_EQ(status, 3);
    ASSERT_EQ(job.asked.size(), 1u);
    EXPECT_EQ(job.asked[0], (std::list<std::string>{"Sales"}));
    EXPECT_TRUE(Contents("Hr") == hrChanged) << "left as it was";
    EXPECT_EQ(Statuses(42), (std::vector<std::string>{"3\tHr", "5\tSales"}));
}

TEST_F(RevertEndToEnd, TwoFullSnapshotJobsRevertNothingAndLeaveTheServiceRunning) {
    task.databases = {"Sales", "Hr", "msdb"};
    Snap(100, 1000, {"Sales", "msdb"});
    Snap(101, 1100, {"Hr"});
    ChangeDb("Sales", 2, 1);
    const std::vector<std::string> sales = Contents("Sales");

    ServiceCountingJob job;
    int status = 0;
    EXPECT_FALSE(RunRevert(job, 42, &status));
    EXPECT_EQ(status, 2);
    EXPECT_TRUE(Contents("Sales") == sales);
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(job.stops, 0);
    EXPECT_TRUE(ServiceActive());
    auto causes = jobmanager::JobJournalReader::WithOp(jobmanager::JobJournalReader::Read(42).value(),
                                                       "setPendingCause");
    ASSERT_FALSE(causes.empty());
    EXPECT_EQ(causes.front().Get("cause"), jobmanager::JournalId(kCauseNotOneFullSnapJob));
}

TEST_F(RevertEndToEnd, ServiceThatWillNotStopFailsEveryDatabaseBeforeAnythingIsReverted) {
    task.databases = {"Sales", "msdb"};
    Snap(100, 1000, {"Sales", "msdb"});
    ChangeDb("Sales", 2, 1);
    const std::vector<std::string> sales = Contents("Sales");
    // systemctl refuses to stop the service; its other commands run.
    InstallScript(root, "systemctl", "systemctl",
                  "case \"$1\" in stop) echo refused >> " + root.File("stop.log") + "; exit 1;; esac\nexec " +
                      std::string(JX_SQLSERVICE_PROGRAM) + " --instance " + kInstance + " systemctl \"$@\"\n");

    ServiceCountingJob job;
    int status = 0;
    EXPECT_FALSE(RunRevert(job, 42, &status));
    EXPECT_EQ(status, 2);
    EXPECT_EQ(vditest::ReadAll(root.File("stop.log")), "refused\n");
    EXPECT_EQ(job.stops, 1);
    EXPECT_EQ(job.starts, 0) << "the service was left as it was";
    EXPECT_TRUE(ServiceActive());
    EXPECT_TRUE(Contents("Sales") == sales) << "nothing reverted under the running server";
    EXPECT_FALSE(job.m_fullRestoredByRevert);
    EXPECT_EQ(Statuses(42), (std::vector<std::string>{"3\tSales", "3\tmsdb"}));
    auto causes = jobmanager::JobJournalReader::WithOp(jobmanager::JobJournalReader::Read(42).value(),
                                                       "setPendingCause");
    ASSERT_FALSE(causes.empty());
    EXPECT_EQ(causes.front().Get("cause"), jobmanager::JournalId(kCauseRestoreFailed));
    ASSERT_FALSE(causes.front().List("args").empty());
    EXPECT_NE(causes.front().List("args")[0].find(kInstance), std::string::npos);
}

TEST_F(RevertEndToEnd, LatestDataStandbyOrStepRestoreIsRefusedWithNothingTouched) {
    Snap(100, 1000, {"Sales", "Hr"});
    ChangeDb("Sales", 2, 1);
    const std::vector<std::string> sales = Contents("Sales");
    struct Case {
        uint64_t flags;
        uint64_t pointInTime;
    };
    uint64_t jobId = 50;
    for (const Case& c : {Case{0, 0}, Case{kRstStandby, 9000}, Case{kRstStepRestore, 9000}}) {
        SCOPED_TRACE(jobId);
        task.optionFlags = kRstOverwrite | c.flags;
        task.pointInTime = c.pointInTime;
        task.standbyUndoFile = root.File("undo.dat");
        ChainFailingJob job;  // fails no chain; records each revert asked for
        int status = 0;
        EXPECT_FALSE(RunRevert(job, jobId, &status));
        EXPECT_EQ(status, 2);
        EXPECT_TRUE(job.asked.empty()) << "nothing reverted";
        EXPECT_TRUE(Contents("Sales") == sales) << "nothing restored";
        EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
        EXPECT_TRUE(Statuses(jobId).empty());
        ++jobId;
    }
}

// A chain whose data transfer never ends fails its database; the databases
// after it are skipped untouched while that transfer may still write, and
// the job ends.
TEST_F(RevertEndToEnd, ATransferThatNeverEndsSkipsTheDatabasesAfterItAndTheJobStillEnds) {
    task.optionFlags = kRstOverwrite;
    Snap(100, 1000, {"Sales"});
    ChangeDb("Sales", 2, 1);
    TakeOf("Sales", 'L', 200, true, 2000);
    TakeOf("Hr", 'D', 150, true, 1500);
    const std::vector<std::string> hr = Contents("Hr");
    struct Job : CSQLRestoreBase {
        using CSQLRestoreBase::WaitForTransferLeftRunning;
    } job;
    HeldArchiveReads held;
    wz::ScopedFileSystem installed(held);
    int status = 0;
    const bool endedWhileHeld = held.RunWhileHeld([&] { (void)RunRevert(job, 42, &status); });
    EXPECT_TRUE(job.WaitForTransferLeftRunning(3600 * 1000));
    ASSERT_TRUE(endedWhileHeld);
    EXPECT_EQ(status, 2) << "nothing was restored";
    EXPECT_EQ(Statuses(42), (std::vector<std::string>{"3\tSales", "4\tHr"}));
    EXPECT_TRUE(Contents("Hr") == hr) << "left as it was";
}

// The jobs of a snapshot subclient make the chain a revert reads: a
// snapshot full and a snapshot differential, each log job after them stored
// and not converted; the revert brings each database back to the snapshot
// and applies the logs taken since.
TEST_F(RevertEndToEnd, SnapshotJobsAndLogJobsOfASnapshotSubclientRevertToTheLastLog) {
    PrepareSubclientForBackupJobs(root, kInstance, {"Sales", "Hr"}, true);
    ChangeDb("Sales", 3, 1);
    ChangeDb("Hr", 3, 2);
    ASSERT_EQ(RunSubclientBackup(100, "-D"), "1");
    ChangeDb("Sales", 2, 3);
    ChangeDb("Hr", 2, 4);
    ASSERT_EQ(RunSubclientBackup(110, "-I"), "1");
    EXPECT_EQ(SetsOfJob(110), (std::vector<std::string>{"Hr I", "Sales I"}));
    const std::vector<std::string> hr = Contents("Hr");
    // The log jobs back up Sales alone.
    SetSubclientDatabases({"Sales"});
    for (uint64_t jobId : {200, 300}) {
        SCOPED_TRACE(jobId);
        ChangeDb("Sales", 2, jobId);
        ASSERT_EQ(RunSubclientBackup(jobId, "-L"), "1");
        EXPECT_FALSE(jxtest::JobAnnounced(jobId, kEventBrokenChainConverted));
        EXPECT_TRUE(jxtest::JobJournal(jobId, "convertToFull").empty());
        EXPECT_EQ(vditest::ReadAll(root.File("jobresults/" + std::to_string(jobId) + "/FullDBList.jxf")), "");
        EXPECT_EQ(SetsOfJob(jobId), (std::vector<std::string>{"Sales L"}));
        const auto rows = jxtest::StatusTabRows(jobId);
        ASSERT_EQ(rows.count("Sales"), 1u);
        EXPECT_EQ(rows.at("Sales").getint64(JobManager::SQLStatusTab::kStatus), JobManager::kDBStatusBackedUp);
    }
    const std::vector<std::string> sales = Contents("Sales");
    ChangeDb("Sales", 5, 9);
    ChangeDb("Hr", 5, 9);

    task.pointInTime = static_cast<uint64_t>(std::time(nullptr)) + 3600;  // after the last log
    RevertFullAndDifferentialExpecting(sales, hr);
}

// Only a revert restores a snapshot: an ordinary restore whose chain now
// begins with a snapshot full fails the database and leaves it as it was,
// rather than going back to the older streamed full.
TEST_F(RevertEndToEnd, AnOrdinaryRestoreOfAChainBeginningWithASnapshotFullFailsTheDatabaseUntouched) {
    ASSERT_NO_FATAL_FAILURE(StreamedFullThenSnapshots());
    ChangeDb("Sales", 2, 1);
    ASSERT_EQ(RunSubclientBackup(110, "-D"), "1");
    ChangeDb("Sales", 2, 2);
    ExpectOrdinaryRestoreFailsSalesUntouched(42, Contents("Sales"));
}

// A snapshot differential after a streamed full: an ordinary restore of the
// chain fails the database before the full is restored over it, and names
// the backup method it cannot restore; a revert brings it to the last log.
TEST_F(RevertEndToEnd, AnOrdinaryRestoreOfAChainWithASnapshotDifferentialFailsTheDatabaseUntouched) {
    ASSERT_NO_FATAL_FAILURE(StreamedFullThenSnapshots());
    ChangeDb("Sales", 2, 2);
    ASSERT_EQ(RunSubclientBackup(110, "-I"), "1");
    ASSERT_EQ(SetsOfJob(110), (std::vector<std::string>{"Sales I"}));
    ChangeDb("Sales", 2, 3);
    ASSERT_EQ(RunSubclientBackup(200, "-L"), "1");
    const std::vector<std::string> sales = Contents("Sales");
    ExpectOrdinaryRestoreFailsSalesUntouched(42, sales);
    EXPECT_NE(
        jxtest::ReadWholeFile(EvDebug::LogFilePath()).find("Restore from Backup method [2] is not supported on Unix."),
        std::string::npos);

    ChangeDb("Sales", 5, 9);  // after the last backup: the revert discards it
    RevertSalesToItsLastLogThroughADifferential(sales);
}

// A central server's store written before the backup method and the
// recovery paths were kept, with a snapshot full of Hr and a streamed full
// of Sales: once it opens with them, the streamed full is still streamed and
// restores as a copy.
TEST_F(RevertEndToEnd, AStoreWrittenWithoutTheMethodRestoresItsStreamedFullAsACopy) {
    task.databases = {"Sales"};
    task.pointInTime = 0;
    PrepareSubclientForBackupJobs(root, kInstance, {"Hr"}, true);
    ASSERT_EQ(RunSubclientBackup(100, "-D"), "1");
    PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, false);
    ChangeDb("Sales", 3, 1);
    ASSERT_EQ(RunSubclientBackup(110, "-D"), "1");
    const std::vector<std::string> sales = Contents("Sales");
    for (const char* column : {"backup_method", "recovery_path", "forked_from_path", "fork_lsn"}) {
        ASSERT_NO_FATAL_FAILURE(jxtest::DropColumnFromStore("backup_sets", column));
    }

    RelocateToCopy();
    int status = 0;
    EXPECT_TRUE(Run(42, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(Statuses(42), (std::vector<std::string>{"5\tCopy"}));
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents("Copy") == sales);
    EXPECT_EQ(vditest::DataFiles(sim, "Copy").at(0), root.File("moved/copy.mdf"));
    EXPECT_TRUE(Contents("Sales") == sales) << "the source is untouched";
}

// The differential snapshot holds the whole database: a revert to it brings
// back the streamed full under it too, and only the logs after the
// differential are restored, though a log came between the two.
TEST_F(RevertEndToEnd, ARevertToASnapshotDifferentialOnAStreamedFullKeepsWhatItBroughtBack) {
    task.databases = {"Sales"};
    task.pointInTime = 0;
    PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, false);
    ASSERT_EQ(RunSubclientBackup(100, "-D"), "1");
    ChangeDb("Sales", 2, 1);
    ASSERT_EQ(RunSubclientBackup(101, "-L"), "1");
    PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, true);
    ChangeDb("Sales", 2, 2);
    ASSERT_EQ(RunSubclientBackup(110, "-I"), "1");
    ChangeDb("Sales", 2, 3);
    ASSERT_EQ(RunSubclientBackup(200, "-L"), "1");
    const std::vector<std::string> sales = Contents("Sales");
    ChangeDb("Sales", 5, 9);

    RevertSalesToItsLastLogThroughADifferential(sales);
}

// Restores of one file group of Sales (a second group FG2 with file Sales3)
// over a subclient switched from streamed backups to snapshots: a streamed
// full and log, a point in time, another log, then a snapshot full and a
// log, each after changes.
class FileGroupRestoreAfterASwitchToSnapshots : public RevertEndToEnd {
protected:
    void SetUp() override {
        RevertEndToEnd::SetUp();
        AddSecondFileGroup();
        task.databases = {std::string("Sales") + '\x12' + "FG2"};
        task.optionFlags = kRstFileFileGroup | kRstOverwrite;
        task.pointInTime = 0;

        const int64_t pastMs = (static_cast<int64_t>(std::time(nullptr)) - 600) * 1000;
        PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, false);
        ASSERT_EQ(RunSubclientBackup(100, "-D"), "1");
        Change(1, pastMs);
        ASSERT_EQ(RunSubclientBackup(101, "-L"), "1");
        point = static_cast<uint64_t>(std::time(nullptr));
        Change(2, static_cast<int64_t>(point + 5) * 1000);
        ASSERT_EQ(RunSubclientBackup(102, "-L"), "1");
        PrepareSubclientForBackupJobs(root, kInstance, {"Sales"}, true);
        Change(3, static_cast<int64_t>(point + 6) * 1000);
        ASSERT_EQ(RunSubclientBackup(110, "-D"), "1");
        Change(4, static_cast<int64_t>(point + 7) * 1000);
        ASSERT_EQ(RunSubclientBackup(111, "-L"), "1");
        source = Contents("Sales");
        // The group's file is damaged.
        std::fstream group(vditest::DataFiles(sim, "Sales").back(), std::ios::in | std::ios::out | std::ios::binary);
        group << std::string(4096, 'X');
        group.close();
        ASSERT_FALSE(Contents("Sales") == source);
    }
    void Change(uint64_t seed, int64_t timeMs) {
        ASSERT_FALSE(SqlSimChanges(sim).Change({"Sales", 4, seed, "", timeMs}).IsError());
    }

    uint64_t point = 0;
    std::vector<std::string> source;
};

// The snapshot full is no base for a file-group restore: the group comes
// back from the streamed full and every log after it.
TEST_F(FileGroupRestoreAfterASwitchToSnapshots, TheGroupComesBackFromTheStreamedFullAndTheLogs) {
    int status = 0;
    EXPECT_TRUE(Run(42, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents("Sales") == source);
}

// A group restored to a point before the database's present cannot be
// brought level, and the database is left restoring with the group pending;
// a revert to the latest time then brings every file, not only the group's,
// to the last log.
TEST_F(FileGroupRestoreAfterASwitchToSnapshots, ARevertEndsAHalfDoneRestoreWithEveryFileAtTheLastLog) {
    task.optionFlags |= kRstPointInTime;
    task.pointInTime = point;
    int status = 0;
    EXPECT_FALSE(Run(42, &status));
    EXPECT_EQ(status, 2);
    ASSERT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_RESTORING);

    task.databases = {"Sales"};
    task.optionFlags = 0;
    task.pointInTime = static_cast<uint64_t>(std::time(nullptr)) + 3600;  // after the last log
    CSQLRestoreBase job;
    EXPECT_TRUE(RunRevert(job, 43, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents("Sales") == source);
}

}  // namespace
