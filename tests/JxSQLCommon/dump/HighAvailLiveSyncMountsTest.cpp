// Live-sync jobs that read the dumps from loginfo.db, and the storage they
// mount: with folder mounts, which leave no path to a dump folder once
// unmounted, every way the job ends lets go of its references before its
// storage is unmounted for the last time; a run whose storage cannot be
// mounted, or whose mounted loginfo.db cannot be used, reports its database
// failed.
#include <cerrno>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzSQLite/CSQLite3DB.h"
#include "tests/JxSQLCommon/dump/FolderMounts.h"
#include "tests/JxSQLCommon/dump/HighAvailLiveSyncFixture.h"
#include "tests/JxSQLCommon/restore/HeldArchiveReads.h"
#include "tests/support/FaultyFileSystem.h"

namespace {

// A job that notes how many references it still holds at each unmount of a
// run's storage, and each database status it reports.
class WatchedJob : public HookedHighAvail {
public:
    using CSQLRestoreBase::WaitForTransferLeftRunning;
    using HookedHighAvail::UnMountAll;
    CWzError UnMountAll() override {
        heldAtUnmount.push_back(HeldReferences());
        return HookedHighAvail::UnMountAll();
    }
    void SetRestoreStatus(std::string objectName, RESTORE_STATUS_STRING_MAPPING status) override {
        statuses[objectName].push_back(status);
        HookedHighAvail::SetRestoreStatus(std::move(objectName), status);
    }
    std::vector<size_t> heldAtUnmount;
    std::map<std::string, std::vector<RESTORE_STATUS_STRING_MAPPING>> statuses;
};

class HighAvailLiveSyncMounts : public HighAvailLiveSyncJob {
protected:
    void SetUp() override {
        HighAvailLiveSyncJob::SetUp();
        TakeOf("Sales", 'D', 100);
        DumpOf(mpA, 2);
        DumpOf(mpB, 3);
    }
    // The mounts are folder mounts from here on.
    void UseFolderMounts() {
        folderMounts = std::make_unique<FolderMounts>(std::vector<std::string>{mpA, mpB});
        installed = std::make_unique<wz::ScopedFileSystem>(*folderMounts);
    }
    void ExpectEveryCountZero() {
        for (const auto& [bak, count] : AllCounts()) EXPECT_EQ(0, count) << bak;
    }
    // The first run restored the full backup and both dumps; the second, the
    // last, applied nothing and reported Sales failed with the cause that
    // names it, as when its storage cannot be mounted.
    void ExpectTheSecondRunFailedSalesWithTheCause(const WatchedJob& job, int status) {
        EXPECT_EQ(1, job.waits);
        EXPECT_EQ(3, status);
        EXPECT_EQ(2, LogRestores());
        EXPECT_EQ((std::vector<RESTORE_STATUS_STRING_MAPPING>{RESTORE_STATUS_RESTORED, RESTORE_STATUS_FAILED}),
                  job.statuses.at("SalesDR"));
        auto journal = jobmanager::JobJournalReader::Read(kJob);
        ASSERT_TRUE(journal.has_value());
        bool named = false;
        for (const jobmanager::JournalEntry& e : jobmanager::JobJournalReader::WithOp(*journal, "setPendingCause")) {
            named = named || (e.Get("cause") == jobmanager::JournalId(kCauseNoArchiveFiles) &&
                              e.List("args") == std::vector<std::string>{"Sales"});
        }
        EXPECT_TRUE(named) << "the database without an archive file is named with the cause";
    }

