// How a phase gets its collect file: a new list by the kind of job, or a
// list rebuilt from the job's status tab for a restarted or promoted phase.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JxJobClient/JobJournal.h"
#include "JxSQLCommon/records/JobManagerMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tools/jxserve/JxServeJobBookkeeping.h"

namespace {

// Records which generator the phase chose.
struct DispatchingJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLCommon::m_isAGChild;
    using CSQLCommon::m_isRBSJob;
    bool GenerateStreamInfoFile(unsigned int, int) override {
        calls.push_back("streamInfo");
        return true;
    }
    bool generateSQLCollectFile() override { return Called("sql"); }
    bool generateRBSCollectFile() override { return Called("rbs"); }
    bool GenerateCollectFileForAlwaysON() override { return Called("alwaysOn"); }
    bool generateRBSAlwaysOnCollectFile() override { return Called("rbsAlwaysOn"); }
    bool GenerateSQLRestartOrPromotedFile(unsigned long& size, JobManager::SQLJobInfo&, bool promoted) override {
        calls.push_back(promoted ? "promoted" : "restart");
        size = rebuiltSize;
        return rebuilt;
    }
    bool initializeBackupRestartJob(SQLDatabaseStatusMap&) override { return Called("restartInit"); }
    bool Called(const char* what) {
        calls.push_back(what);
        return true;
    }
    std::vector<std::string> calls;
    bool rebuilt = true;
    unsigned long rebuiltSize = 10;
};

class GenerateCollectFileTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
        CSQLCommon::COLLECTFILENAME = "FullDBList.jxf";
    }
    using Calls = std::vector<std::string>;
    DispatchingJob job{91};
};

TEST_F(GenerateCollectFileTest, FirstAttemptMakesANewListByTheKindOfJob) {
    ASSERT_TRUE(job.generateCollectFile());
    EXPECT_EQ(job.calls, (Calls{"streamInfo", "sql"}));
    job.calls.clear();
    job.m_isRBSJob = true;
    ASSERT_TRUE(job.generateCollectFile());
    EXPECT_EQ(job.calls, (Calls{"streamInfo", "rbs"}));
    job.calls.clear();
    job.m_isAGChild = true;
    ASSERT_TRUE(job.generateCollectFile());
    EXPECT_EQ(job.calls, (Calls{"streamInfo", "rbsAlwaysOn"}));
}

TEST_F(GenerateCollectFileTest, PromotedPhaseRebuildsItsListFromTheStatusTab) {
    ASSERT_TRUE(job.UpdateStatusTabDBInfo("Sales", "", JobManager::kDBStatusConverted, 0, JobManager::kDBPhaseFull));
    job.m_bkyType = JXSQL_BACKUP_LOG;  // started as a log job, now in its full phase
    ASSERT_TRUE(job.generateCollectFile());
    EXPECT_EQ(job.calls, (Calls{"promoted"}));

    job.calls.clear();
    job.rebuilt = false;
    EXPECT_FALSE(job.generateCollectFile());
}

TEST_F(GenerateCollectFileTest, RbsSubclientIsPromotedOnlyInADifferentialJobsDifferentialPhase) {
    job.m_isRBSJob = true;
    job.m_bkyType = JXSQL_BACKUP_FULL;
    job.m_bkpPhase = JXSQL_BACKUP_DIFF;
    ASSERT_TRUE(job.generateCollectFile());
    EXPECT_EQ(job.calls, (Calls{"streamInfo", "rbs"}));  // no job information asked
}

TEST_F(GenerateCollectFileTest, RestartUsesTheRebuiltListOrStartsAfreshWhenThereIsNone) {
    job.m_attempt = 2;
    // The central server knows nothing of the job: a new list.
    ASSERT_TRUE(job.generateCollectFile());
    EXPECT_EQ(job.calls, (Calls{"streamInfo", "sql"}));

    job.calls.clear();
    ASSERT_TRUE(job.UpdateStatusTabDBInfo("Sales", "", JobManager::kDBStatusListed, 0, JobManager::kDBPhaseNone));
    ASSERT_TRUE(job.generateCollectFile());
    EXPECT_EQ(job.calls, (Calls{"restart", "restartInit"}));

    job.calls.clear();
    job.rebuiltSize = 0;  // rebuilt but empty: a new list
    ASSERT_TRUE(job.generateCollectFile());
    EXPECT_EQ(job.calls, (Calls{"restart", "streamInfo", "sql"}));
}

TEST_F(GenerateCollectFileTest, RestartWithoutAStatusListAndWithoutAnOldListFails) {
    JobManager::SQLJobInfo empty;
    empty.setint64(JobManager::SQLJobInfo::kJobId, 91);
    std::string xml;
    ASSERT_EQ(empty.serialize(xml), kMsgOk);
    JxServeSetJobInfo(91, 2, 0, xml);
    job.m_attempt = 2;
    EXPECT_FALSE(job.generateCollectFile());
    EXPECT_TRUE(job.calls.empty());
}

TEST_F(GenerateCollectFileTest, UnreadableOldCollectFileFailsWithItsCause) {
    ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory + "/FullDBList.jxf"), 0);
    EXPECT_FALSE(job.generateCollectFile());
    auto causes = job.Journal("setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseJobFileOpen));
}

}  // namespace
