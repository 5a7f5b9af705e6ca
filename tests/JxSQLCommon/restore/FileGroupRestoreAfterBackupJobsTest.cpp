// A file-group restore of what backup jobs stored, with nothing told to the
// central server but what the jobs sent: the first restore after the backups
// finds them and brings a damaged group back to the last log.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/restore/RestoreAfterBackupJobs.h"

namespace {

using vditest::DatabaseState;

class FileGroupRestoreAfterBackupJobs : public RestoreAfterBackupJobs {
protected:
    void SetUp() override {
        RestoreAfterBackupJobs::SetUp();
        MakeDatabases({"Sales"});
        ASSERT_FALSE(instance.AddFileGroup("Sales", "FG2").IsError());
        ASSERT_TRUE(vditest::AddDataFile(instance, "Sales", "PRIMARY", "Sales2"));
        ASSERT_TRUE(vditest::AddDataFile(instance, "Sales", "FG2", "Sales3"));
    }

    void Change(uint64_t seed) { ASSERT_FALSE(SqlSimChanges(instance).Change({"Sales", 6, seed, "", 0}).IsError()); }

    std::vector<std::string> Contents() { return RestoreAfterBackupJobs::Contents("Sales"); }

    void Damage(const std::string& logicalName) { RestoreAfterBackupJobs::Damage("Sales", logicalName); }

    bool Restore(const std::string& name, uint64_t jobId, int* status, uint64_t pointInTime = 0) {
        return RestoreFileGroup("Sales", name, jobId, status, pointInTime);
    }

    // Backup job `jobId` of Sales, of `phase` "-D", "-I" or "-L".
    void Backup(uint64_t jobId, const std::string& phase) {
        ASSERT_TRUE(RunPhase(jobId, phase, 1, jxtest::LevelOf(phase)));
    }

    // The per-database lines of restore job `jobId`'s status file.
    std::string RestoreStatus(uint64_t jobId) {
        return root.ReadFile("jobresults/" + std::to_string(jobId) + "/RestoreStatus.txt");
    }
};

// The first restore after the jobs finds their backups; each backup tells
// its file groups, so a name that is no group of it is restored as a file.
TEST_F(FileGroupRestoreAfterBackupJobs, DamagedGroupAndFileComeBackToTheLastLog) {
    ASSERT_TRUE(RunPhase(42, "-D", 1, {"-type", "1"}));
    Change(1);
    ASSERT_TRUE(RunPhase(43, "-L", 1, {"-type", "2"}));
    Change(2);
    ASSERT_TRUE(RunPhase(44, "-L", 1, {"-type", "2"}));
    const std::vector<std::string> source = Contents();

    Damage("Sales3");
    ASSERT_FALSE(Contents() == source);
    int status = 0;
    EXPECT_TRUE(Restore("FG2", 60, &status));
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Contents() == source) << "the group is back at the last log, the other files as they were";

    Damage("Sales2");
    ASSERT_FALSE(Contents() == source);
    EXPECT_TRUE(Restore("Sales2", 61, &status));
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Contents() == source) << "the file of the primary group is back at the last log";
}

// Two weeks of a weekly full with a daily differential: the group comes back
// from the second week's full and differential and the log after them, and
// the first week's backups are not in its chain.
TEST_F(FileGroupRestoreAfterBackupJobs, AGroupComesBackFromTheLatestWeekOfFullsAndDifferentials) {
    Backup(42, "-D");
    Change(1);
    Backup(43, "-I");
    Change(2);
    Backup(44, "-L");
    Change(3);
    Backup(45, "-D");
    Change(4);
    Backup(46, "-I");
    const uint64_t pause = static_cast<uint64_t>(std::time(nullptr));  // no change after the differential
    Backup(47, "-L");
    const std::vector<std::string> source = Contents();

    Damage("Sales3");
    int status = 0;
    EXPECT_TRUE(Restore("FG2", 60, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents() == source);

    Damage("Sales3");
    EXPECT_TRUE(Restore("FG2", 61, &status, pause));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents() == source) << "nothing changed after the point";
}

// A damaged group of a live database whose latest changes are in no backup:
// restored now, it could never be brought level with them, and every road
// back would end at the last log backup. The restore asks for a log backup
// and leaves the database as it was; once a log job took the tail, the same
// restore brings the group back with those changes.
TEST_F(FileGroupRestoreAfterBackupJobs, ALogTailNotBackedUpIsAskedForBeforeTheDatabaseIsTouched) {
    Backup(42, "-D");
    Change(1);
    Backup(43, "-L");
    Change(2);
    Change(3);
    const std::vector<std::string> source = Contents();
    Damage("Sales3");
    const std::vector<std::string> damaged = Contents();

    int status = 0;
    EXPECT_FALSE(Restore("FG2", 60, &status));
    EXPECT_EQ(status, 2);
    EXPECT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents() == damaged) << "nothing is restored";
    bool asked = false;
    for (const auto& cause : Journal(60, "setPendingCause")) {
        asked |= cause.Get("cause") == jobmanager::JournalId(kCauseLogTailNotBackedUp) &&
                 cause.List("args") == std::vector<std::string>{
                                           "Backup of the current transaction log is required "
                                           "before running a File/File Group restore."};
    }
    EXPECT_TRUE(asked);
    EXPECT_NE(RestoreStatus(60).find("3\tSales"), std::string::npos) << RestoreStatus(60);

    Backup(44, "-L");
    EXPECT_TRUE(Restore("FG2", 61, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents() == source) << "the group is back with the changes the tail held";
}

}  // namespace
