// The walk over a phase's collect file: where it starts, which databases it
// hands on, how it counts them and what ends it. The per-database backup is
// scripted here; the walk is what is tested.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "JXAppMgr/StatusTabStore.h"
#include "JxJobClient/JXJobClient.h"
#include "JxJobClient/JobJournal.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/FXString.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"

namespace {

using Outcome = std::function<bool(bool& connectionValid, bool& converted)>;

struct WalkingJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBackup::m_bPromoteToFull;
    using CSQLBackup::m_successCount;
    using CSQLCommon::m_fullRestartString;

    bool doDbBackup(CsqlDMO&, const wchar_t* name, unsigned long offset, bool& connectionValid, bool& converted,
                    JobManager::SQLStatusTab* record) override {
        const std::string narrow = FXString::ToString(std::wstring(name));
        handed.push_back(narrow);
        offsets.push_back(offset);
        const auto it = outcomes.find(narrow);
        const bool ok = it == outcomes.end() ? true : it->second(connectionValid, converted);
        record->setint64(JobManager::SQLStatusTab::kStatus,
                         ok ? JobManager::kDBStatusBackedUp : JobManager::kDBStatusFailed);
        return ok;
    }
    bool checkForUncommittedDbs() override {
        ++uncommittedChecks;
        return true;
    }

    std::map<std::string, Outcome> outcomes;
    std::vector<std::string> handed;
    std::vector<unsigned long> offsets;
    int uncommittedChecks = 0;
};

class BackupLoopTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        jxtest::MakeInstance(instance, {"db1", "db2", "db3", "db4"});
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
        CSQLCommon::COLLECTFILENAME = CSQLCommon::FULLCOLLECTFILENAME;
    }
    void CollectFile(const std::string& content) { root.WriteFile("results/FullDBList.jxf", content); }

    SqlSimInstance instance;
    WalkingJob job{81};
};

TEST_F(BackupLoopTest, EachListedDatabaseIsHandedOnWithItsLineOffset) {
    CollectFile("db1\n\ndb2\ngone\ndb3\n");
    job.outcomes["db2"] = [](bool&, bool&) { return false; };
    ASSERT_TRUE(job.doDbSubclientBackup());
    EXPECT_EQ(job.handed, (std::vector<std::string>{"db1", "db2", "db3"}));
    EXPECT_EQ(job.offsets, (std::vector<unsigned long>{0, 5, 14}));
    EXPECT_EQ(job.m_successCount, 2u);
    EXPECT_EQ(job.m_loggedDbCount, 1u);
    EXPECT_EQ(job.Journal("addBackupFileFailures").size(), 1u);
    EXPECT_EQ(job.Journal("enableCommit").size(), 2u);
    EXPECT_EQ(job.uncommittedChecks, 1);
    bool skipped = false;
    for (const std::string& xml : statustab::Records(81, 2)) {
        JobManager::SQLStatusTab tab;
        ASSERT_EQ(tab.unserialize(xml), kMsgOk);
        if (tab.getstring(JobManager::SQLStatusTab::kDatabaseName) == "gone") {
            skipped = true;
            EXPECT_EQ(tab.getint64(JobManager::SQLStatusTab::kSkipReason), 6);
        }
    }
    EXPECT_TRUE(skipped);
}

TEST_F(BackupLoopTest, AnUnreadableLineFailsTheJobInsteadOfEndingTheWalkQuietly) {
    CollectFile("db1\n" + std::string(2000, 'x') + "\ndb2\n");
    ASSERT_TRUE(job.doDbSubclientBackup());
    EXPECT_EQ(job.handed, (std::vector<std::string>{"db1"}));
    EXPECT_TRUE(job.m_bJobFailed);
}

