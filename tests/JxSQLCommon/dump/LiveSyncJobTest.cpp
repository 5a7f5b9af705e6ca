// Whole live-sync jobs on standby copies: the central server's full and
// differential, log dumps that a dump writer keeps adding between runs, and
// the stay-alive window that ends the runs.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "JxEntityLib/LiveSyncReplication.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/dump/CSQLDumpLiveSync.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxsqlDMO/SqlDbState.h"
#include "LogDumpWriter.h"
#include "WzUtils/WzClock.h"
#include "tests/JxSQLCommon/dump/DumpJobFixture.h"
#include "tests/JxSQLCommon/restore/HeldArchiveReads.h"
#include "tests/JxSQLCommon/restore/LiveSyncTaskSupport.h"

namespace {

using jobmanager::JobJournalReader;
using jobmanager::JournalEntry;
using vditest::DatabaseState;

constexpr uint64_t kJob = 42;

// A live-sync job that lets the test act at each wait between two runs (the
// dump writer adds dumps, a stop request arrives), then waits as usual.
class HookedLiveSync : public CSQLDumpLiveSync {
public:
    explicit HookedLiveSync(std::function<void(int)> atWait) : m_atWait(std::move(atWait)) {}
    CWzError WaitMinTime(CSQLDumpLiveSyncSettings& settings) override {
        ++waits;
        m_atWait(waits);
        return CSQLDumpLiveSync::WaitMinTime(settings);
    }
    int waits = 0;

private:
    std::function<void(int)> m_atWait;
};

class LiveSyncJob : public DumpJobEndToEnd {
protected:
    void SetUp() override {
        DumpJobEndToEnd::SetUp();
        StandbyCopiesOfSalesAndHr();
        // A live-sync task: its replication entities and their site records.
        std::string error;
        for (int64_t id : {11, 12}) {
            ASSERT_EQ(LiveSyncReplication().setSiteReplication(SiteRecord(kTask, id, 0), error, nullptr), 0) << error;
        }
        ReplicationIds(kJob, {{11, "Sales"}, {12, "Hr"}});
        // Runs a minute apart in a window of a day, which no run count of a
        // test comes near however slow the machine: a test that wants more
        // than one run ends them itself (LastRunNext).
        JXPlatformInfo settings;
        ASSERT_NE(0, settings.setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 24));
        ASSERT_NE(0, settings.setNumber("MSSQLAgent", "LiveSyncWaitDurationMinutes", 1));
    }
    // Makes the run after the current wait the job's last: the window is
    // read again after each run, and a window of 0 hours is one run.
    static void LastRunNext() { ASSERT_NE(0, JXPlatformInfo().setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 0)); }
    // The dump writer: a change, then a log dump of it.
    std::string DumpOf(const std::string& database, const std::string& folder, uint64_t seed) {
        ChangeOf(database, seed);
        std::string bak;
        CWzError e = WriteLogDump(kInstance, database, folder, bak);
        EXPECT_TRUE(e.IsSuccess()) << e.AsString();
        return bak;
    }
    // Full and differential of both databases at the central server, then
    // log dumps of each on the two mount paths.
    void Chains() {
        TakeOf("Sales", 'D', 100);
        TakeOf("Hr", 'D', 101);
        ChangeOf("Sales", 1);
        TakeOf("Sales", 'I', 200);
        salesDumps.push_back(DumpOf("Sales", mpA, 2));
        salesDumps.push_back(DumpOf("Sales", mpB, 3));
        hrDumps.push_back(DumpOf("Hr", mpA, 4));
    }
    int64_t Restores(const std::string& database, const std::string& type) {
        SimSqlStatement q = sim.Db().Prepare(
            "SELECT COUNT(*) FROM restore_history WHERE destination_database = ? AND type = ?");
        q.Bind(1, database);
        q.Bind(2, type);
        return q.Step() ? q.Int(0) : 0;
    }
    std::vector<JournalEntry> Journal(const std::string& op) {
        auto entries = JobJournalReader::Read(kJob);
        EXPECT_TRUE(entries.has_value());
        return entries ? JobJournalReader::WithOp(*entries, op) : std::vector<JournalEntry>{};
    }
    // The last restore status of each object in the job results.
    std::map<std::string, std::string> ObjectStatuses() {
        std::map<std::string, std::string> out;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path())) {
            if (entry.path().filename() != "RestoreStatus.txt") continue;
            std::istringstream in(jxtest::ReadWholeFile(entry.path().string()));
            std::string line;
            while (std::getline(in, line)) {
                const size_t tab = line.find('\t');
                if (tab != std::string::npos) out[line.substr(tab + 1)] = line.substr(0, tab);
            }
        }
        return out;
    }
    // The counters one run would add to the job manager's totals.
    void ExpectNoPerRunCounters() {
        for (const char* op : {"setNoDBsRestoredSoFar", "setNoDBsToRestore", "setTotBytes2Xfer",
                               "setUnCompBytesSoFar", "setNumFailures2Add", "setNumSkipped2Add",
                               "setUncompBytes2Add"}) {
            EXPECT_TRUE(Journal(op).empty()) << op;
        }
    }

    std::vector<std::string> salesDumps, hrDumps;
};

