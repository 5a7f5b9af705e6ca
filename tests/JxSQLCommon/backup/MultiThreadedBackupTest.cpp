// Multi-threaded backup: the size-balanced split into collect files and
// their map, the pool that hands each file to the per-file hook, the job's
// status from the files' outcomes, and a worker that never returns.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "JXAppMgr/StatusTabStore.h"
#include "JxJobClient/JobJournal.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxThreadPool.h"
#include "JxSQLCommon/backup/CSQLMultiThreadedBackup.h"
#include "JxSQLCommon/backup/CSQLMultiThreadedDataMover.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "WzUtils/WzClock.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tests/support/FaultyFileSystem.h"

namespace {

// Each collect file succeeds with one success per database line, except the
// files a test marks failed or hung.
struct CountingJob : CSQLMultiThreadedBackup {
    using CSQLMultiThreadedBackup::m_nCollectFiles;
    using CSQLMultiThreadedBackup::m_nThreadCount;
    using CSQLCommon::m_jobResultsDirectory;

    CWzError OnCollectFile(MTBackupParams& params, CollectFileInfo& file) override {
        if (hang && file.index == 1) {
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            hungDone = true;
            return CWzError();
        }
        std::vector<std::string> names;
        (void)populateDBNamesFromCollectFile(names, file.path);
        for (const std::string& name : names) {
            (void)SetStartDatabase(name);
            (void)SetDatabaseDone(name);
        }
        params.successCount = names.size();
        if (failIndex == file.index) params.failureCount = 1;
        if (stopIndex == file.index) m_bJobFailed = true;  // as a failed commit sets it
        return CWzError();
    }

    int64_t failIndex = 0;
    int64_t stopIndex = 0;
    bool hang = false;
    std::atomic<bool> release{false};
    std::atomic<bool> hungDone{false};
};

class MultiThreadedBackupTest : public jxtest::BackupJobRun {
protected:
    // Databases db0..db<n-1> of distinct sizes, all in the content.
    void MakeSizedDatabases(int n) {
        SqlSimServerSpec server;
        server.name = "HOST/INST";
        ASSERT_FALSE(instance.Create(server).IsError());
        for (int i = 0; i < n; ++i) {
            SqlSimDatabaseSpec db;
            db.name = "db" + std::to_string(i);
            db.dataSize = 64 * 1024 * static_cast<uint64_t>(i + 1);
            ASSERT_FALSE(instance.AddDatabase(db).IsError());
            AppModel::Set("subclient/1234", "property118_" + std::to_string(i + 1), db.name);
        }
    }
    std::string Results(uint64_t jobId) { return root.File("jobresults/" + std::to_string(jobId)); }
    std::string CompleteStatus(uint64_t jobId) {
        auto complete = Journal(jobId, "complete");
        return complete.empty() ? "none" : complete.back().Get("status");
    }
    std::vector<std::string> Lines(const std::string& path) {
        std::vector<std::string> lines;
        std::string text = root.ReadFile(path.substr(root.path().size() + 1)), line;
        for (char c : text) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else {
                line += c;
            }
        }
        return lines;
    }
};

TEST_F(MultiThreadedBackupTest, TenDatabasesSplitBySizeIntoMappedCollectFiles) {
    MakeSizedDatabases(10);
    JXPlatformInfo().setNumber("MSSQLAgent", "BlbDbsPerCollect", 3);
    CountingJob job;
    ASSERT_TRUE(RunPhaseOf(job, 401, "-D", 1, {}));
    EXPECT_EQ(CompleteStatus(401), "1");
    EXPECT_EQ(job.m_nCollectFiles, 3u);
    const std::string dir = job.m_jobResultsDirectory;
    const std::vector<std::string> map = Lines(dir + "/CollectFileMap.jxf");
    ASSERT_EQ(map.size(), 3u);
    // Sizes 10..1 (x 64 KB), largest first into the lightest file.
    std::map<std::string, std::vector<std::string>> expected = {
        {dir + "/MultiThreadedCollectFile_1", {"db9", "db4", "db3"}},
        {dir + "/MultiThreadedCollectFile_2", {"db8", "db5", "db2"}},
        {dir + "/MultiThreadedCollectFile_3", {"db7", "db6", "db1", "db0"}},
    };
    for (const std::string& path : map) EXPECT_EQ(Lines(path), expected.at(path)) << path;
    int listed = 0;
    for (const std::string& xml : statustab::Records(401, 2)) {
        JobManager::SQLStatusTab tab;
        ASSERT_EQ(tab.unserialize(xml), kMsgOk);
        if (tab.getint64(JobManager::SQLStatusTab::kStatus) == JobManager::kDBStatusListed) ++listed;
    }
    EXPECT_EQ(listed, 10);
    EXPECT_EQ(Journal(401, "setFilesSoFar").size(), 10u);

    // A rerun with fewer files leaves no stale line or file.
    JXPlatformInfo().setNumber("MSSQLAgent", "BlbDbsPerCollect", 5);
    JXPlatformInfo().setNumber("MSSQLAgent", "BlbMinCollectFiles", 1);
    CountingJob again;
    ASSERT_TRUE(RunPhaseOf(again, 401, "-D", 2, {}));
    EXPECT_EQ(Lines(dir + "/CollectFileMap.jxf").size(), 2u);
    struct stat st {};
    EXPECT_NE(::stat((dir + "/MultiThreadedCollectFile_3").c_str(), &st), 0);
}

