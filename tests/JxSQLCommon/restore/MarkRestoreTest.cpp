// Restores to a marked transaction of backups the backup jobs made: the mark
// the log job found in SQL Server is the one the restore stops at.
#include <ctime>
#include <string>
#include <vector>

#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/restore/RestoreAfterBackupJobs.h"
#include "tests/support/ScopedTimeZone.h"
#include "tests/support/WallSecond.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

class MarkRestoreTest : public RestoreAfterBackupJobs {
protected:
    void Change(uint32_t pages, uint64_t seed, const std::string& mark = "", int64_t timeMs = 0) {
        ASSERT_FALSE(SqlSimChanges(instance).Change({"Sales", pages, seed, mark, timeMs}).IsError());
    }

    // A marked change in a second after every earlier mark: its time.
    int64_t ChangeMarked(uint64_t seed, const std::string& mark) {
        jxtest::AwaitSecondAfter();
        const int64_t markTime = static_cast<int64_t>(std::time(nullptr));
        Change(1, seed, mark, markTime * 1000);
        return markTime;
    }

    // Restores Sales as job `jobId` with `flags` to the mark of `markTime`, as
    // `newName` (in place when empty): whether it completed.
    bool RestoreToMark(uint64_t jobId, uint64_t flags, int64_t markTime, const std::string& newName) {
        JxServeRestoreTask task = TaskFor("Sales", newName);
        task.optionFlags = flags;
        task.pointInTime = static_cast<uint64_t>(markTime);
        return RunRestore(jobId, task);
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

// Two marked transactions of one name, in two log backups or in one (the
// parameter); the job writes the mark's time in local time, here five hours
// behind UTC.
class RepeatedMarkTest : public MarkRestoreTest, public ::testing::WithParamInterface<bool> {
protected:
    jxtest::ScopedTimeZone zone{"EST5"};
};

TEST_P(RepeatedMarkTest, EachRestoreReachesTheMarkOfItsTime) {
    const bool oneLog = GetParam();
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(1, "-D", 1, {"-type", "1"}));
    Change(2, 1);
    const int64_t first = ChangeMarked(2, "release");
    const std::vector<std::string> atFirst = Contents("Sales");
    Change(2, 3);
    if (!oneLog) {
        ASSERT_TRUE(RunPhase(2, "-L", 1, {"-type", "2"}));
    }
    const std::vector<std::string> beforeSecond = Contents("Sales");
    const int64_t second = ChangeMarked(4, "release");
    const std::vector<std::string> atSecond = Contents("Sales");
    Change(2, 5);
    ASSERT_TRUE(RunPhase(3, "-L", 1, {"-type", "2"}));

    struct Case {
        const char* copy;
        uint64_t flags;
        int64_t markTime;
        const std::vector<std::string>& contents;
    };
    const Case cases[] = {{"AtSecond", kRstStopAtMark, second, atSecond},
                          {"BeforeSecond", kRstStopBeforeMark, second, beforeSecond},
                          {"AtFirst", kRstStopAtMark, first, atFirst}};
    uint64_t jobId = 10;
    for (const Case& c : cases) {
        EXPECT_TRUE(RestoreToMark(jobId++, c.flags, c.markTime, c.copy)) << c.copy;
        EXPECT_TRUE(Contents(c.copy) == c.contents) << c.copy;
    }
}

INSTANTIATE_TEST_SUITE_P(Logs, RepeatedMarkTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "OneLog" : "TwoLogs"; });

TEST_F(MarkRestoreTest, AMarkMadeAfterARestoreToAnOlderPointReachesTheCentralServer) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(RunPhase(1, "-D", 1, {"-type", "1"}));
    Change(2, 1);
    const int64_t first = ChangeMarked(2, "M1");
    Change(2, 3);
    ASSERT_TRUE(RunPhase(2, "-L", 1, {"-type", "2"}));
    ASSERT_TRUE(RestoreToMark(3, kRstStopBeforeMark | kRstOverwrite, first, ""));

    // A new recovery path: its LSNs run below the mark the central server has.
    ASSERT_TRUE(RunPhase(4, "-D", 1, {"-type", "1"}));
    const int64_t second = ChangeMarked(4, "M2");
    const std::vector<std::string> atSecond = Contents("Sales");
    Change(2, 5);
    ASSERT_TRUE(RunPhase(5, "-L", 1, {"-type", "2"}));
    std::vector<std::string> sent;
    for (const JxServeLogMark& m : JxServeLogMarks(kInstanceId, "Sales")) sent.push_back(m.markName);
    EXPECT_EQ(sent, (std::vector<std::string>{"M1", "M2"}));

    ASSERT_TRUE(RestoreToMark(6, kRstStopAtMark, second, "AtM2"));
    EXPECT_TRUE(Contents("AtM2") == atSecond);
}

}  // namespace
