// Whole live-sync jobs that read the dumps from loginfo.db: the rows after
// the standby's last restore are taken (also where the LSN gains a digit),
// each is released once restored and the rest at the end of the job; a
// mount path without loginfo.db makes the run walk the file system.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

#include "JxsqlDMO/SqlDbState.h"
#include "tests/JxSQLCommon/dump/HighAvailLiveSyncFixture.h"

namespace {

using vditest::DatabaseState;

// Whether the dump `bak` (reached through any mount point) lies in `folder`.
bool IsIn(const std::string& bak, const std::string& folder) {
    std::error_code ec;
    return std::filesystem::canonical(bak, ec).parent_path() == std::filesystem::canonical(folder, ec);
}

TEST_F(HighAvailLiveSyncJob, RowsAfterTheStandbysLastLSNAreTakenReleasedAndEveryCountEndsWhereItStarted) {
    TakeOf("Sales", 'D', 100);
    std::vector<std::string> dumps = {DumpOf(mpA, 2), DumpOf(mpB, 3)};
    // Another job already holds the first dump.
    {
        CLogInfoDB db(mpA, DB_LOCALITY_1MIN_RPO);
        int64_t changed = 0;
        ASSERT_FALSE(db.Update("Logs", "ReferenceCount = 2", changed, "").IsError());
    }
    const std::map<std::string, int64_t> start = AllCounts();

    HookedHighAvail job;
    std::map<std::string, int64_t> heldAtRestore;  // the count of each dump's row as it is restored
    std::map<std::string, int64_t> countsAtWait1;
    std::vector<std::string> atLastDump;
    std::string shortLSN, longLSN;
    // The job restores through its mount points; the rows are known by the
    // dumps' own paths.
    job.beforeRestore = [&](const std::string& bak) {
        const std::string real = std::filesystem::canonical(bak).string();
        heldAtRestore[real] = AllCounts()[real];
    };
    job.atWait = [&](int wait) {
        if (wait == 1) {
            EXPECT_TRUE(job.LogInfoDbOnAllPaths());
            EXPECT_EQ(2, LogRestores());
            countsAtWait1 = AllCounts();
            dumps.push_back(DumpOf(mpA, 4));
            shortLSN = LastLSNOf(mpA, dumps.back());
            Change(static_cast<uint32_t>(std::max(1, 10000 - std::stoi(shortLSN))), 9);
            dumps.push_back(DumpOf(mpB, 5));
            longLSN = LastLSNOf(mpB, dumps.back());
            Ghost(mpA);
            atLastDump = Contents("Sales");
        }
        // The window is read again after each run; one of 0 hours is one run.
        if (wait == 2) {
            ASSERT_NE(0, JXPlatformInfo().setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 0));
        }
        Change(1, 100 + wait);  // after the last dump: never restored
    };
    int status = 0;
    ASSERT_TRUE(Run(job, kJob, &status));
    ASSERT_EQ(job.waits, 2);
    EXPECT_EQ(1, status);
    ASSERT_EQ(4u, shortLSN.size()) << shortLSN;
    ASSERT_EQ(5u, longLSN.size()) << longLSN;
    EXPECT_EQ(4, LogRestores()) << "the dump whose LSN gained a digit was applied";
    EXPECT_TRUE(atLastDump == Contents("SalesDR"));
    EXPECT_EQ(SQLDB_STATE_STANDBY, DatabaseState(sim, "SalesDR"));

    // Each dump was held by this job (one reference) while it was restored,
    // and released right after.
    for (std::string bak : dumps) {
        bak = std::filesystem::canonical(bak).string();
        EXPECT_EQ((start.count(bak) != 0 ? start.at(bak) : 0) + 1, heldAtRestore[bak]) << bak;
    }
    EXPECT_EQ(start, countsAtWait1);
    // After the job every count is where it started, the ghost's too.
    std::map<std::string, int64_t> end = AllCounts();
    const std::string ghost = std::filesystem::weakly_canonical(mpA + "/ghost.bak").string();
    ASSERT_EQ(1u, end.count(ghost));
    EXPECT_EQ(0, end[ghost]);
    for (const auto& [bak, count] : end) EXPECT_EQ(start.count(bak) != 0 ? start.at(bak) : 0, count) << bak;
    EXPECT_EQ(0u, job.HeldReferences());
    ExpectNoMountOrMarker();
}

