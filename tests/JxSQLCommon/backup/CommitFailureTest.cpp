// Whole backup jobs whose data reach the media but cannot be committed
// there: the databases concerned are reported failed (or, after a log
// backup, sent on to a full one), the central server keeps no backup set
// whose data the media does not hold, and the job never says completed.
#include <gtest/gtest.h>

#include <cerrno>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "JXAppMgr/StatusTabStore.h"
#include "JxJobClient/JXJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxLib/JXPlatformInfo.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

using JobManager::SQLStatusTab;
using jxtest::FsCall;

class CommitFailureTest : public jxtest::BackupJobRun {
protected:
    std::string CompleteStatus(uint64_t jobId) {
        auto complete = Journal(jobId, "complete");
        return complete.empty() ? "none" : complete.back().Get("status");
    }
    // The databases of the job's backup sets at the central server, in order.
    std::vector<std::string> SetsOf(uint64_t jobId) {
        std::vector<std::string> names;
        for (const JxServeBackupSet& set : JxServeStoredBackupSets()) {
            if (set.jobId == jobId) names.push_back(set.databaseName);
        }
        return names;
    }
    int64_t Failures(uint64_t jobId) {
        int64_t failures = 0;
        for (const auto& e : Journal(jobId, "addBackupFileFailures")) failures += std::stoll(e.Get("value"));
        return failures;
    }

    jxtest::FaultyFileSystem faults;
};

// Arms the fault for the backup of `target`: with "bCommitData" its data
// are committed right after its backup-set record is sent.
struct FaultInBackupOf : CSQLBackup {
    FaultInBackupOf(jxtest::FaultyFileSystem& faults, std::string target) : faults(faults), target(std::move(target)) {}
    bool doVDIBackup(const wchar_t* name, unsigned long offset, JobManager::SQLStatusTab* record,
                     std::list<std::wstring> fileGroups, std::list<std::wstring> files) override {
        const bool armed = std::wstring(name) == std::wstring(target.begin(), target.end());
        if (armed) faults.FailCallOn(jxtest::ArchiveFiles(), FsCall::kFsync, 1, EIO, true);
        const bool ok = CSQLBackup::doVDIBackup(name, offset, record, fileGroups, files);
        if (armed) {
            pipelineError = m_dataTransferHandler.getLastErrorString();
            faults.Heal();
        }
        return ok;
    }
    jxtest::FaultyFileSystem& faults;
    std::string target;
    std::string pipelineError;
};

TEST_F(CommitFailureTest, ADatabaseWhoseCommitFailsIsFailedAndKeepsNoBackupSet) {
    MakeDatabases({"db1", "db2", "db3"});
    JXPlatformInfo().setNumber("MSSQLAgent", "bCommitData", 1);
    wz::ScopedFileSystem use(faults);
    FaultInBackupOf job(faults, "db2");
    ASSERT_TRUE(RunPhaseOf(job, 70, "-D", 1, {"-type", "1"}));

    ASSERT_GT(faults.Fired(FsCall::kFsync), 0);
    EXPECT_NE(job.pipelineError.find("Cannot sync archive file"), std::string::npos) << job.pipelineError;
    EXPECT_EQ(CompleteStatus(70), "2");
    EXPECT_EQ(SetsOf(70), (std::vector<std::string>{"db1"})) << "db2's set is dropped; the walk ends after it";
    auto rows = StatusRows(70);
    ASSERT_EQ(rows.count("db2"), 1u);
    EXPECT_EQ(rows["db2"].getint64(SQLStatusTab::kStatus), JobManager::kDBStatusFailed);
}

