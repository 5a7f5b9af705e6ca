// Every log backup reaches the restore chain once, whatever step of a job
// fails after its data were committed: a restart string that cannot be
// saved, or a central-server reply lost after the set was stored. A dump
// whose set stands leaves the staging folder, by its job or by the next one,
// and the chain restores the database to what it held.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "JxJobClient/JXJobClient.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "tests/JxSQLCommon/backup/StagedLogJob.h"
#include "tests/support/FaultyFileSystem.h"
#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

using JobManager::SQLStatusTab;
using jxtest::FsCall;

// The temporary file a save of the job manager's restart string writes
// first: failing its creation fails the save.
constexpr const char* kRestartSave = "restart.tmp.*";

// Run with the media committed after each record (true: "bCommitData") and
// without (false: by the log loop after each staged dump, by the closing
// commit after streamed backups).
class LogRegisteredOnceTest : public jxtest::StagedLogJob, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        StagedLogJob::SetUp();
        JXPlatformInfo().setNumber("MSSQLAgent", "bCommitData", GetParam() ? 1 : 0);
    }

    bool Staged(const std::string& database, int n) {
        const std::string stem = database + "_Log_Backup_" + std::to_string(n);
        const bool bak = StagedLogJob::Staged(stem + ".bak"), xml = StagedLogJob::Staged(stem + ".xml");
        EXPECT_EQ(bak, xml) << stem << ": a dump is staged whole or not at all";
        return bak;
    }

    // What a restore of `database` is offered: the full backup, then `logs`
    // log backups, each once and each starting where the one before ended.
    // Restores that chain and checks it gives back `source`.
    void ExpectChainOfLogsRestoring(const std::string& database, size_t logs, const std::string& source) {
        const std::vector<JxServeBackup> chain = JxServeBackupsOf(*JxServeOpenRestoreStore(), 7, database, 0);
        ASSERT_EQ(chain.size(), logs + 1) << "the full backup and each log once";
        EXPECT_EQ(chain[0].backupType, 'D');
        std::set<std::pair<std::string, std::string>> ranges;
        std::vector<std::vector<std::pair<uint32_t, uint64_t>>> archives;
        for (size_t i = 0; i < chain.size(); ++i) {
            if (i > 0) {
                EXPECT_EQ(chain[i].backupType, 'L') << i;
                EXPECT_TRUE(ranges.insert({chain[i].firstLsn, chain[i].lastLsn}).second) << i << ": a log twice";
            }
            if (i > 1) {
                EXPECT_EQ(chain[i].firstLsn, chain[i - 1].lastLsn) << i;
            }
            std::vector<std::pair<uint32_t, uint64_t>> set;
            for (const JxServeArchiveFile& a : chain[i].archiveFiles) set.emplace_back(a.archiveFileId, a.offset);
            archives.push_back(set);
        }
        Change(database, 8, 99);
        RestoreSets(database, archives);
        EXPECT_EQ(DataBytes(database), source);
    }

    size_t StoredLogs(const std::string& database) {
        size_t logs = 0;
        for (const JxServeBackupSet& set : SetsOf(database)) logs += set.backupType == "L" ? 1 : 0;
        return logs;
    }
};

TEST_P(LogRegisteredOnceTest, ARestartStringThatCannotBeSavedLeavesNoCommittedDumpStaged) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(90, "-D", 1, {"-type", "1"}));
    ChangeAndStage("Sales", {9, 10, 11});
    {
        // The save after the database's first commit fails; later ones work.
        jxtest::FaultyFileSystem faults;
        wz::ScopedFileSystem use(faults);
        faults.FailCallOn(kRestartSave, FsCall::kOpen, 1, ENOSPC);
        EXPECT_TRUE(RunPhase(91, "-L", 1, {"-type", "2"}));
        EXPECT_EQ(faults.Fired(FsCall::kOpen), 1);
    }
    EXPECT_EQ(CompleteStatus(91), "1");
    for (int n : {9, 10, 11}) EXPECT_FALSE(Staged("Sales", n)) << n << ": its set stands";
    EXPECT_EQ(StatusRows(91)["Sales"].getint64(SQLStatusTab::kStatus), JobManager::kDBStatusBackedUp);
    const std::string log = jxtest::ReadWholeFile(EvDebug::LogFilePath());
    EXPECT_NE(log.find("Failed to save the restart string [-o "), std::string::npos);
    EXPECT_NE(log.find("] of job [91]"), std::string::npos);

    ChangeAndStage("Sales", {12});
    const std::string source = DataBytes("Sales");
    ASSERT_TRUE(RunPhase(92, "-L", 1, {"-type", "2"}));
    EXPECT_EQ(CompleteStatus(92), "1");
    EXPECT_FALSE(Staged("Sales", 12));
    EXPECT_EQ(StoredLogs("Sales"), 4u);
    ExpectChainOfLogsRestoring("Sales", 4, source);
}

