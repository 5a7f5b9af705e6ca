// Converted lists hold whole lines only: what an append a full disk cut
// short left of its line never joins the next name, and every database
// reported converted is in its list whole, for the next phase to back up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/StatusTabStore.h"
#include "JxLib/EvDebug.h"
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

// A restarted process whose list holds a cut line it can never cut: the
// end of the phase still leaves the next phase the whole lines only.
TEST_F(ConvertedListLinesTest, AListThatCouldNotBeOpenedForItsCutIsWrittenWholeAtTheEndOfThePhase) {
    root.WriteFile("results/FullDBList.jxf", "Alpha\nFre");
    FaultyFileSystem disk;
    wz::ScopedFileSystem use(disk);
    disk.FailCallOn("FullDBList.jxf", FsCall::kFtruncate, 1, EIO, /*sticky=*/true);
    EXPECT_FALSE(job.AddConvertedDBToCollectFile("Other", JXSQL_BACKUP_FULL));
    EXPECT_GT(disk.Fired(FsCall::kFtruncate), 0);

    job.HandleConversion();
    EXPECT_EQ(List(), "Alpha\n");
    EXPECT_EQ(job.Journal("convertToFull").size(), 1u);
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

// A log job whose list can no longer be cut from its last conversion on:
// the disk is full for a moment while "Fresh" is appended, then writing
// works again but every cut of the list fails. With `failRewrite` the list
// cannot be replaced either.
struct CutFailsFromFresh : CSQLBackup {
    explicit CutFailsFromFresh(bool failRewrite) : failRewrite(failRewrite) {}
    bool AddConvertedDBToCollectFile(std::string name, JXSQLExeBackupType level) override {
        if (name != "Fresh") return CSQLBackup::AddConvertedDBToCollectFile(name, level);
        disk.FailWritesAfter(3, ENOSPC);
        disk.FailCallOn("FullDBList.jxf", FsCall::kFtruncate, 1, EIO, /*sticky=*/true);
        const bool added = CSQLBackup::AddConvertedDBToCollectFile(name, level);
        disk.Heal();
        disk.FailCallOn("FullDBList.jxf", FsCall::kFtruncate, 1, EIO, /*sticky=*/true);
        if (failRewrite) disk.FailCallOn("FullDBList.jxf.tmp.*", FsCall::kOpen, 1, EACCES, /*sticky=*/true);
        return added;
    }
    bool failRewrite;
    FaultyFileSystem disk;
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
    std::vector<std::string> StatusRowsOf(uint64_t jobId) {
        std::vector<std::string> names;
        for (const std::string& xml : statustab::Records(jobId, 2)) {
            JobManager::SQLStatusTab tab;
            EXPECT_EQ(tab.unserialize(xml), kMsgOk);
            names.push_back(tab.getstring(JobManager::SQLStatusTab::kDatabaseName));
        }
        return names;
    }
    // Runs the log phase of job 94 over Alpha, Beta and Fresh with `job`.
    void RunLogPhase(CutFailsFromFresh& job) {
        MakeDatabases({"Alpha", "Beta", "Fresh"});
        AppModel::Set("subclient/1234", "dataBkpStreams", "1");
        {
            wz::ScopedFileSystem use(job.disk);
            ASSERT_TRUE(RunPhaseOf(job, 94, "-L", 1, {"-type", "2"}));
        }
        EXPECT_GT(job.disk.Fired(FsCall::kPWrite), 0);
        EXPECT_GT(job.disk.Fired(FsCall::kFtruncate), 0) << "the cut was never refused";
        ASSERT_EQ(Journal(94, "convertToFull").size(), 1u);
    }
};

// The cut line is gone before the full phase reads the list: the converted
// databases are backed up and the cut name is never taken for a database.
TEST_F(ConvertedListJobTest, AListWhoseCutKeptFailingIsWrittenWholeAtTheEndOfThePhase) {
    CutFailsFromFresh job(false);
    RunLogPhase(job);
    EXPECT_EQ(root.ReadFile("jobresults/94/FullDBList.jxf"), "Alpha\nBeta\n");

    ASSERT_TRUE(RunPhase(94, "-D", 1, {"-type", "2"}));
    EXPECT_EQ(SetsOf(94), (std::vector<std::string>{"Alpha", "Beta"}));
    const std::vector<std::string> rows = StatusRowsOf(94);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), "Fre"), 0) << "the cut name was walked as a database";
    EXPECT_EQ(std::count(rows.begin(), rows.end(), "Fresh"), 1);
}

// The list cannot be replaced either: that is logged with its path, and the
// converted databases still get their full phase.
TEST_F(ConvertedListJobTest, AListThatCannotBeWrittenWholeIsLoggedAndTheFullPhaseStillRuns) {
    CutFailsFromFresh job(true);
    RunLogPhase(job);
    EXPECT_GT(job.disk.Fired(FsCall::kOpen), 0);
    EXPECT_EQ(root.ReadFile("jobresults/94/FullDBList.jxf"), "Alpha\nBeta\nFre");
    EXPECT_NE(jxtest::ReadWholeFile(EvDebug::LogFilePath())
                  .find("Failed to write collect file [" + root.path() +
                        "/jobresults/94/FullDBList.jxf] without its cut last line"),
              std::string::npos);

    ASSERT_TRUE(RunPhase(94, "-D", 1, {"-type", "2"}));
    EXPECT_EQ(SetsOf(94), (std::vector<std::string>{"Alpha", "Beta"}));
}

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