// Without "bCommitData" the data of a phase are committed once, when the
// pipeline closes. When that commit fails, the central server drops every
// set of the job and names the databases: each is failed.
TEST_F(CommitFailureTest, AFullPhaseWhoseDataAreNotCommittedFailsEachDatabase) {
    MakeDatabases({"db1", "db2"});
    wz::ScopedFileSystem use(faults);
    faults.FailCallOn(jxtest::ArchiveFiles(), FsCall::kFsync, 1, EIO, true);
    ASSERT_TRUE(RunPhase(71, "-D", 1, {"-type", "1"}));

    ASSERT_GT(faults.Fired(FsCall::kFsync), 0);
    EXPECT_EQ(CompleteStatus(71), "2");
    EXPECT_TRUE(SetsOf(71).empty());
    auto rows = StatusRows(71);
    for (const char* name : {"db1", "db2"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(rows.count(name), 1u);
        EXPECT_EQ(rows[name].getint64(SQLStatusTab::kStatus), JobManager::kDBStatusFailed);
        EXPECT_EQ(rows[name].getstring(SQLStatusTab::kFailureReason), "Data Commit failed in media agent.");
    }
    EXPECT_EQ(Failures(71), 2);
}

// After a log backup SQL Server's log is truncated: a log whose data the
// media never committed leaves a gap only a full backup closes.
TEST_F(CommitFailureTest, ALogPhaseWhoseDataAreNotCommittedSendsTheDatabaseToTheFullPhase) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(72, "-D", 1, {"-type", "1"}));
    wz::ScopedFileSystem use(faults);
    faults.FailCallOn(jxtest::ArchiveFiles(), FsCall::kFsync, 1, EIO, true);
    ASSERT_TRUE(RunPhase(73, "-L", 1, {"-type", "2"}));

    ASSERT_GT(faults.Fired(FsCall::kFsync), 0);
    EXPECT_TRUE(SetsOf(73).empty());
    EXPECT_EQ(root.ReadFile("jobresults/73/FullDBList.jxf"), "Sales\n");
    auto rows = StatusRows(73);
    ASSERT_EQ(rows.count("Sales"), 1u);
    EXPECT_EQ(rows["Sales"].getint64(SQLStatusTab::kStatus), JobManager::kDBStatusConverted);
    EXPECT_EQ(rows["Sales"].getint64(SQLStatusTab::kDatabasePhase), JobManager::kDBPhaseFull);
    EXPECT_EQ(Journal(73, "convertToFull").size(), 1u);
    EXPECT_EQ(CompleteStatus(73), "2");

    faults.Heal();
    ASSERT_TRUE(RunPhase(73, "-D", 1, {"-type", "2"}));
    EXPECT_EQ(SetsOf(73), (std::vector<std::string>{"Sales"})) << "the promoted phase backs it up";
}

TEST_F(CommitFailureTest, ALogPhaseWhoseFullListCannotTakeTheDatabaseFailsIt) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(74, "-D", 1, {"-type", "1"}));
    wz::ScopedFileSystem use(faults);
    faults.FailCallOn(jxtest::ArchiveFiles(), FsCall::kFsync, 1, EIO, true);
    faults.FailCallOn("FullDBList.jxf", FsCall::kPWrite, 1, ENOSPC, true);
    ASSERT_TRUE(RunPhase(75, "-L", 1, {"-type", "2"}));

    ASSERT_GT(faults.Fired(FsCall::kFsync), 0);
    ASSERT_GT(faults.Fired(FsCall::kPWrite), 0);
    EXPECT_TRUE(SetsOf(75).empty());
    auto rows = StatusRows(75);
    ASSERT_EQ(rows.count("Sales"), 1u);
    EXPECT_EQ(rows["Sales"].getint64(SQLStatusTab::kStatus), JobManager::kDBStatusFailed);
    EXPECT_EQ(rows["Sales"].getstring(SQLStatusTab::kFailureReason), "Data Commit failed in media agent.");
    EXPECT_EQ(Failures(75), 1);
    EXPECT_EQ(CompleteStatus(75), "2");
}

// A stopped attempt that ends, as a killed process would, before its end
// steps could clean up: nothing of it was committed.
struct AttemptCutShort : jxtest::StoppedJob {
    using StoppedJob::StoppedJob;
    bool checkForUncommittedDbs() override { return true; }
};

// The restarted attempt drops the sets the cut attempt left at the central
// server (the media never committed their data) and backs everything up.
TEST_F(CommitFailureTest, ARestartDropsTheSetsOfAnAttemptThatCommittedNothing) {
    MakeDatabases({"db1", "db2", "db3"});
    AttemptCutShort first(2);
    ASSERT_TRUE(RunPhaseOf(first, 76, "-D", 1, {"-type", "1"}));
    ASSERT_EQ(SetsOf(76), (std::vector<std::string>{"db1", "db2"})) << "registered, never committed";
    ASSERT_TRUE(JXJobCtrlClient::withdrawStop(76));
    ASSERT_TRUE(JXJobClient(76).getRestartString(0).empty());

    ASSERT_TRUE(RunPhase(76, "-D", 2, {"-type", "1"}));
    EXPECT_EQ(CompleteStatus(76), "1");
    EXPECT_EQ(SetsOf(76), (std::vector<std::string>{"db1", "db2", "db3"})) << "one set each, all committed";
}

}  // namespace
