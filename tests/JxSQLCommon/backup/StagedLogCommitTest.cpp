// A staged log dump and a commit of the media that fails after an earlier
// one of the same job succeeded. All of a database's dumps reach the media
// before the first record, so that earlier commit already made every dump's
// data durable: a dump whose record was accepted is backed up, leaves the
// staging folder, and no later job registers its log again.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "JxLib/JXPlatformInfo.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/StagedLogJob.h"
#include "tests/support/FaultyFileSystem.h"
#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

// Run with the media committed by the log loop after each record (false) and
// by the record's own request ("bCommitData", true).
class StagedLogCommitTest : public jxtest::StagedLogJob, public ::testing::WithParamInterface<bool> {
protected:
    bool Staged(int n) {
        const std::string stem = "Sales_Log_Backup_" + std::to_string(n);
        const bool bak = StagedLogJob::Staged(stem + ".bak"), xml = StagedLogJob::Staged(stem + ".xml");
        EXPECT_EQ(bak, xml) << stem << ": a dump is staged whole or not at all";
        return bak;
    }
};

TEST_P(StagedLogCommitTest, ALaterCommitThatFailsLeavesNoDumpWithACommittedSetStagedSoNoLogIsRegisteredTwice) {
    JXPlatformInfo().setNumber("MSSQLAgent", "bCommitData", GetParam() ? 1 : 0);
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(90, "-D", 1, {"-type", "1"}));
    ChangeAndStage("Sales", {9, 10, 11});
    const std::string source = DataBytes("Sales");
    {
        // The commit after dump 9's record succeeds, the one after dump 10's fails.
        jxtest::FaultyFileSystem faults;
        wz::ScopedFileSystem use(faults);
        faults.FailCallOn(jxtest::ArchiveFiles(), jxtest::FsCall::kFsync, 2, EIO);
        (void)RunPhase(91, "-L", 1, {"-type", "2"});
        EXPECT_EQ(faults.Fired(jxtest::FsCall::kFsync), 1);
    }
    EXPECT_EQ(CompleteStatus(91), "2") << "the failed commit fails the job";
    EXPECT_FALSE(Staged(9));
    EXPECT_FALSE(Staged(10)) << "its set stands on data the first commit took";
    EXPECT_TRUE(Staged(11)) << "no record was sent for it";

    ASSERT_TRUE(RunPhase(92, "-L", 1, {"-type", "2"}));
    EXPECT_EQ(CompleteStatus(92), "1");
    EXPECT_FALSE(Staged(11));
    const std::vector<JxServeBackupSet> sets = SetsOf("Sales");
    std::vector<uint64_t> jobs;
    for (const JxServeBackupSet& set : sets) jobs.push_back(set.jobId);
    EXPECT_EQ(jobs, (std::vector<uint64_t>{90, 91, 91, 92})) << "each log once";
    // What a restore is offered: the full backup, then each log once, each
    // starting where the one before it ended.
    const std::vector<JxServeBackup> chain = JxServeBackupsOf(*JxServeOpenRestoreStore(), 7, "Sales", 0);
    ASSERT_EQ(chain.size(), 4u);
    EXPECT_EQ(chain[0].backupType, 'D');
    for (size_t i = 1; i < chain.size(); ++i) {
        EXPECT_EQ(chain[i].backupType, 'L') << i;
        if (i > 1) {
            EXPECT_EQ(chain[i].firstLsn, chain[i - 1].lastLsn) << i;
        }
    }
    Change("Sales", 8, 99);
    RestoreChain("Sales");
    EXPECT_EQ(DataBytes("Sales"), source);
}

INSTANTIATE_TEST_SUITE_P(CommitPlace, StagedLogCommitTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "CommittedByTheRecord" : "CommittedByTheLogLoop";
                         });

}  // namespace
