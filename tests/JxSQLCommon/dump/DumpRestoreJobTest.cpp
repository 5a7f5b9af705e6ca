// Whole dump-restore jobs: the central server's full and differential, log
// dumps on the subclient's disk library, mounted, marked, merged and
// restored from the files.
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "ArMgrClientAPI/ArMgrClientAPI.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JxProcess.h"
#include "JxSQLCommon/dump/CSQLDumpRestore.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/SqlDbState.h"
#include "LogDumpWriter.h"
#include "tests/JxSQLCommon/dump/DumpJobFixture.h"
#include "tools/jobs/SqlRestoreProgramJob.h"

namespace {

using vditest::DatabaseState;

class DumpRestoreJob : public DumpJobEndToEnd {
protected:
    // A backup the central server knows with its LSN range, as the merge
    // with the dumps needs it.
    void Take(char type, uint64_t jobId, uint64_t endTime) { TakeOf("Sales", type, jobId, true, endTime); }
    std::string Dump(const std::string& folder) {
        std::string bak;
        CWzError e = WriteLogDump(kInstance, "Sales", folder, bak);
        EXPECT_TRUE(e.IsSuccess()) << e.AsString();
        return bak;
    }
    // Full and differential at the central server, then three log dumps on
    // two mount paths; the content at the last dump is returned, the one at
    // the differential kept in atDiff. The full is told as taken by
    // subclient `fullBy`, the rest by kSubclient.
    std::vector<std::string> ChainWithDumps(uint64_t fullBy = kSubclient) {
        applicationId = fullBy;
        Take('D', 100, 1000);
        applicationId = kSubclient;
        Change(5, 1);
        Take('I', 200, 2000);
        atDiff = Contents("Sales");
        Change(3, 2, 2500 * 1000LL);
        dumps.push_back(Dump(mpA));
        Change(2, 3, 3500 * 1000LL);
        dumps.push_back(Dump(mpB));
        Change(4, 4, 4500 * 1000LL);
        dumps.push_back(Dump(mpA));
        return Contents("Sales");
    }
    // Every file that was on the disk library is still there.
    void ExpectDiskLibraryIntact() {
        for (const std::string& bak : dumps) {
            struct stat info {};
            const bool there = ::stat(bak.c_str(), &info) == 0 ||
                               ::stat((bak + ".jxf").c_str(), &info) == 0;
            EXPECT_TRUE(there) << bak;
        }
    }
    // The mount folder of the subclient that an earlier run of the job made.
    std::string DumpMountFolder() {
        const std::string tail = "/dump/" + std::to_string(kSubclient);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path())) {
            const std::string path = entry.path().string();
            if (entry.is_directory() && !entry.is_symlink() && path.size() > tail.size() &&
                path.compare(path.size() - tail.size(), tail.size(), tail) == 0) {
                return path;
            }
        }
        ADD_FAILURE() << "no mount folder";
        return root.path() + "/none";
    }
    // The chain's dump `damaged` is renamed during the job and its renamed
    // file damaged: that restore fails, and with it the job, and the database
    // is not brought online.
    void ExpectAFailedRestoreOfARenamedDumpFailsTheJob(size_t damaged);

    // Sales was in subclient kFormerSubclient at its full: the job mounts
    // that id too, before kSubclient. Its storage is listed, but the
    // mounting service answers `code` to its mount.
    void FormerSubclientAnswers(const std::string& code) {
        ASSERT_TRUE(AppModel::Set(AppModel::ObjectName("subclient", kFormerSubclient), "instanceId",
                                  std::to_string(kInstanceId)));
        std::filesystem::create_directories(ArMgrClientAPI::MountPathsFolder(kFormerSubclient) + "/mpOld");
        root.WriteFile("media/mountsvc/" + std::to_string(kFormerSubclient) + ".error", code);
    }

    // Restored as Copy with the dump restore turned off: the job succeeds
    // and Copy holds `expected`, the content at the central server's last
    // backup.
    void ExpectTheCentralServersChainRestoredAlone(const std::vector<std::string>& expected) {
        RelocateToCopy();
        int status = 0;
        {
            CSQLDumpRestore job;
            ASSERT_TRUE(Run(job, 42, &status));
            EXPECT_FALSE(job.RestoringFromDump());
        }
        EXPECT_EQ(1, status);
        EXPECT_TRUE(expected == Contents("Copy"));
    }

    static constexpr uint64_t kFormerSubclient = 40;
    std::vector<std::string> dumps;
    std::vector<std::string> atDiff;
};