TEST_F(MultiThreadedBackupTest, ACollectFileOrMapThatCannotBePutInPlaceFailsTheJobAndListsNothing) {
    MakeSizedDatabases(4);
    uint64_t jobId = 410;
    for (const char* target : {"MultiThreadedCollectFile_2", "CollectFileMap.jxf"}) {
        ++jobId;
        jxtest::FaultyFileSystem disk;
        wz::ScopedFileSystem use(disk);
        disk.FailCallOn(target, jxtest::FsCall::kRename, 1, EIO);
        CountingJob job;
        (void)RunPhaseOf(job, jobId, "-D", 1, {});
        EXPECT_EQ(disk.Fired(jxtest::FsCall::kRename), 1) << target;
        EXPECT_NE(CompleteStatus(jobId), "1") << target;
        EXPECT_TRUE(statustab::Records(jobId, 2).empty()) << target;
        const auto causes = Journal(jobId, "setPendingCause");
        ASSERT_FALSE(causes.empty()) << target;
        EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseJobFileOpen)) << target;
    }
}

TEST_F(MultiThreadedBackupTest, StatusFollowsTheCollectFilesOutcomes) {
    MakeSizedDatabases(4);
    CountingJob partial;
    partial.failIndex = 2;
    ASSERT_TRUE(RunPhaseOf(partial, 402, "-D", 1, {}));
    EXPECT_EQ(CompleteStatus(402), "3");

    // Every file counted a success, but the job's stop flag was set.
    CountingJob stopped;
    stopped.stopIndex = 1;
    ASSERT_TRUE(RunPhaseOf(stopped, 404, "-D", 1, {}));
    EXPECT_EQ(CompleteStatus(404), "2");

    // The library's own hook does no work: every file fails.
    CSQLMultiThreadedBackup plain;
    ASSERT_TRUE(RunPhaseOf(plain, 403, "-D", 1, {}));
    EXPECT_EQ(CompleteStatus(403), "2");
}

TEST_F(MultiThreadedBackupTest, ZeroThreadsRunWithTheDefault) {
    MakeSizedDatabases(3);
    JXPlatformInfo().setNumber("MSSQLAgent", "BlbThreadCount", 0);
    CountingJob job;
    EXPECT_EQ(job.m_nThreadCount, 2);
    ASSERT_TRUE(RunPhaseOf(job, 404, "-D", 1, {}));
    EXPECT_EQ(CompleteStatus(404), "1");
}

TEST_F(MultiThreadedBackupTest, AWorkerThatNeverReturnsEndsTheJobFailedWithinTheTimeout) {
    MakeSizedDatabases(4);
    JXPlatformInfo().setNumber("MSSQLAgent", "BlbThreadTimeout", 1);
    CountingJob job;
    job.hang = true;
    ASSERT_TRUE(RunPhaseOf(job, 405, "-D", 1, {}));
    EXPECT_EQ(CompleteStatus(405), "2");
    EXPECT_TRUE(job.WorkersOutstanding());
    // The hung worker still holds its element and the job object; both are
    // alive until it ends.
    job.release = true;
    while (!job.hungDone) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

TEST(JxThreadPoolTest, RunsQueuedTasksOnItsThreadsAndRefusesNoThreads) {
    JxThreadPool none;
    EXPECT_FALSE(none.initThreadPool("none", 0xFFFFFFFF, 0, 0, 0));
    JxThreadPool pool;
    ASSERT_TRUE(pool.initThreadPool("p", 0xFFFFFFFF, 0, 3, 3));
    std::atomic<int> ran{0};
    auto task = [](void* a) -> void* {
        ++*static_cast<std::atomic<int>*>(a);
        return nullptr;
    };
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(pool.doWork(task, &ran));
    EXPECT_TRUE(pool.waitForAllThreads(true, true, true, -1));
    EXPECT_EQ(ran, 20);
    EXPECT_FALSE(pool.doWork(task, &ran));
}

TEST(CSQLMultiThreadedDataMoverTest, SetsThePipelineUpOnce) {
    SqlDataTransferHandler handler(true, 77, 1, 2, "cs", 1, 0);
    CSQLMultiThreadedDataMover mover(handler);
    EXPECT_TRUE(mover.SetupBackupPipeline(128).IsSuccess());
    CWzError second = mover.SetupBackupPipeline(128);
    EXPECT_TRUE(second.IsError());
    EXPECT_NE(second.AsString().find("Pipeline already setup"), std::string::npos);
    mover.NeedsClose(false);
    SqlDataTransferHandler restore;
    CSQLMultiThreadedDataMover refused(restore);
    EXPECT_TRUE(refused.SetupBackupPipeline(0).IsError());
}

}  // namespace
