// Converted lists hold whole lines only: what an append a full disk cut
// short left of its line never joins the next name, and every database
// reported converted is in its list whole, for the next phase to back up.
#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/StatusTabStore.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/support/FaultyFileSystem.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

using jxtest::FaultyFileSystem;
using jxtest::FsCall;

class ConvertedListLinesTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
        job.m_bkpPhase = JXSQL_BACKUP_LOG;
    }
    std::string List() { return root.ReadFile("results/FullDBList.jxf"); }
    // What a new process of the job finds in the list.
    std::vector<std::string> Listed() {
        std::vector<std::string> names;
        EXPECT_TRUE(job.ReadFromCollectFile(job.m_jobResultsDirectory + "/FullDBList.jxf", names));
        return names;
    }

    jxtest::BackupJobUnderTest job{92};
};

TEST_F(ConvertedListLinesTest, ANameAfterAnAppendTheFullDiskCutShortIsListedWhole) {
    FaultyFileSystem disk;
    wz::ScopedFileSystem use(disk);
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Alpha", JXSQL_BACKUP_FULL));
    disk.FailWritesAfter(3, ENOSPC);
    EXPECT_FALSE(job.AddConvertedDBToCollectFile("Fresh", JXSQL_BACKUP_FULL));
    EXPECT_GT(disk.Fired(FsCall::kPWrite), 0);
    EXPECT_EQ(List(), "Alpha\n") << "the cut line is gone at once";

    disk.Heal();
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Other", JXSQL_BACKUP_FULL));
    EXPECT_EQ(Listed(), (std::vector<std::string>{"Alpha", "Other"}));
    EXPECT_EQ(job.GetConvertedDBCount(JXSQL_BACKUP_FULL), 2u);
}

// The cut itself fails: the next append is refused rather than joined to
// what is left, and goes in whole once the cut can be made.
TEST_F(ConvertedListLinesTest, AnAppendAfterACutThatFailsIsRefusedUntilTheCutIsMade) {
    FaultyFileSystem disk;
    wz::ScopedFileSystem use(disk);
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Alpha", JXSQL_BACKUP_FULL));
    disk.FailWritesAfter(3, ENOSPC);
    disk.FailCallOn("FullDBList.jxf", FsCall::kFtruncate, 1, EIO, /*sticky=*/true);
    EXPECT_FALSE(job.AddConvertedDBToCollectFile("Fresh", JXSQL_BACKUP_FULL));
    EXPECT_EQ(List(), "Alpha\nFre");

    disk.Heal();  // space is back, the cut still fails
    disk.FailCallOn("FullDBList.jxf", FsCall::kFtruncate, 1, EIO, /*sticky=*/true);
    EXPECT_FALSE(job.AddConvertedDBToCollectFile("Other", JXSQL_BACKUP_FULL));
    EXPECT_EQ(disk.Fired(FsCall::kFtruncate), 2);
    EXPECT_EQ(List(), "Alpha\nFre");

    disk.Heal();
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Other", JXSQL_BACKUP_FULL));
    EXPECT_EQ(List(), "Alpha\nOther\n");
}

// A cut line left by an earlier process (a crash, or a cut that never
// succeeded) is cut off when the list is opened for appending.
TEST_F(ConvertedListLinesTest, AListOpenedWithACutLastLineIsCutBackToItsWholeLines) {
    root.WriteFile("results/FullDBList.jxf", "Alpha\nFre");
    {
        FaultyFileSystem disk;
        wz::ScopedFileSystem use(disk);
        disk.FailCallOn("FullDBList.jxf", FsCall::kFtruncate, 1, EIO);
        EXPECT_FALSE(job.AddConvertedDBToCollectFile("Other", JXSQL_BACKUP_FULL));
        EXPECT_EQ(disk.Fired(FsCall::kFtruncate), 1);
        EXPECT_EQ(List(), "Alpha\nFre");
    }
    EXPECT_EQ(job.GetConvertedDBCount(JXSQL_BACKUP_FULL), 1u);
    EXPECT_EQ(List(), "Alpha\n");
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Other", JXSQL_BACKUP_FULL));
    EXPECT_EQ(List(), "Alpha\nOther\n");
}

// A log job whose disk is full for a moment while "Fresh" is converted.
struct FullDiskForFresh : CSQLBackup {
    bool AddConvertedDBToCollectFile(std::string name, JXSQLExeBackupType level) override {
        if (name != "Fresh") return CSQLBackup::AddConvertedDBToCollectFile(name, level);
        FaultyFileSystem disk;
        wz::ScopedFileSystem use(disk);
        disk.FailWritesAfter(3, ENOSPC);
        const bool added = CSQLBackup::AddConvertedDBToCollectFile(name, level);
        fired += disk.Fired(FsCall::kPWrite);
        return added;
    }
    int fired = 0;
};

class ConvertedListJobTest : public jxtest::BackupJobRun {
protected:
    std::vector<std::string> SetsOf(uint64_t jobId) {
        std::vector<std::string> names;
        for (const JxServeBackupSet& set : JxServeStoredBackupSets()) {
            if (set.jobId == jobId) names.push_back(set.databaseName);
        }
        return names;
    }
};

TEST_F(ConvertedListJobTest, EveryDatabaseReportedConvertedIsBackedUpByTheFullPhase) {
    MakeDatabases({"Alpha", "Fresh", "Other"});
    AppModel::Set("subclient/1234", "dataBkpStreams", "1");
    FullDiskForFresh job;
    ASSERT_TRUE(RunPhaseOf(job, 93, "-L", 1, {"-type", "2"}));
    EXPECT_GT(job.fired, 0);
    EXPECT_EQ(root.ReadFile("jobresults/93/FullDBList.jxf"), "Alpha\nOther\n");
    std::map<std::string, int64_t> status;
    for (const std::string& xml : statustab::Records(93, 2)) {
        JobManager::SQLStatusTab tab;
        ASSERT_EQ(tab.unserialize(xml), kMsgOk);
        status[tab.getstring(JobManager::SQLStatusTab::kDatabaseName)] =
            tab.getint64(JobManager::SQLStatusTab::kStatus);
    }
    EXPECT_EQ(status["Alpha"], JobManager::kDBStatusConverted);
    EXPECT_EQ(status["Fresh"], JobManager::kDBStatusFailed);
    EXPECT_EQ(status["Other"], JobManager::kDBStatusConverted);
    ASSERT_EQ(Journal(93, "convertToFull").size(), 1u);

    ASSERT_TRUE(RunPhase(93, "-D", 1, {"-type", "2"}));
    EXPECT_EQ(SetsOf(93), (std::vector<std::string>{"Alpha", "Other"}));
}

}  // namespace
