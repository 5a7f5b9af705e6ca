// The list a log-dump job rewrites for the dump library, under crashes and
// failing disks: a crash or a failed step leaves the job's earlier list or
// the whole new one, a list that cannot be put in place fails the job with
// its reason before anything is dumped, and the restart on what is left
// dumps every database.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/StatusTabStore.h"
#include "JxJobClient/JobJournal.h"
#include "JxSQLCommon/dump/CSQLDump.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tests/support/FaultyFileSystem.h"

namespace {

using jxtest::FaultyFileSystem;
using jxtest::FsCall;

const std::vector<std::string> kDatabases{"beta", "Alpha", "Gamma", "delta", "Epsilon"};
const std::string kJobsList = "Alpha\nbeta\ndelta\nEpsilon\nGamma\n";  // as the job lists the subclient
const std::string kLibrarysList = "HOST/INST\n" + kJobsList;           // as the dump library reads it

// A dump job whose disk is set up by `arm` once the job has read back the
// list it rewrites for the library, and is whole again once that rewrite is
// over (unless it crashed there): only the rewrite meets the fault.
struct DumpWithFailingList : CSQLDump {
    bool ReadFromCollectFile(std::string path, std::vector<std::string>& names) override {
        const bool read = CSQLDump::ReadFromCollectFile(std::move(path), names);
        if (arm) arm(disk);
        return read;
    }
    bool generateCollectFile() override {
        const bool made = CSQLDump::generateCollectFile();
        if (!disk.Crashed()) disk.Heal();
        return made;
    }
    FaultyFileSystem disk;
    std::function<void(FaultyFileSystem&)> arm;
};

class LogDumpListTest : public jxtest::BackupJobRun {
protected:
    void SetUp() override { SetUpInstance("HOST/INST", kDatabases); }

    // The instance `server` with `databases` in the subclient, the dump
    // library in place, and a full backup of them.
    void SetUpInstance(const std::string& server, const std::vector<std::string>& databases) {
        BackupJobRun::SetUp();
        MakeDatabases(databases, server);
        AppModel::Set("subclient/1234", "clientId", "3");
        AppModel::Set("client/3", "name", "node1");
        AppModel::Set("client/3", "hostName", "node1.example");
        root.WriteFile("Base/.keep", "");
        ASSERT_EQ(::symlink(JX_DUMP_LIBRARY, (root.path() + "/Base/libJxSQLPmnOSC.so").c_str()), 0);
        ASSERT_TRUE(RunPhase(69, "-D"));  // a log dump continues a full backup
    }

    bool RunDump(CSQLDump& job, uint64_t jobId, int attempt) {
        return RunPhaseOf(job, jobId, "-L", attempt, {"-type", "2"});
    }
    std::string Results(uint64_t jobId) const { return root.path() + "/jobresults/" + std::to_string(jobId); }
    std::string List(uint64_t jobId) { return root.ReadFile("jobresults/" + std::to_string(jobId) + "/LogDBList.jxf"); }
    // One line per call of the dump library, naming the databases it was given.
    std::string LibraryCalls() { return root.ReadFile("dumplib/PerformSQLDump.log"); }
    std::string CompleteStatus(uint64_t jobId) {
        const auto completions = Journal(jobId, "complete");
        return completions.empty() ? "none" : completions.back().Get("status");
    }
    // Database -> status of its last status-tab row.
    std::map<std::string, int64_t> Rows(uint64_t jobId) {
        std::map<std::string, int64_t> rows;
        for (const std::string& xml : statustab::Records(jobId, 2)) {
            JobManager::SQLStatusTab tab;
            EXPECT_EQ(tab.unserialize(xml), kMsgOk);
            rows[tab.getstring(JobManager::SQLStatusTab::kDatabaseName)] =
                tab.getint64(JobManager::SQLStatusTab::kStatus);
        }
        return rows;
    }

