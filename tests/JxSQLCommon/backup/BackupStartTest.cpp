// The start of a backup job: stream counts, refusals of the subclient's
// kind, and the job status a stop request leaves.
#include <gtest/gtest.h>

#include <string>

#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JobJournal.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"

namespace {

class BackupStartTest : public jxtest::BackupJobRun {
protected:
    std::vector<std::string> Causes(uint64_t jobId) {
        std::vector<std::string> causes;
        for (const auto& e : Journal(jobId, "setPendingCause")) causes.push_back(e.Get("cause"));
        return causes;
    }
    std::string CompleteStatus(uint64_t jobId) {
        auto complete = Journal(jobId, "complete");
        return complete.empty() ? "none" : complete.back().Get("status");
    }
};

TEST_F(BackupStartTest, StreamCountsOutsideOneToSixtyFourAreReplaced) {
    MakeDatabases({"Sales"});
    for (const auto& [configured, used] : {std::pair{"0", "2\n"}, {"65", "64\n"}, {"3", "3\n"}}) {
        SCOPED_TRACE(configured);
        AppModel::Set("subclient/1234", "dataBkpStreams", configured);
        const uint64_t job = 70 + std::stoul(configured);
        ASSERT_TRUE(RunPhase(job, "-D", 1, {"-type", "1"}));
        EXPECT_EQ(root.ReadFile("jobresults/" + std::to_string(job) + "/JXSQLStreamInfo_FULL.info"), used);
    }
}

TEST_F(BackupStartTest, BlockLevelSubclientsRefuseDifferentialsAndNeedVss) {
    MakeDatabases({"Sales"});
    AppModel::Set("subclient/1234", "blockLevel", "1");
    ASSERT_TRUE(RunPhase(80, "-I", 1, {"-type", "4"}));
    EXPECT_EQ(Causes(80), (std::vector<std::string>{jobmanager::JournalId(kCauseBlockLevelDiff)}));
    EXPECT_EQ(CompleteStatus(80), "2");
    // There is no VSS service on this platform.
    ASSERT_TRUE(RunPhase(81, "-D", 1, {"-type", "1"}));
    EXPECT_EQ(Causes(81), (std::vector<std::string>{jobmanager::JournalId(kCauseVssDownBlockLevel)}));
    EXPECT_EQ(CompleteStatus(81), "2");
}

TEST_F(BackupStartTest, AStopWithSuspensionCompletesWithSomeFailedAndAsksNoConversion) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(JXJobCtrlClient::requestStop(82, 13));
    ASSERT_TRUE(RunPhase(82, "-D", 1, {"-type", "1"}));
    EXPECT_EQ(CompleteStatus(82), "3");
    EXPECT_TRUE(Journal(82, "convertToFull").empty());

    ASSERT_TRUE(JXJobCtrlClient::requestStop(83));  // a plain stop reports nothing
    ASSERT_TRUE(RunPhase(83, "-D", 1, {"-type", "1"}));
    EXPECT_EQ(CompleteStatus(83), "none");
}

TEST_F(BackupStartTest, AnAvailabilityGroupChildDoesNotStart) {
    MakeDatabases({"Sales"});
    EXPECT_FALSE(RunPhase(84, "-D", 1, {"-alwayson"}));
    EXPECT_TRUE(Journal(84).empty());
}

}  // namespace
