// Restores to a marked transaction of backups the backup jobs made: the mark
// the log job found in SQL Server is the one the restore stops at.
#include <ctime>
#include <string>
#include <vector>

#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/restore/RestoreAfterBackupJobs.h"

namespace {

class MarkRestoreTest : public RestoreAfterBackupJobs {
protected:
    void Change(uint32_t pages, uint64_t seed, const std::string& mark = "", int64_t timeMs = 0) {
        ASSERT_FALSE(SqlSimChanges(instance).Change({"Sales", pages, seed, mark, timeMs}).IsError());
    }
};

TEST_F(MarkRestoreTest, CopiesRestoredAtAndBeforeALoggedMarkEqualTheSourceThere) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(1, "-D", 1, {"-type", "1"}));
    Change(2, 1);
    const std::vector<std::string> beforeMark = Contents("Sales");
    // The mark's time is the point in time a user picking the mark restores to.
    const uint64_t markTime = static_cast<uint64_t>(std::time(nullptr));
    Change(1, 2, "price-update", static_cast<int64_t>(markTime) * 1000);
    const std::vector<std::string> atMark = Contents("Sales");
    Change(2, 3);
    ASSERT_TRUE(RunPhase(2, "-L", 1, {"-type", "2"}));
    ASSERT_FALSE(Contents("Sales") == atMark);

    JxServeRestoreTask at = TaskFor("Sales", "SalesAtMark");
    at.optionFlags = kRstStopAtMark;
    at.pointInTime = markTime;
    ASSERT_TRUE(RunRestore(3, at));
    EXPECT_TRUE(Contents("SalesAtMark") == atMark) << "the copy holds the marked change and nothing after it";

    JxServeRestoreTask before = TaskFor("Sales", "SalesBeforeMark");
    before.optionFlags = kRstStopBeforeMark;
    before.pointInTime = markTime;
    ASSERT_TRUE(RunRestore(4, before));
    EXPECT_TRUE(Contents("SalesBeforeMark") == beforeMark) << "the copy stops just before the marked change";
}

}  // namespace
