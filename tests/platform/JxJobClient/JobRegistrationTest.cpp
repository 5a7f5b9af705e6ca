// Registering jobs with the job-manager stand-in, and how it fails.
#include <gtest/gtest.h>

#include "JobResults/StoreResults.h"
#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxCommandLineParser/RestoreOptionsParser.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JXRstJobClient.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxJobClient/JobRegistration.h"
#include "tests/support/TestRoot.h"

namespace {

using jobmanager::JobJournalReader;

class Registration : public jxtest::RootedTest {
protected:
    void SetUp() override {
        const char* args[] = {"prog", "-j", "42", "-token", "42:1:1", "-cell", "2", "-a", "1234"};
        ASSERT_TRUE(backup.parse(9, args).IsSuccess());
        const char* rargs[] = {"prog", "-j", "43", "-rt", "77"};
        ASSERT_TRUE(restore.parse(5, rargs).IsSuccess());
    }
    jobmanager::JournalEntry Registered(uint64_t job) {
        auto entries = JobJournalReader::Read(job);
        EXPECT_TRUE(entries && !entries->empty());
        return entries && !entries->empty() ? entries->front() : jobmanager::JournalEntry{};
    }
    BackupOptionsParser backup;
    RestoreOptionsParser restore;
};

TEST_F(Registration, BackupJobGetsItsClientsAndResultsDirectory) {
    JobRegistration reg(backup);
    ASSERT_TRUE(reg.registerJob());
    EXPECT_EQ(reg.getLastError(), 0);
    ASSERT_NE(reg.getBkpJobControllObject(), nullptr);
    EXPECT_EQ(reg.getJobClientObject(), reg.getBkpJobControllObject());
    EXPECT_EQ(reg.getRstJobControllObject(), nullptr);
    ASSERT_NE(reg.getJobControllObject(), nullptr);
    EXPECT_EQ(reg.getJobControllObject()->jobId(), 42u);
    ASSERT_NE(reg.getJobResultsObject(), nullptr);
    EXPECT_EQ(reg.getJobResultsObject()->getDirectory(), root.path() + "/jobresults/42");
    auto line = Registered(42);
    EXPECT_EQ(line.op, "registerJob");
    EXPECT_EQ(line.Get("kind"), "backup");
    EXPECT_EQ(line.Get("ok"), "true");
    EXPECT_EQ(line.Get("token"), "42:1:1");
    EXPECT_EQ(line.Get("appNumber"), "1234");
    // A second call answers as the first and registers nothing more.
    EXPECT_TRUE(reg.registerJob());
    EXPECT_EQ(JobJournalReader::Read(42)->size(), 1u);
}

TEST_F(Registration, RestoreJobGetsARestoreClient) {
    JobRegistration reg(restore);
    ASSERT_TRUE(reg.registerJob());
    EXPECT_EQ(reg.getBkpJobControllObject(), nullptr);
    ASSERT_NE(reg.getRstJobControllObject(), nullptr);
    EXPECT_EQ(reg.getRstJobControllObject()->jobId(), 43u);
    EXPECT_EQ(Registered(43).Get("restoreTaskId"), "77");
}

TEST_F(Registration, InaccessibleResultsDirectoryIsLastErrorFiveWithABackupClient) {
    root.WriteFile("jobresults", "a file where the directory should be");
    JobRegistration reg(backup);
    EXPECT_FALSE(reg.registerJob());
    EXPECT_EQ(reg.getLastError(), JobRegistration::kResultsDirectoryInaccessible);
    EXPECT_NE(reg.getBkpJobControllObject(), nullptr);
    EXPECT_EQ(reg.getJobControllObject(), nullptr);
    EXPECT_EQ(reg.getJobResultsObject(), nullptr);
    auto line = Registered(42);
    EXPECT_EQ(line.Get("ok"), "false");
    EXPECT_EQ(line.Get("lastError"), "5");
}

TEST_F(Registration, TestSwitchFailsRegistrationsWithItsError) {
    ASSERT_TRUE(JobRegistration::SetRegistrationFailure(8));
    JobRegistration failed(backup);
    EXPECT_FALSE(failed.registerJob());
    EXPECT_EQ(failed.getLastError(), 8);
    EXPECT_EQ(failed.getBkpJobControllObject(), nullptr);
    EXPECT_EQ(Registered(42).Get("lastError"), "8");

    root.WriteFile("jobmanager/registration.fail", "not a number\n");
    JobRegistration garbled(restore);
    EXPECT_FALSE(garbled.registerJob());
    EXPECT_EQ(garbled.getLastError(), 1);

    ASSERT_TRUE(JobRegistration::ClearRegistrationFailure());
    JobRegistration again(restore);
    EXPECT_TRUE(again.registerJob());
}

}  // namespace