TEST_F(DumpRestoreJob, DumpsAreMountedMergedAndRestoredUnderANewName) {
    const std::vector<std::string> atLastDump = ChainWithDumps();
    Change(6, 5);  // after the last dump: not restored
    RelocateToCopy();
    int status = 0;
    {
        CSQLDumpRestore job;
        ASSERT_TRUE(Run(job, 42, &status));
        EXPECT_TRUE(job.RestoringFromDump());
        const DbInfo& info = job.Settings().databases.at("Sales");
        EXPECT_EQ(3u, info.restoredCount);
        EXPECT_EQ(2u, info.mountPaths.size());
    }
    EXPECT_EQ(1, status);
    EXPECT_EQ(SQLDB_STATE_ONLINE, DatabaseState(sim, "Copy"));
    EXPECT_TRUE(atLastDump == Contents("Copy"));
    ExpectNoMountOrMarker();
    ExpectDiskLibraryIntact();
}

// The restore program's dump restore leaves the restore map of the moved
// files, as its ordinary restore does.
TEST_F(DumpRestoreJob, TheProgramsDumpRestoreLeavesTheRestoreMapOfTheMovedFiles) {
    const std::vector<std::string> atLastDump = ChainWithDumps();
    RelocateToCopy();
    int status = 0;
    {
        SqlDumpRestoreProgramJob job;
        ASSERT_TRUE(Run(job, 42, &status));
        EXPECT_EQ(3u, job.Settings().databases.at("Sales").restoredCount);
    }
    EXPECT_EQ(1, status);
    EXPECT_TRUE(atLastDump == Contents("Copy"));
    std::istringstream map(jxtest::ReadWholeFile(root.path() + "/jobresults/42/42_restore.txt"));
    std::set<std::string> lines;
    for (std::string line; std::getline(map, line);) lines.insert(line);
    const std::string moved = root.path() + "/moved/";
    EXPECT_EQ((std::set<std::string>{"\"old\",\"" + moved + "copy.mdf\"", "\"old\",\"" + moved + "copy2.ndf\"",
                                     "\"old\",\"" + moved + "copy.ldf\""}),
              lines);
}

// A job whose dump is renamed (as the sweep does) once the chain is built.
class RenamingJob : public CSQLDumpRestore {
public:
    explicit RenamingJob(std::string bak) : m_bak(std::move(bak)) {}
    CWzError AddBackupInfoFromMountedShare(std::list<SqlRestoreDbInfo_t>& dbs) override {
        CWzError e = CSQLDumpRestore::AddBackupInfoFromMountedShare(dbs);
        EXPECT_EQ(0, ::rename(m_bak.c_str(), (m_bak + ".jxf").c_str()));
        if (damageRenamed) {
            // Same size, other bytes: the engine refuses to restore it.
            std::string bytes = jxtest::ReadWholeFile(m_bak + ".jxf");
            for (char& c : bytes) c = static_cast<char>(~c);
            std::ofstream(m_bak + ".jxf", std::ios::binary | std::ios::trunc) << bytes;
        }
        return e;
    }
    bool damageRenamed = false;
    using CSQLDumpRestore::AddBackupInfoFromMountedShare;

private:
    std::string m_bak;
};

TEST_F(DumpRestoreJob, ADumpRenamedDuringTheJobIsRestoredFromItsNewName) {
    const std::vector<std::string> atLastDump = ChainWithDumps();
    RelocateToCopy();
    {
        RenamingJob job(dumps[1]);
        ASSERT_TRUE(Run(job, 42));
        EXPECT_EQ(3u, job.Settings().databases.at("Sales").restoredCount);
    }
    EXPECT_TRUE(atLastDump == Contents("Copy"));
    ExpectDiskLibraryIntact();
}

void DumpRestoreJob::ExpectAFailedRestoreOfARenamedDumpFailsTheJob(size_t damaged) {
    ChainWithDumps();
    RelocateToCopy();
    int status = 0;
    {
        RenamingJob job(dumps.at(damaged));
        job.damageRenamed = true;
        EXPECT_FALSE(Run(job, 42, &status));
        const DbInfo& info = job.Settings().databases.at("Sales");
        EXPECT_EQ(1u, info.failedCount);
        EXPECT_EQ(damaged, info.restoredCount) << "the dumps before it";
    }
    EXPECT_EQ(2, status);
    EXPECT_NE(SQLDB_STATE_ONLINE, DatabaseState(sim, "Copy"));
    ExpectNoMountOrMarker();
}

// A dump found only under its restore-collect name whose restore fails is
// counted as failed, and the database with it.
TEST_F(DumpRestoreJob, ADumpRestoredFromItsRenamedFileThatFailsCountsAsFailed) {
    ExpectAFailedRestoreOfARenamedDumpFailsTheJob(1);
}