    // Runs the restart of `jobId` on what the first attempt left and checks
    // that it hands the library every database, and that each has one row,
    // backed up.
    void ExpectTheRestartDumpsEveryDatabase(uint64_t jobId, const std::string& context) {
        CSQLDump restart;
        const std::string before = LibraryCalls();
        ASSERT_TRUE(RunDump(restart, jobId, 2)) << context;
        const std::string calls = LibraryCalls();
        ASSERT_EQ(calls.compare(0, before.size(), before), 0) << context;
        EXPECT_NE(calls.substr(before.size()).find(" databases=Alpha,beta,delta,Epsilon,Gamma\n"), std::string::npos)
            << context << ": " << calls.substr(before.size());
        EXPECT_EQ(List(jobId), kLibrarysList) << context;
        EXPECT_EQ(CompleteStatus(jobId), "1") << context;
        const std::map<std::string, int64_t> rows = Rows(jobId);
        EXPECT_EQ(rows.size(), kDatabases.size()) << context << ": the instance line is no database";
        for (const std::string& name : kDatabases) {
            EXPECT_EQ(rows.count(name) ? rows.at(name) : -1, JobManager::kDBStatusBackedUp) << context << " " << name;
        }
    }
};

TEST_F(LogDumpListTest, ACrashWhileTheListIsRewrittenLeavesAWholeListAndTheRestartDumpsEveryDatabase) {
    bool finished = false;
    for (int n = 1; n < 30 && !finished; ++n) {
        const uint64_t jobId = 100 + static_cast<uint64_t>(n);
        const std::string context = "crash at call " + std::to_string(n);
        {
            DumpWithFailingList first;
            const std::string results = Results(jobId);
            first.arm = [n, results](FaultyFileSystem& disk) {
                disk.RecordForCrash(results);
                disk.CrashAt(n, results + "*");  // every call on the job's folder and files
            };
            wz::ScopedFileSystem use(first.disk);
            (void)RunDump(first, jobId, 1);  // a crashed attempt ends as it can
            finished = !first.disk.Crashed();
            if (finished) {
                // The list was handed to the library: it outlives a crash now.
                first.disk.Crash();
            }
            const std::string left = List(jobId);
            EXPECT_TRUE(left == kJobsList || left == kLibrarysList) << context << ": [" << left << "]";
            if (finished) {
                EXPECT_EQ(left, kLibrarysList);
            }
            first.disk.Heal();
        }
        ExpectTheRestartDumpsEveryDatabase(jobId, context);
    }
    EXPECT_TRUE(finished);
}

TEST_F(LogDumpListTest, AListThatCannotBePutInPlaceFailsTheJobBeforeAnythingIsDumped) {
    struct Fault {
        std::string name;
        FsCall kind;
        std::string target;  // empty: the disk fills a few bytes into the list
    };
    const std::vector<Fault> faults{
        {"the disk fills inside the list", FsCall::kWrite, ""},
        {"the list's sync", FsCall::kFsync, "LogDBList.jxf*"},
        {"the list's rename", FsCall::kRename, "LogDBList.jxf*"},
        // The new list is in place but may not outlive a crash: the job
        // does not go on with it.
        {"the folder's sync", FsCall::kFsync, "<folder>"},
    };
    uint64_t jobId = 200;
    for (const Fault& fault : faults) {
        ++jobId;
        const std::string before = LibraryCalls();
        {
            DumpWithFailingList first;
            const std::string target = fault.target == "<folder>" ? std::to_string(jobId) : fault.target;
            first.arm = [&fault, target](FaultyFileSystem& disk) {
                if (target.empty()) {
                    disk.FailWritesAfter(14, ENOSPC);
                } else {
                    disk.FailCallOn(target, fault.kind, 1, EIO);
                }
            };
            wz::ScopedFileSystem use(first.disk);
            EXPECT_TRUE(RunDump(first, jobId, 1)) << fault.name;
            EXPECT_GE(first.disk.Fired(fault.kind), 1) << fault.name;
        }
        EXPECT_EQ(LibraryCalls(), before) << fault.name << ": the library is not called";
        EXPECT_EQ(CompleteStatus(jobId), "2") << fault.name;
        for (const auto& [name, status] : Rows(jobId)) {
            EXPECT_NE(status, JobManager::kDBStatusBackedUp) << fault.name << " " << name;
        }
        const auto causes = Journal(jobId, "setPendingCause");
        ASSERT_FALSE(causes.empty()) << fault.name;
        EXPECT_EQ(causes.back().Get("cause"), jobmanager::JournalId(kCauseCollectFileWrite)) << fault.name;
        const std::string left = List(jobId);
        EXPECT_TRUE(left == kJobsList || left == kLibrarysList) << fault.name << ": [" << left << "]";

        ExpectTheRestartDumpsEveryDatabase(jobId, fault.name);
    }
}

// A default instance bears its host's name, and a database may bear it too.
class LogDumpDefaultInstanceTest : public LogDumpListTest {
protected:
    void SetUp() override { SetUpInstance("HOST", {"HOST", "Sales"}); }

    // Runs attempt `attempt` of `jobId` and checks that the library was
    // handed both databases under the instance line, and both were dumped.
    void ExpectBothDumped(uint64_t jobId, int attempt) {
        const std::string context = "attempt " + std::to_string(attempt);
        const std::string before = LibraryCalls();
        CSQLDump job;
        ASSERT_TRUE(RunDump(job, jobId, attempt)) << context;
        const std::string calls = LibraryCalls();
        ASSERT_EQ(calls.compare(0, before.size(), before), 0) << context;
        EXPECT_NE(calls.substr(before.size()).find(" databases=HOST,Sales\n"), std::string::npos)
            << context << ": " << calls.substr(before.size());
        EXPECT_EQ(List(jobId), "HOST\nHOST\nSales\n") << context;
        EXPECT_EQ(CompleteStatus(jobId), "1") << context;
        const std::map<std::string, int64_t> rows = Rows(jobId);
        EXPECT_EQ(rows, (std::map<std::string, int64_t>{{"HOST", JobManager::kDBStatusBackedUp},
                                                        {"Sales", JobManager::kDBStatusBackedUp}}))
            << context;
    }
};

// The list a first run builds holds databases only: its first line is the
// database, which is dumped.
TEST_F(LogDumpDefaultInstanceTest, ADatabaseNamedAsTheInstanceIsDumpedOnAFirstRun) {
    ExpectBothDumped(300, 1);
}

// A restart that finds no list rebuilds it from the status tab: that list
// holds databases only too.
TEST_F(LogDumpDefaultInstanceTest, ADatabaseNamedAsTheInstanceIsDumpedByARestartThatRebuildsTheList) {
    ExpectBothDumped(301, 1);
    ASSERT_EQ(::unlink(root.File("jobresults/301/LogDBList.jxf").c_str()), 0);
    ExpectBothDumped(301, 2);
}

}  // namespace