TEST_F(HighAvailLiveSyncJob, AFailedReleaseKeepsTheRestoreAndIsRetriedAtTheEndOfTheJob) {
    TakeOf("Sales", 'D', 100);
    DumpOf(mpA, 2);
    DumpOf(mpB, 3);
    JXPlatformInfo().setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 0);
    HookedHighAvail job;
    const std::string away = root.File("loginfo.away");
    // While mpA's dump is restored its loginfo.db is away: the release fails.
    job.beforeRestore = [&](const std::string& bak) {
        if (IsIn(bak, mpA)) {
            ASSERT_EQ(0, ::rename((mpA + "/loginfo.db").c_str(), away.c_str()));
        }
    };
    int64_t heldAfterFailedRelease = -1;
    job.afterRestore = [&](const std::string& bak) {
        if (IsIn(bak, mpA)) {
            ASSERT_EQ(0, ::rename(away.c_str(), (mpA + "/loginfo.db").c_str()));
            heldAfterFailedRelease = Counts(mpA).begin()->second;
        }
    };
    int status = 0;
    ASSERT_TRUE(Run(job, kJob, &status));
    EXPECT_EQ(1, status);
    EXPECT_EQ(2, LogRestores());
    EXPECT_EQ(1, heldAfterFailedRelease);
    for (const auto& [bak, count] : AllCounts()) EXPECT_EQ(0, count) << bak;
}

// What the job still holds when its last run ends is released before that
// run unmounts: through the mounts, whatever kind they are.
TEST_F(HighAvailLiveSyncJob, TheLastRunReleasesWhatItStillHoldsBeforeItUnmounts) {
    struct UnmountWatchingJob : HighAvailLiveSync {
        using HighAvailLiveSync::UnMountAll;
        CWzError UnMountAll() override {
            heldAtUnmount.push_back(HeldReferences());
            return HighAvailLiveSync::UnMountAll();
        }
        std::vector<size_t> heldAtUnmount;
    };
    TakeOf("Sales", 'D', 100);
    DumpOf(mpA, 2);
    DumpOf(mpB, 3);  // both paths carry loginfo.db
    Ghost(mpA);
    JXPlatformInfo().setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 0);
    UnmountWatchingJob job;
    int status = 0;
    ASSERT_TRUE(Run(job, kJob, &status));
    EXPECT_EQ(1, status);
    EXPECT_TRUE(job.LogInfoDbOnAllPaths());
    EXPECT_EQ(2, LogRestores());
    ASSERT_FALSE(job.heldAtUnmount.empty());
    EXPECT_EQ(0u, job.heldAtUnmount.back()) << "the ghost's reference was let go before the unmount";
    for (const auto& [bak, count] : AllCounts()) EXPECT_EQ(0, count) << bak;
}

TEST_F(HighAvailLiveSyncJob, APathWithoutLogInfoMakesTheRunWalkTheFileSystemAndCreatesNone) {
    TakeOf("Sales", 'D', 100);
    DumpOf(mpA, 2);
    DumpOf(mpB, 3);
    DumpOf(mpA, 4);
    ASSERT_EQ(0, ::unlink((mpB + "/loginfo.db").c_str()));
    (void)::unlink((mpB + "/loginfo.db.lock").c_str());  // may not be there
    const std::vector<std::string> atLastDump = Contents("Sales");
    JXPlatformInfo().setNumber("MSSQLAgent", "LiveSyncHoursToStayAlive", 0);
    HighAvailLiveSync job;
    int status = 0;
    ASSERT_TRUE(Run(job, kJob, &status));
    EXPECT_EQ(1, status);
    EXPECT_FALSE(job.LogInfoDbOnAllPaths());
    EXPECT_EQ(3, LogRestores());
    EXPECT_TRUE(atLastDump == Contents("SalesDR"));
    EXPECT_FALSE(std::filesystem::exists(mpB + "/loginfo.db"));
    for (const auto& [name, count] : Counts(mpA)) EXPECT_EQ(0, count) << name;  // not touched
    ExpectNoMountOrMarker();
}

}  // namespace