// A window of an hour with runs four minutes apart, on a clock where a real
// second is 50 platform seconds: the first two runs have over a minute of
// real time to fit in the window, and each wait's share of the window is
// worth a progress report.
class LiveSyncWindow : public LiveSyncJob {
protected:
    void SetUp() override {
        wz::SetTimeScale(0.02);
        LiveSyncJob::SetUp();
        JXPlatformInfo settings;
        ASSERT_NE(0, settings.setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 1));
        ASSERT_NE(0, settings.setNumber("MSSQLAgent", "LiveSyncWaitDurationMinutes", 4));
    }
};

TEST_F(LiveSyncWindow, EachRunAppliesTheNewDumpsUntilTheWindowHasPassed) {
    Chains();
    std::vector<std::string> salesAtLastDump, hrAtLastDump;
    int64_t restoresBeforeWait2 = -1;
    HookedLiveSync job([&](int wait) {
        if (wait == 1) {
            // Run 1 restored full, differential and the dumps; the dump
            // writer goes on.
            EXPECT_EQ(1, Restores("SalesDR", "D"));
            EXPECT_EQ(1, Restores("SalesDR", "I"));
            EXPECT_EQ(2, Restores("SalesDR", "L"));
            EXPECT_EQ(1, Restores("HrDR", "L"));
            salesDumps.push_back(DumpOf("Sales", mpA, 5));
            salesDumps.push_back(DumpOf("Sales", mpB, 6));
            hrDumps.push_back(DumpOf("Hr", mpB, 7));
        } else if (wait == 2) {
            restoresBeforeWait2 = Restores("SalesDR", "L");
            salesDumps.push_back(DumpOf("Sales", mpA, 8));
            // The rest of the window passes at once: the next run is the last.
            wz::AdvanceClock(3600 * 1000);
        }
        if (wait <= 2) {
            salesAtLastDump = Contents("Sales");
            hrAtLastDump = Contents("Hr");
        }
        ChangeOf("Sales", 100 + wait);  // after the last dump: never restored
    });
    int status = 0;
    ASSERT_TRUE(Run(job, kJob, &status));
    ASSERT_EQ(job.waits, 2);
    EXPECT_EQ(1, status);
    EXPECT_EQ(4, restoresBeforeWait2);
    // Every dump once, the full and differential only in run 1.
    EXPECT_EQ(1, Restores("SalesDR", "D"));
    EXPECT_EQ(1, Restores("SalesDR", "I"));
    EXPECT_EQ(5, Restores("SalesDR", "L"));
    EXPECT_EQ(2, Restores("HrDR", "L"));
    EXPECT_TRUE(salesAtLastDump == Contents("SalesDR"));
    EXPECT_TRUE(hrAtLastDump == Contents("HrDR"));
    EXPECT_EQ(SQLDB_STATE_STANDBY, DatabaseState(sim, "SalesDR"));
    EXPECT_EQ((std::map<std::string, std::string>{{"SalesDR", "5"}, {"HrDR", "5"}}), ObjectStatuses());

    EXPECT_EQ(static_cast<size_t>(job.waits), Journal("markJobAlive").size());
    int previous = 5;
    const auto percentages = Journal("setPercentage");
    EXPECT_FALSE(percentages.empty());
    for (const JournalEntry& e : percentages) {
        const int percent = std::stoi(e.Get("value"));
        EXPECT_GT(percent, previous);
        EXPECT_LE(percent, 100);
        previous = percent;
    }
    ExpectNoPerRunCounters();
    // After run 1 the central server has nothing newer for the standbys;
    // their merged dumps are not reported as missing backups.
    for (const JournalEntry& e : Journal("setPendingCause"))
        EXPECT_NE(jobmanager::JournalId(kCauseNoArchiveFiles), e.Get("cause"));
    ExpectNoMountOrMarker();
}

