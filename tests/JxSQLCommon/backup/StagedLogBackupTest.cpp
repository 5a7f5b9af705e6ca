// Log jobs that take the log dumps a staging process left on disk: the
// order they are registered in, what is deleted and what stays staged, whose
// dumps a database takes, and restores that replay them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "JXAppMgr/StatusTabStore.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/StagedLogJob.h"
#include "tests/support/FaultyFileSystem.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

class StagedLogBackupTest : public jxtest::StagedLogJob {};

TEST_F(StagedLogBackupTest, DumpsAreRegisteredInLogOrderDeletedAndRestoreToTheSourceBytes) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(80, "-D", 1, {"-type", "1"}));
    Change("Sales", 2, 1);
    Stage("Sales", 9);
    Change("Sales", 1, 2);
    Stage("Sales", 10);
    Change("Sales", 3, 3);
    Stage("Sales", 11);
    const std::string source = DataBytes("Sales");

    ASSERT_TRUE(RunPhase(81, "-L", 1, {"-type", "2"}));
    EXPECT_EQ(CompleteStatus(81), "1");
    const auto sets = SetsOf("Sales");
    ASSERT_EQ(sets.size(), 4u);
    EXPECT_EQ(sets[0].backupType, "D");
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(sets[i].backupType, "L");
        EXPECT_EQ(sets[i].jobId, 81u);
        // Each set starts where the one before ended: 9, 10, 11 in that order.
        if (i > 1) {
            EXPECT_EQ(sets[i].firstLsn, sets[i - 1].lastLsn);
        }
    }
    for (const char* n : {"9", "10", "11"}) {
        EXPECT_FALSE(Staged(std::string("Sales_Log_Backup_") + n + ".bak")) << n;
        EXPECT_FALSE(Staged(std::string("Sales_Log_Backup_") + n + ".xml")) << n;
    }

    Change("Sales", 8, 99);  // the source moves on; the restore must undo it
    ASSERT_EQ(JxServeStoredArchives("Sales").size(), 4u);
    RestoreChain("Sales");
    EXPECT_EQ(DataBytes("Sales"), source);
}

// Refuses the second backup-set record of the job.
struct RefusingJob : CSQLBackup {
    bool sendBackupSetInfoToCS(std::string xml, int method, std::string caller, int* errorCode,
                               JobManager::SQLStatusTab* tab, bool flush) override {
        if (++records == 2) {
            *errorCode = kCauseBackupSetRefused;
            return false;
        }
        return CSQLBackup::sendBackupSetInfoToCS(xml, method, caller, errorCode, tab, flush);
    }
    int records = 0;
};

TEST_F(StagedLogBackupTest, ARefusedRecordLeavesThatDumpAndLaterOnesStaged) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(82, "-D", 1, {"-type", "1"}));
    ChangeAndStage("Sales", {9, 10, 11});
    RefusingJob job;
    (void)RunPhaseOf(job, 83, "-L", 1, {"-type", "2"});
    EXPECT_NE(CompleteStatus(83), "1");
    EXPECT_FALSE(Staged("Sales_Log_Backup_9.bak"));
    for (const char* n : {"10", "11"}) {
        EXPECT_TRUE(Staged(std::string("Sales_Log_Backup_") + n + ".bak")) << n;
        EXPECT_TRUE(Staged(std::string("Sales_Log_Backup_") + n + ".xml")) << n;
    }
}

// The data of each dump are committed on the media before its files go.
// When the commit fails, every dump stays staged and the set registered for
// the first is dropped (its data were never committed); the next log job
// registers each dump once, and the chain restores to the source's bytes.
TEST_F(StagedLogBackupTest, DumpsWhoseCommitFailsStayStagedAndKeepNoSet) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(87, "-D", 1, {"-type", "1"}));
    ChangeAndStage("Sales", {9, 10, 11});
    const std::string source = DataBytes("Sales");
    {
        jxtest::FaultyFileSystem faults;
        wz::ScopedFileSystem use(faults);
        faults.FailCallOn(jxtest::ArchiveFiles(), jxtest::FsCall::kFsync, 1, EIO);
        (void)RunPhase(88, "-L", 1, {"-type", "2"});
        EXPECT_EQ(faults.Fired(jxtest::FsCall::kFsync), 1);
    }
    EXPECT_EQ(CompleteStatus(88), "2");
    for (const char* n : {"9", "10", "11"}) {
        EXPECT_TRUE(Staged(std::string("Sales_Log_Backup_") + n + ".bak")) << n;
        EXPECT_TRUE(Staged(std::string("Sales_Log_Backup_") + n + ".xml")) << n;
    }

    ASSERT_TRUE(RunPhase(89, "-L", 1, {"-type", "2"}));
    EXPECT_EQ(CompleteStatus(89), "1");
    for (const char* n : {"9", "10", "11"}) EXPECT_FALSE(Staged(std::string("Sales_Log_Backup_") + n + ".bak")) << n;
    std::vector<uint64_t> jobs;
    for (const JxServeBackupSet& set : SetsOf("Sales")) jobs.push_back(set.jobId);
    EXPECT_EQ(jobs, (std::vector<uint64_t>{87, 89, 89, 89})) << "each log once";
    Change("Sales", 8, 99);
    RestoreChain("Sales");
    EXPECT_EQ(DataBytes("Sales"), source);
}