// The same with the last dump of the chain: no later dump's gap fails the
// job instead, so the failed restore itself must fail it, and the database
// is not brought online without that log.
TEST_F(DumpRestoreJob, AFailedRestoreOfTheLastDumpFromItsRenamedFileFailsTheJob) {
    ExpectAFailedRestoreOfARenamedDumpFailsTheJob(2);
}

TEST_F(DumpRestoreJob, AMissingDumpFailsTheDatabaseWithTheEnginesText) {
    ChainWithDumps();
    ASSERT_EQ(0, ::unlink(dumps[1].c_str()));
    ASSERT_EQ(0, ::unlink((dumps[1].substr(0, dumps[1].size() - 4) + ".xml").c_str()));
    RelocateToCopy();
    int status = 0;
    {
        CSQLDumpRestore job;
        EXPECT_FALSE(Run(job, 42, &status));
    }
    EXPECT_NE(1, status);
    ExpectNoMountOrMarker();
}

TEST_F(DumpRestoreJob, FailingMountsTurnTheDumpRestoreOffAndTheCentralServersChainIsRestored) {
    Take('D', 100, 1000);
    Change(5, 1);
    Take('L', 200, 2000);
    const std::vector<std::string> atLog = Contents("Sales");
    Change(3, 2);
    Dump(mpA);  // never read: the mount fails
    root.WriteFile("media/mountsvc/" + std::to_string(kSubclient) + ".error", "4306");
    ExpectTheCentralServersChainRestoredAlone(atLog);
}

// The mounting service cannot mount one of the database's two ids (4306):
// that id is skipped and the other id's dumps are applied.
TEST_F(DumpRestoreJob, AnIdWhoseStorageCannotBeMountedIsSkippedAndTheOtherIdsDumpsAreApplied) {
    FormerSubclientAnswers("4306");
    const std::vector<std::string> atLastDump = ChainWithDumps(kFormerSubclient);
    RelocateToCopy();
    int status = 0;
    {
        CSQLDumpRestore job;
        ASSERT_TRUE(Run(job, 42, &status));
        EXPECT_TRUE(job.RestoringFromDump());
        EXPECT_EQ(std::set<uint64_t>{kSubclient}, job.Settings().AppIDs);
        EXPECT_EQ(3u, job.Settings().databases.at("Sales").restoredCount);
    }
    EXPECT_EQ(1, status);
    EXPECT_NE(std::string::npos, jxtest::ReadWholeFile(EvDebug::LogFilePath())
                                     .find("Skipping app id " + std::to_string(kFormerSubclient) + ". Error["));
    EXPECT_TRUE(atLastDump == Contents("Copy"));
    ExpectNoMountOrMarker();
    ExpectDiskLibraryIntact();
}

// Any other answer ends the mounting: the dump restore is off, and the copy
// stops at the central server's last backup.
TEST_F(DumpRestoreJob, AnyOtherMountFailureOfOneIdTurnsTheDumpRestoreOff) {
    FormerSubclientAnswers("5");
    ChainWithDumps(kFormerSubclient);
    ExpectTheCentralServersChainRestoredAlone(atDiff);
    ExpectNoMountOrMarker();
}

TEST_F(DumpRestoreJob, AMountFolderLeftByAKilledJobIsReusedAndNoDumpIsDeleted) {
    const std::vector<std::string> atLastDump = ChainWithDumps();
    RelocateToCopy();
    {
        CSQLDumpRestore job;
        ASSERT_TRUE(Run(job, 42));
    }
    // The same job again, its mounts left in place by hand.
    const std::string folder = DumpMountFolder();
    std::filesystem::create_directories(folder);
    ASSERT_EQ(0, ::symlink(mpA.c_str(), (folder + "/1").c_str()));
    ASSERT_EQ(0, ::symlink(mpB.c_str(), (folder + "/2").c_str()));
    task.relocations.clear();
    RelocateToCopy();
    task.optionFlags = kRstOverwrite;
    {
        CSQLDumpRestore job;
        ASSERT_TRUE(Run(job, 42));
        EXPECT_TRUE(job.RestoringFromDump());
    }
    EXPECT_TRUE(atLastDump == Contents("Copy"));
    ExpectDiskLibraryIntact();
    ExpectNoMountOrMarker();
}