TEST_F(BackupLoopTest, AConvertedDatabaseIsNotCountedButMakesTheJobCommittable) {
    CollectFile("db1\n");
    job.outcomes["db1"] = [](bool&, bool& converted) {
        converted = true;
        return true;
    };
    ASSERT_TRUE(job.doDbSubclientBackup());
    EXPECT_EQ(job.m_successCount, 0u);
    EXPECT_EQ(job.Journal("enableCommit").size(), 1u);
}

TEST_F(BackupLoopTest, AFailureThatFailsTheJobEndsTheWalkAfterItsDatabase) {
    CollectFile("db1\ndb2\ndb3\n");
    job.outcomes["db2"] = [this](bool&, bool&) {
        job.m_bJobFailed = true;  // a refused backup-set record
        return false;
    };
    ASSERT_TRUE(job.doDbSubclientBackup());
    EXPECT_EQ(job.handed, (std::vector<std::string>{"db1", "db2"}));
    EXPECT_EQ(job.uncommittedChecks, 1) << "the end steps still run";
}

TEST_F(BackupLoopTest, PromoteToFullHandsNothingOnAndListsEveryDatabase) {
    CollectFile("db1\ndb2\n");
    job.m_bkpPhase = JXSQL_BACKUP_LOG;
    CSQLCommon::COLLECTFILENAME = "LogDBList.jxf";
    root.WriteFile("results/LogDBList.jxf", "db1\ndb2\n");
    job.m_bPromoteToFull = true;
    ASSERT_TRUE(job.doDbSubclientBackup());
    EXPECT_TRUE(job.handed.empty());
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "db1\ndb2\n");
    EXPECT_EQ(job.m_successCount, 0u);
}

TEST_F(BackupLoopTest, ALostConnectionEndsTheWalkWithItsEndStepsAndFails) {
    CollectFile("db1\ndb2\n");
    job.outcomes["db1"] = [this](bool& connectionValid, bool&) {
        connectionValid = false;  // the database was in single-user mode
        EXPECT_FALSE(instance.SetServiceRunning(false).IsError());
        return true;
    };
    EXPECT_FALSE(job.doDbSubclientBackup());
    EXPECT_EQ(job.handed, (std::vector<std::string>{"db1"}));
    EXPECT_EQ(job.uncommittedChecks, 1) << "pipeline closed and uncommitted databases checked";
    std::vector<std::string> causes;
    for (const auto& e : job.Journal("setPendingCause")) causes.push_back(e.Get("cause"));
    EXPECT_EQ(causes, (std::vector<std::string>{jobmanager::JournalId(kCauseSqlConnect)}));
}

// Lines of 4 bytes each. The earlier attempt backed up db1, failed db2 and
// db3 and stopped in db4 (the restart offset is db4's line).
TEST_F(BackupLoopTest, ARestartRetriesTheLastFailuresFromTheirLineAndCountsThemOnce) {
    CollectFile("db1\ndb2\ndb3\ndb4\n");
    job.m_attempt = 2;
    job.m_fullRestartString = "12";
    SQLDatabaseStatusMap map;
    map["db1"].status = JobManager::kDBStatusBackedUp;
    map["db2"].status = JobManager::kDBStatusFailed;
    map["db3"].status = JobManager::kDBStatusFailed;
    JXFile file;
    ASSERT_EQ(file.open(root.File("results/FullDBList.jxf").c_str(), JXFile::kRead), 0);
    ASSERT_TRUE(job.updateSuccessCount(&file, map, 12));
    ASSERT_EQ(job.m_loggedDbCount, 2u);

    job.outcomes["db3"] = [](bool&, bool&) { return false; };
    ASSERT_TRUE(job.doDbSubclientBackup());
    EXPECT_EQ(job.handed, (std::vector<std::string>{"db2", "db3", "db4"}));
    EXPECT_EQ(job.m_loggedDbCount, 1u) << "db3 failed again, once";
    EXPECT_EQ(job.m_successCount, 3u) << "db1 from before, db2 and db4 now";
}

}  // namespace
