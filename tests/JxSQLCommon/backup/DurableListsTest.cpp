// Job lists under crashes and failing disks: a crash at any step leaves no
// list or a whole one, and the restart on what is left lists every
// database; a list that cannot be put in place fails with its reason and
// enters none of its databases in the status tab.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "JXAppMgr/StatusTabStore.h"
#include "JxJobClient/JobJournal.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tests/support/FaultyFileSystem.h"

namespace {

using jxtest::FaultyFileSystem;
using jxtest::FsCall;

const std::vector<std::string> kDatabases{"Alpha", "beta", "Gamma", "delta", "Epsilon"};
const std::string kWholeList = "Alpha\nbeta\ndelta\nEpsilon\nGamma\n";

class DurableListsTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
        CSQLCommon::COLLECTFILENAME = "LogDBList.jxf";
        job.m_bkpPhase = JXSQL_BACKUP_LOG;
        job.m_bkyType = JXSQL_BACKUP_LOG;
    }
    std::string Results(const std::string& name) const { return job.m_jobResultsDirectory + "/" + name; }
    bool Exists(const std::string& name) const { return std::filesystem::exists(Results(name)); }
    size_t Listed() const { return statustab::Records(81, 2).size(); }

    jxtest::BackupJobUnderTest job{81};
};

TEST_F(DurableListsTest, ACrashWhileARestartRebuildsItsListLeavesNoListOrAWholeOne) {
    job.m_attempt = 2;
    for (const std::string& name : kDatabases) {
        ASSERT_TRUE(job.UpdateStatusTabDBInfo(name.c_str(), "", JobManager::kDBStatusListed, 0,
                                              JobManager::kDBPhaseNone));
    }
    JobManager::SQLJobInfo info;
    SQLDatabaseStatusMap statusMap;
    bool noJobInfo = false;
    ASSERT_TRUE(job.GetDatabasesStatusInfo(info, statusMap, noJobInfo));
    ASSERT_FALSE(noJobInfo);
    bool finished = false;
    for (int n = 1; n < 100 && !finished; ++n) {
        std::filesystem::remove(Results("LogDBList.jxf"));
        FaultyFileSystem disk;
        wz::ScopedFileSystem use(disk);
        disk.RecordForCrash(job.m_jobResultsDirectory);
        disk.CrashAt(n);
        unsigned long size = 0;
        const bool rebuilt = job.GenerateSQLRestartOrPromotedFile(size, info, false);
        finished = !disk.Crashed();
        if (finished) {
            // It said the list is there: it must outlive a crash right now.
            ASSERT_TRUE(rebuilt) << "call " << n;
            disk.Crash();
        }
        EXPECT_TRUE(!Exists("LogDBList.jxf") || root.ReadFile("results/LogDBList.jxf") == kWholeList)
            << "crash at call " << n;
        if (finished) {
            EXPECT_EQ(root.ReadFile("results/LogDBList.jxf"), kWholeList);
        }

        // The restart on what is left: an empty size rebuilds the list, a
        // list on disk is kept; either way every database is listed.
        disk.Heal();
        long long left = 0;
        size = JXFile::getFileSize(Results("LogDBList.jxf").c_str(), &left) == 0 ? static_cast<unsigned long>(left) : 0;
        ASSERT_TRUE(job.GenerateSQLRestartOrPromotedFile(size, info, false)) << "crash at call " << n;
        EXPECT_EQ(root.ReadFile("results/LogDBList.jxf"), kWholeList) << "crash at call " << n;
    }
    EXPECT_TRUE(finished);
}

TEST_F(DurableListsTest, APhaseListEntersTheStatusTabOnlyOnceItIsInPlace) {
    bool finished = false;
    uint64_t jobId = 100;
    for (int n = 1; n < 100 && !finished; ++n) {
        jxtest::BackupJobUnderTest attempt{++jobId};
        attempt.m_jobResultsDirectory = job.m_jobResultsDirectory;
        attempt.m_bkpPhase = JXSQL_BACKUP_LOG;
        std::filesystem::remove(Results("LogDBList.jxf"));
        FaultyFileSystem disk;
        wz::ScopedFileSystem use(disk);
        disk.RecordForCrash(job.m_jobResultsDirectory);
        disk.CrashAt(n);
        std::vector<std::string> names = kDatabases;
        JXFile file;
        const bool written = attempt.CreateCollectFileForSQLBackup(&file, names, true);
        finished = !disk.Crashed();
        if (finished) {
            ASSERT_TRUE(written);
            disk.Crash();
        }
        disk.Heal();  // the machine is back: the status tab's store opens again
        const bool whole = root.ReadFile("results/LogDBList.jxf") == kWholeList;
        EXPECT_TRUE(!Exists("LogDBList.jxf") || whole) << "crash at call " << n;
        // The rows follow the list: all once it is in place, none before.
        const size_t rows = statustab::Records(jobId, 2).size();
        EXPECT_EQ(rows, whole ? kDatabases.size() : 0u) << "crash at call " << n;
        if (finished) {
            EXPECT_TRUE(whole);
        }
    }
    EXPECT_TRUE(finished);
    const std::vector<std::string> rows = statustab::Records(jobId, 2);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_NE(rows[0].find("Alpha"), std::string::npos);  // in list order
    EXPECT_NE(rows[4].find("Gamma"), std::string::npos);
}