TEST_F(StagedLogBackupTest, DumpsOffABrokenChainGoWithTheConversionSoTheNextLogJobChainsOnTheFull) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(84, "-D", 1, {"-type", "1"}));
    Change("Sales", 1, 1);
    Stage("Sales", 1);
    // Lost before any job took it: the central server's chain has a gap.
    ASSERT_EQ(::unlink((stage + "/Sales_Log_Backup_1.bak").c_str()), 0);
    ASSERT_EQ(::unlink((stage + "/Sales_Log_Backup_1.xml").c_str()), 0);
    Change("Sales", 1, 2);
    Stage("Sales", 2);
    Change("Sales", 1, 3);
    Stage("Sales", 3);

    ASSERT_TRUE(RunPhase(85, "-L", 1, {"-type", "2"}));
    EXPECT_FALSE(Journal(85, "convertToFull").empty());
    for (const char* n : {"2", "3"}) {
        EXPECT_FALSE(Staged(std::string("Sales_Log_Backup_") + n + ".bak")) << n;
        EXPECT_FALSE(Staged(std::string("Sales_Log_Backup_") + n + ".xml")) << n;
    }
    ASSERT_TRUE(RunPhase(85, "-D", 1, {"-type", "1"}));

    Change("Sales", 1, 4);
    Stage("Sales", 4);
    ASSERT_TRUE(RunPhase(86, "-L", 1, {"-type", "2"}));
    EXPECT_EQ(CompleteStatus(86), "1");
    EXPECT_TRUE(Journal(86, "convertToFull").empty()) << "the chain goes on from the full backup";
    EXPECT_FALSE(Staged("Sales_Log_Backup_4.bak"));
    const auto sets = SetsOf("Sales");
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[1].backupType, "D");
    EXPECT_EQ(sets[2].backupType, "L");
    EXPECT_EQ(sets[2].jobId, 86u);
}

// "a|b" stages its dumps as "a_b_Log_Backup_<n>", the names "a_b" looks
// for; "a_b" is walked first, so only the owner named in a dump's metadata
// keeps them from it.
TEST_F(StagedLogBackupTest, ADatabaseTakesOnlyItsOwnDumpsAndWithoutDumpsIsSkipped) {
    MakeDatabases({"a", "a_Log_Backup_x", "a|b", "a_b"});
    ASSERT_TRUE(RunPhase(84, "-D", 1, {"-type", "1"}));
    Change("a_Log_Backup_x", 1, 5);
    Stage("a_Log_Backup_x", 1);
    Change("a|b", 1, 6);
    Stage("a|b", 1);  // a_b_Log_Backup_1, which "a_b" must not take
    ASSERT_TRUE(RunPhase(85, "-L", 1, {"-type", "2"}));
    const std::string walked = root.ReadFile("jobresults/85/LogDBList.jxf");
    ASSERT_LT(walked.find("a_b\n"), walked.find("a|b\n")) << walked;
    EXPECT_EQ(SetsOf("a").size(), 1u) << "only its full backup";
    EXPECT_EQ(SetsOf("a_b").size(), 1u) << "only its full backup";
    EXPECT_EQ(SetsOf("a_Log_Backup_x").size(), 2u);
    EXPECT_EQ(SetsOf("a|b").size(), 2u);
    EXPECT_FALSE(Staged("a_Log_Backup_x_Log_Backup_1.bak"));
    EXPECT_FALSE(Staged("a_b_Log_Backup_1.bak"));
    // The two without dumps are skipped, the two with dumps backed up.
    std::map<std::string, int64_t> status;
    for (const std::string& xml : statustab::Records(85, 2)) {
        JobManager::SQLStatusTab tab;
        ASSERT_EQ(tab.unserialize(xml), kMsgOk);
        status[tab.getstring(JobManager::SQLStatusTab::kDatabaseName)] =
            tab.getint64(JobManager::SQLStatusTab::kStatus);
    }
    const int64_t skipped = JobManager::kDBStatusSkippedInPhase, backedUp = JobManager::kDBStatusBackedUp;
    EXPECT_EQ(status, (std::map<std::string, int64_t>{
                          {"a", skipped}, {"a_b", skipped}, {"a_Log_Backup_x", backedUp}, {"a|b", backedUp}}));
    EXPECT_EQ(Journal(85, "setSkippedItemsToAdd").size(), 2u);
}

TEST_F(StagedLogBackupTest, TheDecisionAndTheStagingFolder) {
    MakeDatabases({"Sales"});
    struct Probe : jxtest::BackupJobUnderTest {
        using BackupJobUnderTest::BackupJobUnderTest;
        using CSQLCommon::m_agName;
        using CSQLCommon::m_isAGChild;
    } job(86);
    std::string folder, error;
    ASSERT_TRUE(job.getStageFolderForFsBackup(folder, error));
    EXPECT_EQ(folder, stage);
    // Without the switch the staged dumps are used; with it, only while the folder is empty.
    EXPECT_FALSE(job.ShouldProceedVDIBackup());
    JXPlatformInfo().setNumber("MSSQLAgent", "DisableTlog_HOST/INST", 1);
    EXPECT_TRUE(job.ShouldProceedVDIBackup());
    ASSERT_EQ(wz::MakeDirectoryTree(stage), 0);
    EXPECT_TRUE(job.ShouldProceedVDIBackup());
    root.WriteFile("stage/HOST_INST/Sales_Log_Backup_1.bak", "x");
    EXPECT_FALSE(job.ShouldProceedVDIBackup());

    job.m_isAGChild = true;
    job.m_agName = "grp/lsn";
    JXPlatformInfo().setString("MSSQLAgent", "SqlAGLogBackupStageFolder", root.path() + "/ag");
    ASSERT_TRUE(job.getStageFolderForFsBackup(folder, error));
    EXPECT_EQ(folder, root.path() + "/ag/lsn_grp");
    JXPlatformInfo().setString("MSSQLAgent", "SqlAGLogBackupStageFolder", "");
    EXPECT_FALSE(job.getStageFolderForFsBackup(folder, error));
    EXPECT_NE(error.find("SqlLogBackupStageFolder or"), std::string::npos);
}

}  // namespace