TEST_F(LiveSyncJob, AStopDuringTheWaitEndsTheJobAtTheNextStepWithStorageUnmounted) {
    Chains();
    HookedLiveSync job([&](int) { JXJobCtrlClient::requestStop(kJob); });
    int status = 0;
    EXPECT_TRUE(Run(job, kJob, &status));
    EXPECT_EQ(1, job.waits);
    EXPECT_EQ(4, status);
    EXPECT_EQ(1u, job.LiveSyncSettings().m_runNumber) << "the wait did not finish";
    EXPECT_EQ(2, Restores("SalesDR", "L"));
    ExpectNoMountOrMarker();
}

TEST_F(LiveSyncJob, AStopBeforeARunFailsTheLoopAndRestoresNothing) {
    Chains();
    ASSERT_TRUE(JXJobCtrlClient::requestStop(kJob));
    CSQLDumpLiveSync job;
    int status = 0;
    EXPECT_FALSE(Run(job, kJob, &status));
    EXPECT_EQ(4, status);
    EXPECT_EQ(0, Restores("SalesDR", "D"));
    ExpectNoMountOrMarker();
}

TEST_F(LiveSyncJob, ADumpMissingFromTheMiddleSkipsItsDatabaseUntilTheDumpIsBack) {
    Chains();
    std::string missing;
    std::vector<std::string> salesAtLastDump;
    std::map<std::string, std::string> statusesAfterRun2;
    std::vector<JournalEntry> causesAfterRun2;
    HookedLiveSync job([&](int wait) {
        if (wait == 1) {
            salesDumps.push_back(DumpOf("Sales", mpA, 5));
            missing = DumpOf("Sales", mpB, 6);
            salesDumps.push_back(DumpOf("Sales", mpA, 7));
            salesAtLastDump = Contents("Sales");
            hrDumps.push_back(DumpOf("Hr", mpB, 8));
            // The middle dump is away for a while (moved, not lost).
            ASSERT_EQ(0, ::rename(missing.c_str(), root.File("away.bak").c_str()));
        } else if (wait == 2) {
            statusesAfterRun2 = ObjectStatuses();
            causesAfterRun2 = Journal("setPendingCause");
            EXPECT_EQ(2, Restores("SalesDR", "L")) << "nothing of Sales was applied in run 2";
            EXPECT_EQ(2, Restores("HrDR", "L")) << "Hr went on";
            ASSERT_EQ(0, ::rename(root.File("away.bak").c_str(), missing.c_str()));
            LastRunNext();
        }
    });
    int status = 0;
    ASSERT_TRUE(Run(job, kJob, &status));
    ASSERT_EQ(job.waits, 2);
    EXPECT_EQ("4", statusesAfterRun2["SalesDR"]);
    EXPECT_EQ("5", statusesAfterRun2["HrDR"]);
    bool reasoned = false;
    for (const JournalEntry& e : causesAfterRun2) {
        const std::vector<std::string> args = e.List("args");
        if (args.size() == 2 && args[0] == "SalesDR" && args[1].find("chain is broken") != std::string::npos) {
            reasoned = true;
        }
    }
    EXPECT_TRUE(reasoned) << "the skip names its reason";
    // Once the dump is back the chain continues; the skip leaves no failure.
    EXPECT_EQ(1, status);
    EXPECT_EQ(5, Restores("SalesDR", "L"));
    EXPECT_TRUE(salesAtLastDump == Contents("SalesDR"));
    EXPECT_EQ("5", ObjectStatuses()["SalesDR"]);
    ExpectNoMountOrMarker();
}

