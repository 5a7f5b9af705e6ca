// Backups after a restore: a database restored to a point in time, or any
// database of an instance whose system database was restored, is backed up
// in full next, as the central server learnt of the restore from the
// restore job itself.
#include <ctime>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/restore/RestoreAfterBackupJobs.h"

namespace {

using JobManager::SQLStatusTab;

class ConversionAfterRestoreTest : public RestoreAfterBackupJobs {
protected:
    void SetUp() override {
        RestoreAfterBackupJobs::SetUp();
        AppModel::Set("subclient/1234", "sqlSubclientType", "1");
        AppModel::Set("subclient/1234", "bkpConversion", "1");
    }

    void Change(uint32_t pages, uint64_t seed, int64_t timeMs = 0) {
        ASSERT_FALSE(SqlSimChanges(instance).Change({"Sales", pages, seed, "", timeMs}).IsError());
    }

    // Checks that job `jobId`, at `level`, converted Sales to full for
    // `reason` with event `id`, and backed none of it up at that level.
    void ExpectSalesConverted(uint64_t jobId, const std::string& level, int id, const std::string& reason) {
        SCOPED_TRACE("job " + std::to_string(jobId));
        EXPECT_TRUE(jxtest::JobAnnounced(jobId, id));
        EXPECT_EQ(Journal(jobId, "convertToFull").size(), 1u);
        EXPECT_NE(root.ReadFile("jobresults/" + std::to_string(jobId) + "/FullDBList.jxf").find("Sales"),
                  std::string::npos);
        EXPECT_EQ(StatusRows(jobId)["Sales"].getstring(SQLStatusTab::kReason),
                  "The [" + level + "] Backup of [Sales] " + reason);
        EXPECT_EQ(jxtest::StoredSetTypes(jobId, "Sales"), "");
    }
};

constexpr const char* kPointInTimeReason = "is converted to full because there was a PIT/TM restore done for this database.";
constexpr const char* kSystemReason = "is converted to full because SYSTEM DATABASE was restored.";

TEST_F(ConversionAfterRestoreTest, BackupsAfterAnInPlacePointInTimeRestoreAreFullUntilAFullIsStored) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(1, "-D", 1, {"-type", "1"}));
    const uint64_t pointInTime = static_cast<uint64_t>(std::time(nullptr)) + 2;
    Change(2, 1, static_cast<int64_t>(pointInTime - 1) * 1000);
    const std::vector<std::string> atPointInTime = Contents("Sales");
    Change(2, 2, static_cast<int64_t>(pointInTime + 1) * 1000);
    ASSERT_TRUE(RunPhase(2, "-L", 1, {"-type", "2"}));
    ASSERT_EQ(jxtest::StoredSetTypes(2, "Sales"), "L");

    JxServeRestoreTask task = TaskFor("Sales");
    task.optionFlags = kRstPointInTime | kRstOverwrite;
    task.pointInTime = pointInTime;
    ASSERT_TRUE(RunRestore(3, task));
    ASSERT_TRUE(Contents("Sales") == atPointInTime);

    Change(1, 3);
    ASSERT_TRUE(RunPhase(4, "-L", 1, {"-type", "2"}));
    ExpectSalesConverted(4, "Transaction Log", kEventPointInTimeRestored, kPointInTimeReason);
    ASSERT_TRUE(RunPhase(5, "-I", 1, {"-type", "4"}));
    ExpectSalesConverted(5, "Differential", kEventPointInTimeRestored, kPointInTimeReason);

    // The full phase the conversion asked for is the backup the next ones build on.
    ASSERT_TRUE(RunPhase(5, "-D", 1, {"-type", "4"}));
    EXPECT_EQ(jxtest::StoredSetTypes(5, "Sales"), "D");
    Change(1, 4);
    ASSERT_TRUE(RunPhase(6, "-L", 1, {"-type", "2"}));
    EXPECT_FALSE(jxtest::JobAnnounced(6, kEventPointInTimeRestored));
    EXPECT_EQ(jxtest::StoredSetTypes(6, "Sales"), "L");
}

TEST_F(ConversionAfterRestoreTest, ARestoredSystemDatabaseMakesTheNextBackupOfEveryDatabaseFull) {
    MakeDatabases({"Sales"});
    AppModel::Set("subclient/1234", "property118_2", "msdb");
    ASSERT_TRUE(RunPhase(1, "-D", 1, {"-type", "1"}));
    ASSERT_EQ(jxtest::StoredSetTypes(1, "msdb"), "D");

    JxServeRestoreTask task = TaskFor("msdb");
    task.optionFlags = kRstOverwrite;
    ASSERT_TRUE(RunRestore(2, task));

    Change(1, 1);
    ASSERT_TRUE(RunPhase(3, "-L", 1, {"-type", "2"}));
    ExpectSalesConverted(3, "Transaction Log", kEventSystemDbRestored, kSystemReason);
    EXPECT_EQ(jxtest::StoredSetTypes(3, "msdb"), "") << "the restored database itself is converted too";
}

}  // namespace
