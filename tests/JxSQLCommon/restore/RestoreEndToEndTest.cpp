// Whole restore jobs over real backups: chains to a new name with
// relocation, points in time, standby and recovery-only follow-ups, and
// broken chains.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "EvTaskApiNet/EvTask.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxLib/JXGlobalParam.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimServerInfo.h"
#include "JxsqlDMO/SqlSimService.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/restore/HeldArchiveReads.h"
#include "tests/JxSQLCommon/restore/RestoreEndToEndFixture.h"

namespace {

using vditest::DatabaseState;

TEST_F(RestoreEndToEnd, FullDifferentialAndLogsToANewNameMatchTheSource) {
    const std::vector<std::string> before = Contents("Sales");
    Take('D', 100, 1000, 2);
    Change(5, 1);
    Take('I', 200, 2000);
    Change(3, 2);
    Take('L', 300, 3000);
    Change(4, 3);
    Take('L', 400, 4000);
    const std::vector<std::string> source = Contents("Sales");
    ASSERT_NE(source, before);

    RelocateToCopy();
    int status = 0;
    ASSERT_TRUE(Run(42, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(Contents("Copy"), source);
    EXPECT_EQ(Contents("Sales"), source);  // the source is untouched
    EXPECT_EQ(vditest::DataFiles(sim, "Copy")[0], root.File("moved/copy.mdf"));
}

TEST_F(RestoreEndToEnd, PointInTimeBetweenTwoLogsGivesTheContentAtThatTime) {
    Take('D', 100, 1000);
    Change(3, 1, 1500 * 1000LL);
    Take('L', 200, 2000);
    Change(2, 2, 2500 * 1000LL);
    const std::vector<std::string> atThreeThousand = Contents("Sales");
    Change(4, 3, 3500 * 1000LL);
    Take('L', 300, 4000);
    ASSERT_NE(Contents("Sales"), atThreeThousand);

    RelocateToCopy();
    task.optionFlags = kRstPointInTime;
    task.pointInTime = 3000;
    ASSERT_TRUE(Run(42));
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(Contents("Copy"), atThreeThousand);
}

// The instance's date format ("" when never set): the job writes the stop
// time in it and the instance reads it back the same way.
class PointInTimeUnderTheInstancesDateFormat : public RestoreEndToEnd,
                                               public ::testing::WithParamInterface<const char*> {};

TEST_P(PointInTimeUnderTheInstancesDateFormat, LandsBetweenTheChangesOfTheFifthAndTheSixthOfJanuary) {
    if (*GetParam() != '\0') {
        ASSERT_TRUE(SqlSimServerInfo(sim).SetProperty(SqlSimServerInfo::kDateFormat, GetParam()).IsSuccess());
    }
    constexpr int64_t kFourthNoon = 1767528000;  // 2026-01-04 12:00:00 UTC
    constexpr int64_t kHour = 3600;
    Take('D', 100, kFourthNoon);
    Change(3, 1, (kFourthNoon + 22 * kHour) * 1000);  // the 5th, 10:00
    const std::vector<std::string> onTheFifth = Contents("Sales");
    Change(4, 2, (kFourthNoon + 46 * kHour) * 1000);  // the 6th, 10:00
    Take('L', 200, kFourthNoon + 48 * kHour);
    ASSERT_NE(Contents("Sales"), onTheFifth);

    RelocateToCopy();
    task.optionFlags = kRstPointInTime;
    task.pointInTime = kFourthNoon + 30 * kHour;  // the 5th, 18:00
    int status = 0;
    ASSERT_TRUE(Run(42, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents("Copy") == onTheFifth) << "the copy is not Sales as it was on the 5th at 18:00";
}

INSTANTIATE_TEST_SUITE_P(DateFormats, PointInTimeUnderTheInstancesDateFormat,
                         ::testing::Values("", "mdy", "dmy", "ymd"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return *info.param == '\0' ? std::string("Unset") : std::string(info.param);
                         });

TEST_F(RestoreEndToEnd, StandbyKeepsItsUndoFileAndALaterJobAppliesTheNextLog) {
    // Backups end at real times: a later job asks for what ended after the
    // last restore of the database.
    const uint64_t now = static_cast<uint64_t>(std::time(nullptr));
    const std::vector<std::string> afterFirstLog = StandbyCopyAfterFirstLog();
    bool readOnly = false;
    EXPECT_EQ(DatabaseState(sim, "Copy", &readOnly), SQLDB_STATE_STANDBY);
    EXPECT_TRUE(readOnly);
    EXPECT_FALSE(vditest::ReadAll(root.File("moved/undo.dat")).empty());
    EXPECT_EQ(Contents("Copy"), afterFirstLog);

    Change(2, 2);
    Take('L', 300, now + 60);
    task.optionFlags = kRstStandby | kRstOverwrite;
    int status = 0;
    ASSERT_TRUE(Run(43, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_STANDBY);
    EXPECT_EQ(Contents("Copy"), Contents("Sales"));
}

TEST_F(RestoreEndToEnd, StandbyCopyWhoseConnectionCannotBeKilledFailsAndIsLeftAsItWas) {
    const uint64_t now = static_cast<uint64_t>(std::time(nullptr));
    const std::vector<std::string> afterFirstLog = StandbyCopyAfterFirstLog();
    ASSERT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_STANDBY);

    Change(2, 2);
    Take('L', 300, now + 60);
    ASSERT_TRUE(SqlSimServerInfo(sim).SetProperty(SqlSimServerInfo::kUnkillableConnection, "Copy").IsSuccess());
    task.optionFlags = kRstStandby | kRstOverwrite | kRstDropDbConnections;
    int status = 0;
    EXPECT_FALSE(Run(43, &status));
    EXPECT_EQ(status, 2);
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_STANDBY);
    EXPECT_TRUE(Contents("Copy") == afterFirstLog) << "the next log was not applied";
    auto causes =
        jobmanager::JobJournalReader::WithOp(jobmanager::JobJournalReader::Read(43).value(), "setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseDropConnections));
    ASSERT_FALSE(causes[0].List("args").empty());
    EXPECT_EQ(causes[0].List("args")[0], "Copy");
}

TEST_F(RestoreEndToEnd, RestoreToDiskWithARelativeOrUpwardLocationFailsWritingNothing) {
    Take('D', 100, 1000);
    // A relative location would resolve from the working folder: the test's
    // root, so that whatever a job wrote there is seen.
    char* previous = ::getcwd(nullptr, 0);
    ASSERT_NE(previous, nullptr);
    ASSERT_EQ(::chdir(root.path().c_str()), 0);
    uint64_t jobId = 42;
    for (const std::string& location : {std::string("relative/dump"), root.path() + "/dump/../elsewhere"}) {
        SCOPED_TRACE(location);
        ASSERT_TRUE(EvTask::setOption(jobId, 1301980323, "1"));  // restore to disk
        ASSERT_TRUE(EvTask::setOption(jobId, 13071208, location));
        int status = 0;
        EXPECT_FALSE(Run(jobId, &status));
        EXPECT_EQ(status, 2);
        ++jobId;
    }
    ASSERT_EQ(::chdir(previous), 0);
    ::free(previous);
    for (const char* folder : {"relative", "dump", "elsewhere"}) {
        EXPECT_FALSE(std::filesystem::exists(root.File(folder))) << folder << ": nothing written";
    }
}

TEST_F(RestoreEndToEnd, StandbyWithOnlyTheFullLeavesTheDatabaseInStandby) {
    Take('D', 100, 1000);
    const std::vector<std::string> atTheFull = Contents("Sales");
    Change(3, 1);
    Take('L', 200, 2000);
    RelocateToCopy();
    task.optionFlags = kRstStandby | kRstOnlyFull;
    task.standbyUndoFile = root.File("moved/undo.dat");
    int status = 0;
    ASSERT_TRUE(Run(42, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_STANDBY);
    EXPECT_EQ(Contents("Copy"), atTheFull);
}

TEST_F(RestoreEndToEnd, NoRecoveryThenARecoveryOnlyTaskEndsOnline) {
    Take('D', 100, 1000);
    Change(3, 1);
    Take('L', 200, 2000);
    RelocateToCopy();
    task.optionFlags = kRstNoRecovery;
    ASSERT_TRUE(Run(42));
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_RESTORING);

    task.optionFlags = kRstRecoveryOnly;
    int status = 0;
    ASSERT_TRUE(Run(43, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(Contents("Copy"), Contents("Sales"));
}

TEST_F(RestoreEndToEnd, GapBetweenLogsIsRefusedWithTheEngineText) {
    Take('D', 100, 1000);
    Change(3, 1);
    Take('L', 200, 2000);
    Change(3, 2);
    {
        // A log backup the central server never hears of leaves a gap.
        SqlDataTransferHandler handler(true, 250, 7, 2, "cs", 1, 0);
        ASSERT_TRUE(vditest::Backup(handler, "Sales", 'L', 1).ok);
        ASSERT_TRUE(handler.closePipeline(1, false));
    }
    Change(3, 3);
    Take('L', 300, 3000);

    RelocateToCopy();
    int status = 0;
    EXPECT_FALSE(Run(42, &status));
    EXPECT_EQ(status, 2);
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_RESTORING);
    auto causes = jobmanager::JobJournalReader::WithOp(jobmanager::JobJournalReader::Read(42).value(),
                                                       "setPendingCause");
    ASSERT_FALSE(causes.empty());
    EXPECT_EQ(causes.back().Get("cause"), jobmanager::JournalId(kCauseRestoreFailed));
    ASSERT_FALSE(causes.back().List("args").empty());
    EXPECT_NE(causes.back().List("args").back().find("too recent to apply"), std::string::npos)
        << causes.back().List("args").back();
}

TEST_F(RestoreEndToEnd, MasterRestoreRunsTheSingleUserServerAndBringsTheServiceBack) {
    SqlDataTransferHandler handler(true, 100, 7, 2, "cs", 1, 0);
    std::list<RestoreArchiveInfo> archives;
    ASSERT_TRUE(vditest::Backup(handler, "master", 'D', 1, &archives).ok);
    ASSERT_TRUE(handler.closePipeline(1, false));
    JxServeBackup b;
    b.instanceId = kInstanceId;
    b.database = "master";
    b.jobId = 100;
    b.applicationId = kSubclient;
    b.endTime = 1000;
    for (const RestoreArchiveInfo& a : archives) {
        b.archiveFiles.push_back({static_cast<uint32_t>(a.jxCellId), static_cast<uint32_t>(a.archiveFileId),
                                  a.offset, ""});
    }
    JxServePutBackup(b);

    task.databases = {"master"};
    task.optionFlags = kRstOverwrite;
    int status = 0;
    ASSERT_TRUE(Run(42, &status));
    EXPECT_EQ(status, 1);
    bool active = false;
    bool singleUser = true;
    ASSERT_TRUE(SqlSimService(sim).IsActive(active).IsSuccess());
    ASSERT_TRUE(SqlSimService(sim).IsSingleUser(singleUser).IsSuccess());
    EXPECT_TRUE(active);
    EXPECT_FALSE(singleUser);
    EXPECT_EQ(DatabaseState(sim, "master"), SQLDB_STATE_ONLINE);
    EXPECT_NE(root.ReadFile("chown.log").find("mssql:mssql"), std::string::npos);
    // Every process the job started has been reaped.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

// A job asked to stop while its log backup is transferred.
struct StopDuringTransferJob : CSQLRestoreBase {
    void initializeForPreDBRestore(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup) override {
        CSQLRestoreBase::initializeForPreDBRestore(db, backup);
        if (backup.backupType == kBackupTypeLog) JXJobCtrlClient::requestStop(m_jobId);
    }
};

size_t ThreadCount() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

class RestoreEndToEndLarge : public RestoreEndToEnd {
protected:
    void SetUp() override {
        dataSize = 32 * 1024 * 1024;
        RestoreEndToEnd::SetUp();
    }
};

TEST_F(RestoreEndToEndLarge, StopDuringTheTransferEndsTheJobKilledAndLeavesTheDatabaseRestoring) {
    JXGlobalParam::setProperty("RecoveryUpdateSecs_81", "1");
    Take('D', 100, 1000, 2);
    Change(2048, 1);  // 16 MiB of log: a transfer longer than the progress interval
    Take('L', 200, 2000);
    RelocateToCopy();
    const size_t threadsBefore = ThreadCount();
    StopDuringTransferJob job;
    int status = 0;
    EXPECT_FALSE(Run(job, 42, &status));
    EXPECT_EQ(status, 4);
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_RESTORING);
    EXPECT_EQ(ThreadCount(), threadsBefore);
    auto statuses = vditest::ReadAll(root.path() + "/jobresults/42/RestoreStatus.txt");
    EXPECT_EQ(statuses, "3\tCopy\n");
}

struct LeftTransferJob : CSQLRestoreBase {
    using CSQLRestoreBase::WaitForTransferLeftRunning;
};

TEST_F(RestoreEndToEnd, ATransferThatNeverEndsFailsItsDatabaseSkipsTheRestAndTheJobStillEnds) {
    StandbyCopiesOfSalesAndHr();
    task.optionFlags = 0;
    TakeOf("Sales", 'D', 100);
    TakeOf("Hr", 'D', 101);
    HeldArchiveReads held;
    wz::ScopedFileSystem installed(held);
    LeftTransferJob job;
    int status = 0;
    const bool endedWhileHeld = held.RunWhileHeld([&] { (void)Run(job, 42, &status); });
    EXPECT_TRUE(job.WaitForTransferLeftRunning(3600 * 1000));
    ASSERT_TRUE(endedWhileHeld);
    EXPECT_EQ(status, 2);  // nothing was restored
    EXPECT_EQ(vditest::ReadAll(root.path() + "/jobresults/42/RestoreStatus.txt"), "3\tSalesDR\n4\tHrDR\n");
    auto causes = jobmanager::JobJournalReader::WithOp(
        jobmanager::JobJournalReader::Read(42).value_or(std::vector<jobmanager::JournalEntry>{}), "setPendingCause");
    ASSERT_FALSE(causes.empty());
    EXPECT_EQ(causes.front().Get("cause"), jobmanager::JournalId(kCauseVdiTimeout));
    EXPECT_EQ(DatabaseState(sim, "HrDR"), -1);  // never touched
}

}  // namespace
