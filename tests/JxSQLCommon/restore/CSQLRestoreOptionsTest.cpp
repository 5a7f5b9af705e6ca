// The restore options of a job: the kind of destination, the instance and
// its reachability, and the databases to restore.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "EvTaskApiNet/EvTask.h"
#include "JXAppMgr/AppModel.h"
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobJournalEventSink.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxLib/JxProcess.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "tests/JxSQLCommon/restore/RecordingRstJobClient.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

constexpr uint64_t kJob = 61;
constexpr uint64_t kTask = 5;
constexpr uint64_t kInstance = 8;

struct OptionsJob : TestRestoreJob {
    using CSQLRestoreBase::m_destinationAws;
    using CSQLRestoreBase::m_impersonated;
    using CSQLRestoreBase::m_revertRestore;
};

class CSQLRestoreOptionsTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        task.sourceInstanceId = 7;
        task.databases = {"sales", "hr"};
        job.m_jobId = kJob;
        job.m_restoreTaskId = kTask;
        job.m_pRstJobClnt = client;
    }
    void DestinationInstance(const std::string& serverType) {
        task.destinationInstanceId = kInstance;
        const std::string object = AppModel::ObjectName("instance", kInstance);
        ASSERT_TRUE(AppModel::Set(object, "name", "host1/INST1"));
        ASSERT_TRUE(AppModel::Set(object, "serverType", serverType));
    }
    // systemctl answers through a script of the test's root.
    void ServiceAnswers(const std::string& text, int exitCode) {
        root.WriteFile("systemctl.sh", "#!/bin/sh\necho '" + text + "'\nexit " + std::to_string(exitCode) + "\n");
        ASSERT_EQ(::chmod(root.File("systemctl.sh").c_str(), 0755), 0);
        ASSERT_TRUE(JxProcess::SetProgramPath("systemctl", root.File("systemctl.sh")));
    }

    JxServeRestoreTask task;
    OptionsJob job;
    std::shared_ptr<RecordingRstJobClient> client = std::make_shared<RecordingRstJobClient>();
};

TEST_F(CSQLRestoreOptionsTest, RestoreToDiskWithoutInstanceIsApplessAndStillListsTheDatabases) {
    JxServePutRestoreTask(kTask, task);
    job.m_restoreToDisk = true;
    ASSERT_TRUE(job.getRestoreOptions());
    EXPECT_TRUE(job.m_applessRestore);
    EXPECT_TRUE(job.m_sServername.empty());
    EXPECT_EQ(job.m_restoreDbList.size(), 2u);
    EXPECT_TRUE(client->causes.empty());
}

TEST_F(CSQLRestoreOptionsTest, AttachAfterRestoreToDiskIsNotAppless) {
    JxServePutRestoreTask(kTask, task);
    job.m_restoreToDisk = true;
    job.m_restoreToDiskAttach = true;
    ServiceAnswers("Active: inactive (dead)", 3);
    EXPECT_FALSE(job.getRestoreOptions());  // an instance must be reachable then
    EXPECT_FALSE(job.m_applessRestore);
}

TEST_F(CSQLRestoreOptionsTest, AwsDestinationStopsRightAfterTheInstanceName) {
    DestinationInstance("Aws DataBase Engine");
    JxServePutRestoreTask(kTask, task);
    ASSERT_TRUE(job.getRestoreOptions());
    EXPECT_TRUE(job.m_destinationAws);
    EXPECT_EQ(job.m_sServername, "host1/INST1");
    EXPECT_TRUE(job.m_restoreDbList.empty());
}

TEST_F(CSQLRestoreOptionsTest, StoppedServiceIsReportedWithTheInstanceName) {
    DestinationInstance("DataBase Engine");
    JxServePutRestoreTask(kTask, task);
    ServiceAnswers("Active: inactive (dead)", 3);
    EXPECT_FALSE(job.getRestoreOptions());
    EXPECT_EQ(client->causes, (std::vector<int>{kCauseSqlServerNotRunning}));
    EXPECT_EQ(client->arguments, (std::vector<std::string>{"host1/INST1"}));
    EXPECT_TRUE(job.m_restoreDbList.empty());
}

TEST_F(CSQLRestoreOptionsTest, AnUnknownTaskFailsWithItsReasonInTheJournal) {
    JobJournalEventSink::InstallForProcess();
    JXRstJobClient jobManager(kJob);
    auto link = std::make_shared<SqlRstJobClient>();
    ASSERT_TRUE(link->Set(&jobManager).IsSuccess());
    job.m_pRstJobClnt = link;
    EXPECT_FALSE(job.getRestoreOptions());
    const auto causes = jobmanager::JobJournalReader::WithOp(jobmanager::JobJournalReader::Read(kJob).value(), "setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseRestoreOptionsUnavailable));
    ASSERT_EQ(causes[0].List("args").size(), 1u);
    const std::string text = causes[0].List("args")[0];
    EXPECT_EQ(text.rfind("Failed to get restore options with error [", 0), 0u) << text;
    EXPECT_NE(text.find(std::to_string(kTask)), std::string::npos) << text;
    job.m_pRstJobClnt.reset();
}

TEST_F(CSQLRestoreOptionsTest, RevertFlagComesFromTheSchedulerOption) {
    JxServePutRestoreTask(kTask, task);
    job.m_restoreToDisk = true;
    ASSERT_TRUE(EvTask::setProperty(kJob, "schedulerOption7", "1"));
    ASSERT_TRUE(job.getRestoreOptions());
    EXPECT_TRUE(job.m_revertRestore);
    ASSERT_TRUE(EvTask::setProperty(kJob, "schedulerOption7", "maybe"));
    ASSERT_TRUE(job.getRestoreOptions());
    EXPECT_FALSE(job.m_revertRestore);
}

}  // namespace
