// Restore job initialisation: registration, the restore link bound to the
// job manager's restore client, and the retry limit.
#include <gtest/gtest.h>

#include "JxCommandLineParser/RestoreOptionsParser.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxJobClient/JobRegistration.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "WzUtils/FXErrorUtil.h"
#include "tests/JxSQLCommon/jobbase/TestJob.h"
#include "tests/support/TestRoot.h"

namespace {

using jobmanager::JobJournalReader;

class RestoreInit : public jxtest::RootedTest {
protected:
    bool Initialize(std::vector<const char*> args) {
        args.insert(args.begin(), "jxsqlrestore");
        EXPECT_TRUE(parser.parse(static_cast<int>(args.size()), args.data()).IsSuccess());
        return job.initializeRestore(parser);
    }
    RestoreOptionsParser parser;
    TestJob job;
};

TEST_F(RestoreInit, BindsTheRestoreLinkAndCompletionReachesTheJournal) {
    JXPlatformInfo().setNumber("MSSQLAgent", "dwJXMSSQL_VDI_TIMEOUT_RETRY_COUNT", 1);
    ASSERT_TRUE(Initialize({"-j", "43", "-token", "43:1:1", "-rt", "77"}));
    EXPECT_EQ(job.m_restoreTaskId, 77u);
    EXPECT_EQ(job.m_jobResultsDirectory, root.path() + "/jobresults/43");
    EXPECT_EQ(job.m_vdiTimeoutRetryLimit, 3u);
    EXPECT_NE(job.m_pJobCtrlClnt, nullptr);
    EXPECT_EQ(job.m_pBkpJobClnt, nullptr);
    EXPECT_EQ(job.m_pJobClnt, nullptr);
    ASSERT_TRUE(job.m_pRstJobClnt);
    ASSERT_NE(job.m_pRstJobClnt->Get(), nullptr);
    EXPECT_EQ(job.m_pRstJobClnt->Get()->jobId(), 43u);

    EXPECT_TRUE(job.m_pRstJobClnt->setNoDBsToRestore(2));
    EXPECT_TRUE(job.m_pRstJobClnt->complete(3, 1, 0));
    auto entries = JobJournalReader::Read(43).value();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].op, "registerJob");
    EXPECT_EQ(entries[0].Get("kind"), "restore");
    EXPECT_EQ(entries[2].op, "complete");
    EXPECT_EQ(entries[2].Get("status"), "3");
}

TEST_F(RestoreInit, JobWithoutIdStillRegisters) {
    ASSERT_TRUE(Initialize({"-rt", "5"}));
    EXPECT_EQ(job.m_jobId, 0u);
    EXPECT_EQ(JobJournalReader::Read(0)->at(0).Get("ok"), "true");
}

TEST_F(RestoreInit, FailedRegistrationLeavesNoJobManagerClients) {
    ASSERT_TRUE(JobRegistration::SetRegistrationFailure(5));
    EXPECT_FALSE(Initialize({"-j", "44", "-rt", "5"}));
    EXPECT_EQ(job.m_pJobCtrlClnt, nullptr);
    EXPECT_EQ(job.m_pJobResults, nullptr);
    EXPECT_FALSE(job.m_pRstJobClnt && job.m_pRstJobClnt->Get() != nullptr);
    EXPECT_TRUE(JobJournalReader::WithOp(JobJournalReader::Read(44).value(), "setPendingCause").empty());
}

// A job whose restore link cannot be made.
struct NoLinkJob : TestJob {
    CWzError CreateRestoreObject(SQL_RST_JOB_CLIENT_TYPE) override {
        return FXErrorUtil::ErrorWin32(FXCODELOC, 14, "Out of memory");
    }
};

TEST_F(RestoreInit, MissingRestoreLinkFailsWithACause) {
    NoLinkJob noLink;
    const char* args[] = {"jxsqlrestore", "-j", "45", "-rt", "5"};
    ASSERT_TRUE(parser.parse(5, args).IsSuccess());
    EXPECT_FALSE(noLink.initializeRestore(parser));
    auto causes = JobJournalReader::WithOp(JobJournalReader::Read(45).value(), "setPendingCause");
    EXPECT_EQ(causes.size(), 1u);
}

}  // namespace
