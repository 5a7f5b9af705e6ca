// The job programs as the job manager starts them: each run registers in the
// journal, and each failure ends the program with the job's pending cause.
#include <gtest/gtest.h>

#include <filesystem>

#include "JXAppMgr/AppModel.h"
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobRegistration.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "tests/JxSQLCommon/jobbase/BackupInitFixture.h"

namespace {

class JobPrograms : public BackupInit {
protected:
    int Run(const std::string& program, const std::string& args) {
        std::string output;
        std::string error;
        // Platform seconds, scaled down in tests: about half a minute of real time.
        int status = JxProcess::system(program + " " + args, output, error, 30000);
        lastError = error;
        return status;
    }
    int Backup(const std::string& extra = "") {
        return Run(JX_BACKUP_PROGRAM, "-j 42 -token 42:1:1 -cell 2 -a 1234 -cn node1 -D " + extra);
    }
    std::string RegisteredOk() {
        auto entries = Journal();
        return entries.empty() ? "" : entries[0].Get("ok");
    }
    // The last line the program wrote on standard error.
    std::string LastErrorLine() const {
        std::string text = lastError;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text.substr(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
    }
    std::string lastError;
};

TEST_F(JobPrograms, BackupProgramRunsThePhaseToItsCompletion) {
    EXPECT_EQ(Backup(), 0) << lastError;
    EXPECT_EQ(RegisteredOk(), "true");
    const auto complete = jobmanager::JobJournalReader::WithOp(Journal(), "complete");
    ASSERT_EQ(complete.size(), 1u);
    EXPECT_EQ(complete[0].Get("status"), "2") << "the instance holds no databases to back up";
}

TEST_F(JobPrograms, BackupProgramFailuresCarryTheirCause) {
    // A job that registered reports its failure with the job manager and
    // ends with 0; one that did not ends with 1.
    struct Case {
        const char* name;
        std::function<void()> breakIt;
        std::vector<std::string> causes;
        int exitStatus;
        std::string endLine;  // how the program's last line starts
    };
    const std::vector<Case> cases = {
        {"registration, last error 5",
         [] { JobRegistration::SetRegistrationFailure(5); },
         {jobmanager::JournalId(kCauseDirectoryNotAccessible)},
         1,
         "jxsqlbackup: job 42 could not start (see the job's log), cause " +
             jobmanager::JournalId(kCauseDirectoryNotAccessible)},
        {"registration, other error",
         [] { JobRegistration::SetRegistrationFailure(2); },
         {},
         1,
         "jxsqlbackup: job 42 could not start (see the job's log)"},
        {"no instance",
         [] { AppModel::Set("subclient/1234", "instanceId", "8"); },
         {jobmanager::JournalId(kCauseNoInstance)},
         0,
         "jxsqlbackup: job 42 failed (status 2), cause " + jobmanager::JournalId(kCauseNoInstance)},
        {"SQL Server not running",
         [this] { FakeSystemctl("inactive", 3); },
         {jobmanager::JournalId(kCauseSqlServerNotRunning)},
         0,
         "jxsqlbackup: job 42 failed (status 2), cause " + jobmanager::JournalId(kCauseSqlServerNotRunning)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        c.breakIt();
        EXPECT_EQ(Backup(), c.exitStatus);
        EXPECT_EQ(Causes(), c.causes);
        EXPECT_EQ(LastErrorLine().rfind(c.endLine, 0), 0u) << LastErrorLine();
        const auto complete = jobmanager::JobJournalReader::WithOp(Journal(), "complete");
        EXPECT_EQ(complete.size(), c.exitStatus == 0 ? 1u : 0u);
        if (!complete.empty()) {
            EXPECT_EQ(complete[0].Get("status"), "2");
        }
    }
    Reset();  // no subclient 99
    EXPECT_EQ(Backup("-a 99"), 0);
    EXPECT_EQ(Causes(), (std::vector<std::string>{jobmanager::JournalId(kCauseSubclientProperties)}));
}

TEST_F(JobPrograms, BackupProgramNeedsAPhaseAndAnswersHelp) {
    EXPECT_EQ(Run(JX_BACKUP_PROGRAM, "-j 42 -token 42:1:1 -cell 2 -a 1234"), 2);
    EXPECT_NE(lastError.find("-D"), std::string::npos);
    EXPECT_TRUE(Journal().empty());
    EXPECT_EQ(Run(JX_BACKUP_PROGRAM, "--help"), 0);
}

TEST_F(JobPrograms, BadCommandLineStartsNoJob) {
    EXPECT_EQ(Backup("-bogus"), 2);
    EXPECT_NE(lastError.find("-bogus"), std::string::npos);
    EXPECT_TRUE(Journal().empty());
}

TEST_F(JobPrograms, CommandLinesThatNameNoSingleJobAreRefusedBeforeAnythingIsWritten) {
    struct Case {
        const char* program;
        const char* args;
        const char* named;  // what the message names
    };
    const std::vector<Case> cases = {
        {JX_RESTORE_PROGRAM, "", "-j"},
        {JX_RESTORE_PROGRAM, "-cn node1 -dump", "-j"},
        {JX_RESTORE_PROGRAM, "-j 0 -rt 77", "-j"},
        {JX_RESTORE_PROGRAM, "-j 45 -token 45:1:1", "-rt"},
        {JX_BACKUP_PROGRAM, "-j 42 -token 42:1:1 -cell 2 -a 1234 -D -L -type 1", "-D, -I and -L"},
        {JX_BACKUP_PROGRAM, "-j 42 -token 42:1:1 -cell 2 -a 1234 -I -D", "-D, -I and -L"},
        {JX_BACKUP_PROGRAM, "-j 42 -token 42:1:1 -cell 2 -a 1234 -L -I", "-D, -I and -L"},
        {JX_BACKUP_PROGRAM, "-mt -j 42 -token 42:1:1 -cell 2 -a 1234 -D -I", "-D, -I and -L"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.args);
        EXPECT_EQ(Run(c.program, c.args), 2);
        EXPECT_NE(lastError.find(c.named), std::string::npos) << lastError;
        EXPECT_NE(lastError.find("usage:"), std::string::npos) << lastError;
        for (const char* dir : {"jobmanager", "jobresults", "media"}) {
            std::error_code ec;
            EXPECT_TRUE(std::filesystem::is_empty(Root().File(dir), ec) || ec) << dir << " was written";
        }
    }
}

TEST_F(JobPrograms, RestoreProgramRunsTheJobAndExitsWithItsStatus) {
    // No restore options for this task: the job runs, fails and says so.
    EXPECT_EQ(Run(JX_RESTORE_PROGRAM, "-j 42 -token 42:1:1 -rt 77"), 4) << lastError;
    EXPECT_EQ(RegisteredOk(), "true");
    EXPECT_EQ(Journal().at(0).Get("restoreTaskId"), "77");
    auto completes = jobmanager::JobJournalReader::WithOp(Journal(), "complete");
    ASSERT_EQ(completes.size(), 1u);
    EXPECT_EQ(completes[0].Get("status"), "2");

    JobRegistration::SetRegistrationFailure(5);
    EXPECT_EQ(Run(JX_RESTORE_PROGRAM, "-j 43 -rt 77"), 1);
    EXPECT_EQ(Run(JX_RESTORE_PROGRAM, "-j 43 -bogus"), 2);
    EXPECT_EQ(Run(JX_RESTORE_PROGRAM, "--help"), 0);
}

}  // namespace

namespace {

TEST_F(JobPrograms, LiveSyncOptionRunsTheLiveSyncJob) {
    // No restore options for this task: the first run fails, and the live-sync
    // job says so with its own event.
    EXPECT_EQ(Run(JX_RESTORE_PROGRAM, "-j 42 -token 42:1:1 -rt 77 -livesync"), 4) << lastError;
    auto causes = jobmanager::JobJournalReader::WithOp(Journal(), "setPendingCause");
    ASSERT_FALSE(causes.empty());
    EXPECT_EQ(causes.back().Get("cause"), jobmanager::JournalId(kCauseLiveSyncDatabase));
    EXPECT_EQ(causes.back().List("args"), std::vector<std::string>{"Live Sync DB error"});
    // The terminal hears it too, as the journal has it.
    EXPECT_EQ(LastErrorLine(), "jxsqlrestore: job 42 failed (status 2), cause " +
                                   jobmanager::JournalId(kCauseLiveSyncDatabase) + ": Live Sync DB error");

    EXPECT_EQ(Run(JX_RESTORE_PROGRAM, "-j 43 -token 43:1:1 -rt 77 -dump -livesync"), 2);
    EXPECT_NE(lastError.find("-livesync"), std::string::npos);
}

}  // namespace

// Live sync from loginfo.db.
namespace {

TEST_F(JobPrograms, HighAvailLiveSyncOptionRunsTheLiveSyncJobThatReadsLogInfo) {
    EXPECT_EQ(Run(JX_RESTORE_PROGRAM, "-j 42 -token 42:1:1 -rt 77 -halivesync"), 4) << lastError;
    auto causes = jobmanager::JobJournalReader::WithOp(Journal(), "setPendingCause");
    ASSERT_FALSE(causes.empty());
    EXPECT_EQ(causes.back().Get("cause"), jobmanager::JournalId(kCauseLiveSyncDatabase));
    EXPECT_NE(jxtest::ReadWholeFile(Root().File("logs/jxsqlrestore.log")).find("Started High availability Live Sync"),
              std::string::npos);

    EXPECT_EQ(Run(JX_RESTORE_PROGRAM, "-j 43 -token 43:1:1 -rt 77 -livesync -halivesync"), 2);
    EXPECT_NE(lastError.find("-halivesync"), std::string::npos);
}

}  // namespace
