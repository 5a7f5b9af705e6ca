// Job state of the job context: restart offsets, quit polling, the restore
// link and the job-results file.
#include <gtest/gtest.h>

#include <cerrno>

#include "JobResults/StoreResults.h"
#include "JxJobClient/JXJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxJobClient/JobRegistration.h"
#include "JxSession/CJxNetwork.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "tests/JxSQLCommon/jobbase/TestJob.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr uint64_t kJob = 9001;

class JobContext : public jxtest::RootedTest {};

TEST_F(JobContext, CollectFileOffsetFromCommandLineRestartString) {
    TestJob job;
    EXPECT_EQ(job.getCollectFileOffset(), 0u);
    job.m_fullRestartString = "123abc";
    EXPECT_EQ(job.getCollectFileOffset(), 123u);
    job.m_fullRestartString = "18446744073709551615";
    EXPECT_EQ(job.getCollectFileOffset(), UINT64_MAX);
    job.m_fullRestartString = "18446744073709551616";
    EXPECT_EQ(job.getCollectFileOffset(), 0u) << "an offset beyond 64 bits restarts from the beginning";
    job.m_fullRestartString = "-5";
    EXPECT_EQ(job.getCollectFileOffset(), 0u);
}

TEST_F(JobContext, CurrentCollectOffsetIsLargestNumberOfJobManagersRestartString) {
    TestJob job;
    EXPECT_EQ(job.getCurrentCollectOffset(), 0u) << "no job client before registration";
    JXJobClient client(kJob);
    job.m_pJobClnt = &client;
    EXPECT_EQ(job.getCurrentCollectOffset(), 0u) << "no restart string";
    struct Case {
        const char* text;
        uint64_t offset;
    } cases[] = {{"-o 4096 1024", 4096}, {"-O 5", 5}, {"   ", 0}, {"7  12", 12}, {"x 3", 3}};
    for (const auto& c : cases) {
        ASSERT_TRUE(JXJobClient::setRestartString(kJob, c.text));
        EXPECT_EQ(job.getCurrentCollectOffset(), c.offset) << c.text;
    }
    job.m_pJobClnt = nullptr;
}

TEST_F(JobContext, QuitSeesStopRequestOfJobManager) {
    TestJob job;
    EXPECT_FALSE(job.quit()) << "no control client before registration";
    JXJobCtrlClient control(kJob);
    job.m_pJobCtrlClnt = &control;
    EXPECT_FALSE(job.quit());
    ASSERT_TRUE(JXJobCtrlClient::requestStop(kJob));
    EXPECT_TRUE(job.quit());
    ASSERT_TRUE(JXJobCtrlClient::withdrawStop(kJob));
    EXPECT_FALSE(job.quit());
    job.m_pJobCtrlClnt = nullptr;
}

TEST_F(JobContext, RestoreLinkIsCreatedOnceAndBindsAClientOnlyWhenAsked) {
    TestJob linkOnly;
    ASSERT_FALSE(linkOnly.CreateRestoreObject(SQL_RST_JOB_CLIENT_LINK_ONLY).IsError());
    ASSERT_TRUE(linkOnly.m_pRstJobClnt);
    EXPECT_EQ(linkOnly.m_pRstJobClnt->Get(), nullptr);
    SqlRstJobClient* first = linkOnly.m_pRstJobClnt.get();
    ASSERT_FALSE(linkOnly.CreateRestoreObject(SQL_RST_JOB_CLIENT_CREATE).IsError());
    EXPECT_EQ(linkOnly.m_pRstJobClnt.get(), first) << "a second call keeps the first link";
    EXPECT_EQ(linkOnly.m_pRstJobClnt->Get(), nullptr);

    TestJob created;
    ASSERT_FALSE(created.CreateRestoreObject(SQL_RST_JOB_CLIENT_CREATE).IsError());
    EXPECT_NE(created.m_pRstJobClnt->Get(), nullptr);
}

TEST_F(JobContext, DatabasesAreLoggedToJobResultsFile) {
    TestJob job;
    job.logDatabaseBackupStatus("before", false, true);
    EXPECT_EQ(job.m_loggedDbCount, 1u) << "counted even without a job-results object";
    EXPECT_FALSE(job.closeJobResults());

    StoreResults results(root.path() + "/jr");
    job.m_pJobResults = &results;
    job.logDatabaseBackupStatus("db1", false, true);
    job.logDatabaseBackupStatus("db2", true, false);
    EXPECT_EQ(job.m_loggedDbCount, 2u);
    EXPECT_TRUE(job.closeJobResults());
    EXPECT_EQ(root.ReadFile("jr/backup.out"), "db1\ndb2\n");
    job.m_pJobResults = nullptr;
}

TEST_F(JobContext, OwnedRegistrationAndMasterSessionGoWithTheJob) {
    // The sanitizer build reports a leak if either is not freed.
    auto job = std::make_unique<TestJob>();
    BackupOptionsParser parser;
    job->m_pJobRegistration = new JobRegistration(parser);
    job->m_pMasterConnection = new CJxNetwork();
    CSQLCommon* base = job.release();
    delete base;
}

TEST_F(JobContext, SmallQueries) {
    TestJob job;
    EXPECT_EQ(job.getSqlBackupType(true), 'D');
    for (auto [phase, type] : {std::pair{0u, 1}, {1u, 1}, {2u, 2}, {3u, 4}, {7u, 1}}) {
        job.m_bkpPhase = phase;
        EXPECT_EQ(job.getBkpType(), type) << phase;
    }
    job.m_attempt = 1;
    EXPECT_FALSE(job.isRestartJob());
    job.m_attempt = 2;
    EXPECT_TRUE(job.isRestartJob());
    EXPECT_EQ(job.getBufferSize(), 64u);
    EXPECT_EQ(job.getVDIBlockSize(), 65536u);
    EXPECT_EQ(job.getVDIMaxTransferSize(), 65536u);
    EXPECT_EQ(job.GetVDITimeoutRetryCountLimit(), 3u) << "reachable on the job context itself";

    SQLPmn::AttachDBMsg attach;
    attach.setstring(SQLPmn::AttachDBMsg::kInstanceName, "HOST/INST");
    std::string before;
    ASSERT_EQ(attach.serialize(before), kMsgOk);
    // Metadata files that cannot be read fail the read and add nothing.
    EXPECT_FALSE(job.getAttachMsgFromMetadata("component.xml", "writer.xml", attach, "tag"));
    std::string after;
    ASSERT_EQ(attach.serialize(after), kMsgOk);
    EXPECT_EQ(after, before) << "no database is added";
}

TEST(JobContextText, IdsPrintWhole) {
    EXPECT_EQ(CSQLCommon::convertIDToString(uint64_t{18446744073709551615u}), "18446744073709551615");
    EXPECT_EQ(CSQLCommon::convertIDToString(uint64_t{4294967296u}), "4294967296");
    EXPECT_EQ(CSQLCommon::convertIDToString(-3), "-3");
    std::string text;
    CSQLCommon::getErrorDescription(ENOENT, text);
    EXPECT_EQ(text, "No such file or directory");
}

}  // namespace