TEST_F(LiveSyncJob, AStandbyNeverRestoredWithoutAFullBackupIsSkippedAndNotCountedAsFailed) {
    TakeOf("Hr", 'D', 101);
    hrDumps.push_back(DumpOf("Hr", mpA, 4));
    TakeOf("Sales", 'D', 100, false);  // a full the central server does not know
    salesDumps.push_back(DumpOf("Sales", mpA, 2));
    JXPlatformInfo().setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 0);
    CSQLDumpLiveSync job;
    int status = 0;
    ASSERT_TRUE(Run(job, kJob, &status));
    EXPECT_EQ(1, status) << "Hr restored, Sales skipped: no failure";
    EXPECT_EQ(0, Restores("SalesDR", "L"));
    EXPECT_EQ(1, Restores("HrDR", "L"));
    EXPECT_EQ((std::map<std::string, std::string>{{"SalesDR", "4"}, {"HrDR", "5"}}), ObjectStatuses());
    EXPECT_TRUE(Journal("markJobAlive").empty()) << "a window of 0 is one run, no wait";
    // Only Hr is reported to the central server as synchronised.
    std::vector<App::LiveSyncReplicationInfo> records;
    std::string error;
    ASSERT_EQ(0, LiveSyncReplication().getSiteReplication(SiteRecord(kTask, 0, 0), records, error, nullptr));
    std::map<int64_t, int64_t> statuses;
    for (const auto& r : records) {
        statuses[r.getint64(App::LiveSyncReplicationInfo::kReplicationId)] =
            r.getint64(App::LiveSyncReplicationInfo::kStatus);
    }
    EXPECT_EQ((std::map<int64_t, int64_t>{{11, 0}, {12, 1}}), statuses);
}

// A run whose data transfer never ends is the last: the job starts no
// other run while that transfer may still write, and still ends.
TEST_F(LiveSyncJob, ARunWhoseTransferNeverEndsIsTheLastAndTheJobStillEnds) {
    Chains();
    struct Job : HookedLiveSync {
        using HookedLiveSync::HookedLiveSync;
        using CSQLRestoreBase::WaitForTransferLeftRunning;
    } job([](int) {});
    HeldArchiveReads held;
    wz::ScopedFileSystem installed(held);
    int status = 0;
    const bool endedWhileHeld = held.RunWhileHeld([&] { (void)Run(job, kJob, &status); });
    EXPECT_TRUE(job.WaitForTransferLeftRunning(3600 * 1000));
    ASSERT_TRUE(endedWhileHeld);
    EXPECT_EQ(0, job.waits) << "a further run was waited for";
    EXPECT_EQ(0, Restores("SalesDR", "D"));
    EXPECT_EQ(0, Restores("HrDR", "D"));
    EXPECT_EQ((std::map<std::string, std::string>{{"SalesDR", "3"}, {"HrDR", "4"}}), ObjectStatuses());
    ExpectNoMountOrMarker();
}

// An unmount that fails does not change the job's outcome: a warning names
// the mount left behind, and the job tries it once more as it ends.
TEST_F(LiveSyncJob, AMountThatCannotBeUnmountedIsNamedAndTriedAgainAtTheEndOfTheJob) {
    Chains();
    JXPlatformInfo().setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 0);
    const std::string failure = root.File("media/mountsvc/" + std::to_string(kSubclient) + ".unmount-error");
    root.WriteFile("media/mountsvc/" + std::to_string(kSubclient) + ".unmount-error", "31");
    std::string folder;
    {
        CSQLDumpLiveSync job;
        int status = 0;
        ASSERT_TRUE(Run(job, kJob, &status));
        EXPECT_EQ(1, status) << "the job's status is unchanged";
        EXPECT_FALSE(std::filesystem::exists(failure)) << "the unmount failed once";
        ASSERT_EQ(1u, job.Settings().unmountFailed.size());
        folder = job.Settings().unmountFailed.begin()->second;
        EXPECT_TRUE(std::filesystem::is_symlink(folder + "/1")) << "left mounted";
        std::vector<std::string> named;
        for (const JournalEntry& e : Journal("event")) {
            if (e.Get("id") == jobmanager::JournalId(kEventMountLeftBehind) && !e.List("args").empty())
                named.push_back(e.List("args")[0]);
        }
        EXPECT_EQ(std::vector<std::string>{folder}, named);
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/1")) << "unmounted at the end of the job";
    ExpectNoMountOrMarker();
}

}  // namespace