// A streamed log backup: the committed databases are backed up, whether the
// save follows each database's commit or the phase's closing commit.
TEST_P(LogRegisteredOnceTest, AVdiLogJobWhoseRestartStringCannotBeSavedBacksUpItsDatabases) {
    JXPlatformInfo().setNumber("MSSQLAgent", "backupFromFSForLog", 0);
    MakeDatabases({"Sales", "HR"});
    ASSERT_TRUE(RunPhase(80, "-D", 1, {"-type", "1"}));
    Change("Sales", 2, 1);
    Change("HR", 2, 2);
    {
        jxtest::FaultyFileSystem faults;
        wz::ScopedFileSystem use(faults);
        faults.FailCallOn(kRestartSave, FsCall::kOpen, 1, ENOSPC, /*sticky=*/true);
        EXPECT_TRUE(RunPhase(81, "-L", 1, {"-type", "2"}));
        EXPECT_GT(faults.Fired(FsCall::kOpen), 0);
    }
    EXPECT_EQ(CompleteStatus(81), "1");
    auto rows = StatusRows(81);
    for (const char* name : {"Sales", "HR"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(rows.count(name), 1u);
        EXPECT_EQ(rows[name].getint64(SQLStatusTab::kStatus), JobManager::kDBStatusBackedUp);
        std::vector<JxServeBackupSet> sets = SetsOf(name);
        ASSERT_EQ(sets.size(), 2u);
        EXPECT_EQ(sets[1].backupType, "L");
        EXPECT_EQ(sets[1].jobId, 81u);
        EXPECT_EQ(JxServeBackupsOf(*JxServeOpenRestoreStore(), 7, name, 0).size(), 2u) << "its data are committed";
    }
    EXPECT_TRUE(Journal(81, "addBackupFileFailures").empty());
}

// The central server stores the set of Sales's first dump and its reply is
// lost. The job cannot know: the database fails and its dumps stay staged.
// The phase's closing commit, due for Alpha, commits Sales's data too, so
// the set becomes restorable; the next job sends the dump again, and the
// central server takes it once.
TEST_P(LogRegisteredOnceTest, AReplyLostAtADatabasesFirstDumpAfterAnotherDatabaseLeavesTheLogInTheChainOnce) {
    MakeDatabases({"Alpha", "Sales"});
    ASSERT_TRUE(RunPhase(90, "-D", 1, {"-type", "1"}));
    ChangeAndStage("Alpha", {1});
    ChangeAndStage("Sales", {9, 10, 11});
    const std::string source = DataBytes("Sales");
    JxServeLoseBackupSetReply("Sales");
    (void)RunPhase(91, "-L", 1, {"-type", "2"});
    EXPECT_FALSE(Staged("Alpha", 1));
    EXPECT_TRUE(Staged("Sales", 9)) << "the job cannot know the set was stored";
    ASSERT_EQ(StoredLogs("Sales"), 1u) << "the central server stored it";
    ASSERT_EQ(JxServeBackupsOf(*JxServeOpenRestoreStore(), 7, "Sales", 0).size(), 2u)
        << "the closing commit made it restorable";

    ASSERT_TRUE(RunPhase(92, "-L", 1, {"-type", "2"}));
    EXPECT_EQ(CompleteStatus(92), "1");
    for (int n : {9, 10, 11}) EXPECT_FALSE(Staged("Sales", n)) << n;
    EXPECT_EQ(StoredLogs("Sales"), 3u) << "the repeated log is not stored again";
    ExpectChainOfLogsRestoring("Sales", 3, source);
}

// The reply to the set of the second dump is lost; the first dump's commit
// had already made that dump's data durable.
TEST_P(LogRegisteredOnceTest, AReplyLostAtADatabasesSecondDumpLeavesTheLogInTheChainOnce) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(90, "-D", 1, {"-type", "1"}));
    ChangeAndStage("Sales", {9, 10, 11});
    const std::string source = DataBytes("Sales");
    JxServeLoseBackupSetReply("Sales", 2);
    (void)RunPhase(91, "-L", 1, {"-type", "2"});
    EXPECT_FALSE(Staged("Sales", 9));
    EXPECT_TRUE(Staged("Sales", 10));
    ASSERT_EQ(StoredLogs("Sales"), 2u);

    ASSERT_TRUE(RunPhase(92, "-L", 1, {"-type", "2"}));
    EXPECT_EQ(CompleteStatus(92), "1");
    for (int n : {10, 11}) EXPECT_FALSE(Staged("Sales", n)) << n;
    EXPECT_EQ(StoredLogs("Sales"), 3u) << "the repeated log is not stored again";
    ExpectChainOfLogsRestoring("Sales", 3, source);
}

// With no database backed up the job commits nothing: the set stored before
// the lost reply never gets its data, and the next job's copy of the log is
// the one the chain takes.
TEST_P(LogRegisteredOnceTest, ALostReplyWhoseDataWereNeverCommittedIsStoredAgain) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(90, "-D", 1, {"-type", "1"}));
    ChangeAndStage("Sales", {9, 10});
    const std::string source = DataBytes("Sales");
    JxServeLoseBackupSetReply("Sales");
    (void)RunPhase(91, "-L", 1, {"-type", "2"});
    EXPECT_TRUE(Staged("Sales", 9));
    ASSERT_EQ(StoredLogs("Sales"), 1u);
    ASSERT_EQ(JxServeBackupsOf(*JxServeOpenRestoreStore(), 7, "Sales", 0).size(), 1u) << "nothing was committed";

    ASSERT_TRUE(RunPhase(92, "-L", 1, {"-type", "2"}));
    EXPECT_EQ(CompleteStatus(92), "1");
    for (int n : {9, 10}) EXPECT_FALSE(Staged("Sales", n)) << n;
    ExpectChainOfLogsRestoring("Sales", 2, source);
}

INSTANTIATE_TEST_SUITE_P(CommitPlace, LogRegisteredOnceTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "CommittedByTheRecord" : "CommittedLater";
                         });

}  // namespace