// A mount folder holding mounts but not as the job leaves them (no first
// mount, one inside a stale sub-folder) is cleared before the storage is
// mounted again: the mounts are let go, never entered.
TEST_F(DumpRestoreJob, ClearingAStaleMountFolderDeletesNoDumpThroughItsMounts) {
    const std::vector<std::string> atLastDump = ChainWithDumps();
    RelocateToCopy();
    {
        CSQLDumpRestore job;
        ASSERT_TRUE(Run(job, 42));
    }
    const std::string folder = DumpMountFolder();
    std::filesystem::create_directories(folder + "/stale");
    ASSERT_EQ(0, ::symlink(mpB.c_str(), (folder + "/2").c_str()));
    ASSERT_EQ(0, ::symlink(mpA.c_str(), (folder + "/stale/1").c_str()));
    const size_t filesA = std::distance(std::filesystem::directory_iterator(mpA), {});
    const size_t filesB = std::distance(std::filesystem::directory_iterator(mpB), {});
    task.relocations.clear();
    RelocateToCopy();
    task.optionFlags = kRstOverwrite;
    {
        CSQLDumpRestore job;
        ASSERT_TRUE(Run(job, 42));
        EXPECT_TRUE(job.RestoringFromDump());
        EXPECT_EQ(3u, job.Settings().databases.at("Sales").restoredCount);
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/stale")) << "the stale folder was cleared";
    ExpectDiskLibraryIntact();
    EXPECT_EQ(filesA, static_cast<size_t>(std::distance(std::filesystem::directory_iterator(mpA), {})));
    EXPECT_EQ(filesB, static_cast<size_t>(std::distance(std::filesystem::directory_iterator(mpB), {})));
    EXPECT_TRUE(atLastDump == Contents("Copy"));
    ExpectNoMountOrMarker();
}

}  // namespace

namespace {

TEST_F(DumpRestoreJob, APointInTimeInsideTheSecondDumpStopsThere) {
    Take('D', 100, 1000);
    const int64_t t0 = static_cast<int64_t>(std::time(nullptr));
    Change(3, 1, (t0 - 100) * 1000);
    Dump(mpA);
    // The dumps' finish dates are whole seconds of the wall clock.
    while (std::time(nullptr) < t0 + 2) ::usleep(50 * 1000);
    Change(2, 2, (t0 + 1) * 1000);
    const std::vector<std::string> atPointInTime = Contents("Sales");
    Change(2, 3, (t0 + 3) * 1000);
    Dump(mpB);
    Change(2, 4, (t0 + 4) * 1000);
    Dump(mpA);

    RelocateToCopy();
    task.optionFlags = kRstPointInTime;
    task.pointInTime = static_cast<uint64_t>(t0 + 2);
    {
        CSQLDumpRestore job;
        ASSERT_TRUE(Run(job, 42));
        EXPECT_EQ(2u, job.Settings().databases.at("Sales").restoredCount);
    }
    EXPECT_EQ(SQLDB_STATE_ONLINE, DatabaseState(sim, "Copy"));
    EXPECT_TRUE(atPointInTime == Contents("Copy"));
}

}  // namespace

namespace {

// A dump restore asked to stop as its dump starts.
struct StopDuringDumpJob : CSQLDumpRestore {
    void initializeForPreDBRestore(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup) override {
        CSQLDumpRestore::initializeForPreDBRestore(db, backup);
        if (backup.afileType == AFileType_RestoreFromMediaAgentDump) JXJobCtrlClient::requestStop(m_jobId);
    }
};

class LargeDumpRestoreJob : public DumpRestoreJob {
protected:
    void SetUp() override {
        dataSize = 8 * 1024 * 1024;
        DumpRestoreJob::SetUp();
        Take('D', 100, 1000);
        Change(512, 1);  // 4 MiB of log in one dump: well beyond 300 platform seconds to restore
        Dump(mpA);
        atDump = Contents("Sales");
        RelocateToCopy();
    }
    std::vector<std::string> atDump;
};

TEST_F(LargeDumpRestoreJob, ALongDumpRestoreIsWaitedFor) {
    int status = 0;
    {
        CSQLDumpRestore job;
        ASSERT_TRUE(Run(job, 42, &status));
    }
    EXPECT_EQ(1, status);
    EXPECT_TRUE(atDump == Contents("Copy"));
}

TEST_F(LargeDumpRestoreJob, AStopDuringADumpRestoreLeavesTheDatabaseRestoring) {
    int status = 0;
    {
        StopDuringDumpJob job;
        EXPECT_FALSE(Run(job, 42, &status));
    }
    EXPECT_EQ(4, status);
    EXPECT_EQ(SQLDB_STATE_RESTORING, DatabaseState(sim, "Copy"));
    ExpectNoMountOrMarker();
    ExpectDiskLibraryIntact();
}

}  // namespace