TEST_F(DurableListsTest, AListThatCannotBePutInPlaceFailsWithItsCauseAndListsNothing) {
    root.WriteFile("results/LogDBList.jxf", "Old\n");
    for (FsCall step : {FsCall::kWrite, FsCall::kFsync, FsCall::kRename}) {
        FaultyFileSystem disk;
        wz::ScopedFileSystem use(disk);
        disk.FailCallOn("LogDBList.jxf*", step, 1, step == FsCall::kWrite ? ENOSPC : EIO);
        std::vector<std::string> names = kDatabases;
        JXFile file;
        EXPECT_FALSE(job.CreateCollectFileForSQLBackup(&file, names, true));
        EXPECT_EQ(disk.Fired(step), 1);
        EXPECT_EQ(root.ReadFile("results/LogDBList.jxf"), "Old\n");
        EXPECT_EQ(Listed(), 0u);
    }
    // The folder's sync after the rename: the new list is there but may not
    // outlive a crash, so the job does not go on with it.
    FaultyFileSystem disk;
    wz::ScopedFileSystem use(disk);
    disk.FailCallOn("results", FsCall::kFsync, 1, EIO);
    std::vector<std::string> names = kDatabases;
    JXFile file;
    EXPECT_FALSE(job.CreateCollectFileForSQLBackup(&file, names, true));
    EXPECT_EQ(disk.Fired(FsCall::kFsync), 1);
    EXPECT_EQ(Listed(), 0u);
    const auto causes = job.Journal("setPendingCause");
    ASSERT_EQ(causes.size(), 4u);
    EXPECT_EQ(causes[3].Get("cause"), jobmanager::JournalId(kCauseJobFileOpen));
}

TEST_F(DurableListsTest, EveryConvertedDatabaseOutlivesACrashOnceItsAddReturned) {
    std::vector<std::string> added;
    FaultyFileSystem disk;
    wz::ScopedFileSystem use(disk);
    for (const std::string& name : kDatabases) {
        disk.RecordForCrash(job.m_jobResultsDirectory);
        ASSERT_TRUE(job.AddConvertedDBToCollectFile(name, JXSQL_BACKUP_FULL));
        added.push_back(name);
        disk.Crash();
        disk.Heal();
        // A new job process on what is left finds every database added so far.
        jxtest::BackupJobUnderTest restarted{81};
        restarted.m_jobResultsDirectory = job.m_jobResultsDirectory;
        restarted.m_bkpPhase = JXSQL_BACKUP_LOG;
        EXPECT_EQ(restarted.GetConvertedDBCount(JXSQL_BACKUP_FULL), added.size()) << name;
    }
}

TEST_F(DurableListsTest, AConvertedDatabaseWhoseLineCannotBeSyncedIsNotCounted) {
    FaultyFileSystem disk;
    wz::ScopedFileSystem use(disk);
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Alpha", JXSQL_BACKUP_DIFF));
    // The first add of a level in a process also writes a stream-info file,
    // whose folder sync is not the one under test: done here, and the list
    // removed again.
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Zeta", JXSQL_BACKUP_FULL));
    ASSERT_TRUE(job.DeleteConvertedDBCollectFile(JXSQL_BACKUP_FULL));
    disk.FailCallOn("DiffDBList.jxf", FsCall::kFsync, 1, EIO);
    EXPECT_FALSE(job.AddConvertedDBToCollectFile("beta", JXSQL_BACKUP_DIFF));
    EXPECT_EQ(disk.Fired(FsCall::kFsync), 1);
    EXPECT_EQ(root.ReadFile("results/DiffDBList.jxf"), "Alpha\n");
    // The list's creation: its folder is synced, or the add fails.
    disk.FailCallOn("results", FsCall::kFsync, 1, EIO);
    EXPECT_FALSE(job.AddConvertedDBToCollectFile("Gamma", JXSQL_BACKUP_FULL));
    EXPECT_EQ(disk.Fired(FsCall::kFsync), 2);
}

}  // namespace