    std::unique_ptr<FolderMounts> folderMounts;
    std::unique_ptr<wz::ScopedFileSystem> installed;
};

// A stop during the wait ends the job after the run unmounted: the storage
// is mounted again to let go of what the job held over the wait.
TEST_F(HighAvailLiveSyncMounts, AStopDuringTheWaitLetsGoThroughTheStorageMountedAgain) {
    Ghost(mpA);
    UseFolderMounts();
    WatchedJob job;
    std::string resolved;
    job.beforeRestore = [&](const std::string& bak) { (void)wz::Fs().RealPath(bak, resolved); };
    size_t heldAtWait = 0;
    job.atWait = [&](int) {
        heldAtWait = job.HeldReferences();
        JXJobCtrlClient::requestStop(kJob);
    };
    int status = 0;
    EXPECT_TRUE(Run(job, kJob, &status));
    EXPECT_EQ(1, job.waits);
    EXPECT_EQ(4, status);
    EXPECT_EQ(2, LogRestores());
    EXPECT_NE(std::string::npos, resolved.find("/dump/")) << resolved << ": read through a folder mount";
    EXPECT_EQ(1u, heldAtWait) << "the ghost is held over the wait";
    EXPECT_EQ((std::vector<size_t>{1, 0}), job.heldAtUnmount) << "the run's unmount, then the one after the release";
    EXPECT_EQ(0u, job.HeldReferences());
    ExpectEveryCountZero();
    ExpectNoMountOrMarker();
}

// A run whose data transfer is left running is the last: what the job holds
// is let go before that run unmounts.
TEST_F(HighAvailLiveSyncMounts, ARunWhoseTransferIsLeftRunningLetsGoBeforeItUnmounts) {
    UseFolderMounts();
    WatchedJob job;
    HeldArchiveReads held;  // the full backup's transfer never ends
    wz::ScopedFileSystem heldInstalled(held);
    int status = 0;
    const bool endedWhileHeld = held.RunWhileHeld([&] { (void)Run(job, kJob, &status); });
    EXPECT_TRUE(job.WaitForTransferLeftRunning(3600 * 1000));
    ASSERT_TRUE(endedWhileHeld);
    EXPECT_EQ(0, job.waits);
    EXPECT_EQ(0, LogRestores());
    EXPECT_EQ(std::vector<size_t>{0}, job.heldAtUnmount) << "both dumps were let go before the one unmount";
    ExpectEveryCountZero();
    ExpectNoMountOrMarker();
}

// After the first run the central server has nothing newer for the standby;
// a run whose storage then cannot be mounted applies nothing, and its
// database is reported failed with the cause, not restored.
TEST_F(HighAvailLiveSyncMounts, ARunWhoseStorageCannotBeMountedFailsItsDatabaseWithTheCause) {
    WatchedJob job;
    job.atWait = [&](int) {
        DumpOf(mpA, 4);
        root.WriteFile("media/mountsvc/" + std::to_string(kSubclient) + ".error", "4306");
        JXPlatformInfo().setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 0);  // the next run is the last
    };
    int status = 0;
    ASSERT_TRUE(Run(job, kJob, &status));
    ExpectTheSecondRunFailedSalesWithTheCause(job, status);
    ExpectEveryCountZero();
    ExpectNoMountOrMarker();
}

// The storage mounts, but one mount path is read-only: its loginfo.db cannot
// be locked. The new dump there is not listed, and the database is reported
// failed with the cause, not restored with nothing applied.
TEST_F(HighAvailLiveSyncMounts, ARunThatCannotLockAMountedLoginfoDbFailsItsDatabaseWithTheCause) {
    jxtest::FaultyFileSystem readOnly;
    wz::ScopedFileSystem readOnlyInstalled(readOnly);
    WatchedJob job;
    job.atWait = [&](int) {
        DumpOf(mpB, 4);
        // mpB is the second mount point of the subclient's folder.
        readOnly.FailCallOn("*/dump/" + std::to_string(kSubclient) + "/2/*", jxtest::FsCall::kOpen, 1, EROFS, true);
        JXPlatformInfo().setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 0);  // the next run is the last
    };
    int status = 0;
    ASSERT_TRUE(Run(job, kJob, &status));
    EXPECT_GT(readOnly.Fired(jxtest::FsCall::kOpen), 0);
    ExpectTheSecondRunFailedSalesWithTheCause(job, status);
    ExpectEveryCountZero();
    ExpectNoMountOrMarker();
}

// The storage mounts, but another writer holds one mount path's loginfo.db
// all through the run: the references cannot be taken there. The database
// is reported failed with the cause, not restored with nothing applied.
TEST_F(HighAvailLiveSyncMounts, ARunThatCannotTakeItsDumpsFromAMountedLoginfoDbFailsItsDatabaseWithTheCause) {
    std::unique_ptr<FX::CSQLite3DB> writer;
    WatchedJob job;
    job.atWait = [&](int) {
        DumpOf(mpB, 4);
        writer = std::make_unique<FX::CSQLite3DB>(CLogInfoDB(mpB, DB_LOCALITY_1MIN_RPO).GetFullDatabaseName());
        // Readers go on, writers are refused.
        writer->ExecDML(FX::CSQLite3Sql("BEGIN IMMEDIATE"));
        JXPlatformInfo().setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 0);  // the next run is the last
    };
    int status = 0;
    ASSERT_TRUE(Run(job, kJob, &status));
    ASSERT_NE(nullptr, writer);
    writer->ExecDML(FX::CSQLite3Sql("ROLLBACK"));
    writer.reset();
    ExpectTheSecondRunFailedSalesWithTheCause(job, status);
    ExpectEveryCountZero();
    ExpectNoMountOrMarker();
}

}  // namespace
