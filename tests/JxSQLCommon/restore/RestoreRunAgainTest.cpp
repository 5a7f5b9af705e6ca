// Restores that go on from where an earlier one left Sales: run again after
// a failure, continued after a restore into STANDBY or NORECOVERY. Each one
// that goes on is offered the backups from the point the database was
// restored to, the one the stop fell inside included. A restore killed while
// it places its files, and two restores running at once.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxProcess.h"
#include "JxSQLVDIBase/VdiTestHold.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "tests/JxSQLCommon/restore/SalesRestoreJobs.h"
#include "tests/support/WallSecond.h"

namespace {

using vditest::DatabaseState;

class RestoreRunAgain : public SalesRestoreJobs {
protected:
    // Jobs 50 to 52 with a point in time inside log 52 (`point`, seconds):
    // Sales's contents at the point; the changes around it bear times before
    // and after it.
    std::vector<std::string> PointInsideTheSecondLog(uint64_t& point) {
        FullAndLog();
        Change(3, pastMs + 2000);
        jxtest::AwaitSecondAfter();  // the point comes after log 51's end
        point = static_cast<uint64_t>(std::time(nullptr));
        const std::vector<std::string> atThePoint = Contents("Sales");
        jxtest::AwaitSecondAfter(point);  // log 52 ends after the point
        Change(4, static_cast<int64_t>(point + 5) * 1000);
        EXPECT_EQ(Backup(52, "-L"), "1");
        return atThePoint;
    }

    // Jobs 50 to 52 with a marked change "price-update" inside log 52:
    // Sales's contents just before and at the mark, and the mark's time.
    void MarkInsideTheSecondLog(std::vector<std::string>& beforeMark, std::vector<std::string>& atMark,
                                uint64_t& markTime) {
        ASSERT_NO_FATAL_FAILURE(FullAndLog());
        Change(3);
        beforeMark = Contents("Sales");
        jxtest::AwaitSecondAfter();  // the mark comes after log 51's end
        markTime = static_cast<uint64_t>(std::time(nullptr));
        ChangeMarked(4, "price-update", static_cast<int64_t>(markTime) * 1000);
        atMark = Contents("Sales");
        jxtest::AwaitSecondAfter(markTime);  // log 52 ends after the mark
        Change(5);
        EXPECT_EQ(Backup(52, "-L"), "1");
    }

    // Checks that each copy is in STANDBY holding what it was restored to;
    // then one more log (job 53), and restore jobs from `firstJobId` on
    // bring each copy to the latest time, ONLINE and equal to Sales.
    void OneMoreLogThenTheLatest(const std::vector<std::pair<std::string, std::vector<std::string>>>& copies,
                                 uint64_t firstJobId) {
        for (const auto& [copy, atTheStop] : copies) {
            bool readOnly = false;
            EXPECT_EQ(DatabaseState(instance, copy, &readOnly), SQLDB_STATE_STANDBY) << copy;
            EXPECT_TRUE(readOnly) << copy;
            EXPECT_TRUE(Contents(copy) == atTheStop) << copy << " stops where it was asked to";
        }
        jxtest::AwaitSecondAfter();  // log 53 ends after the restores
        Change(9);
        ASSERT_EQ(Backup(53, "-L"), "1");
        uint64_t jobId = firstJobId;
        for (const auto& copy : copies) {
            EXPECT_EQ(Restore(jobId, SalesTask(kRstOverwrite, copy.first)), 1) << CauseTexts(jobId);
            ExpectOnlineHolding(copy.first, Contents("Sales"));
            ++jobId;
        }
    }

    // Runs restore job `jobId` of `task` as its program does, with the kill
    // switch of `target` set: the program is killed once it has put the
    // first file in place.
    void RestoreKilledAtItsFirstFile(uint64_t jobId, const JxServeRestoreTask& task, const std::string& target) {
        // The program has no fake account: the copy's folder goes to the
        // test's own user, which already owns it.
        const passwd* me = ::getpwuid(::geteuid());
        ASSERT_NE(me, nullptr);
        account.knownUser = me->pw_name;
        JXPlatformInfo().setString("MSSQLAgent", "sSQLServerUser", account.knownUser);
        root.WriteFile("vdi/kill/" + target, "");
        JxServePutRestoreTask(kTask, task);
        const std::string job = std::to_string(jobId);
        std::string output, error;
        EXPECT_EQ(JxProcess::system(std::string(JX_RESTORE_PROGRAM) + " -j " + job + " -token " + job + ":1:1 -rt 77",
                                    output, error, 30000),
                  -1)
            << error;
        EXPECT_FALSE(std::filesystem::exists(root.path() + "/vdi/kill/" + target)) << "the switch was not reached";
    }
};

// A read of log 52's archive file fails while Sales is restored in place:
// the job fails naming the file and leaves Sales RESTORING at log 51. Run
// while another statement holds Sales, it is refused and changes nothing.
// Once the file reads again, the same restore goes on from log 52.
TEST_F(RestoreRunAgain, AFailedInPlaceRestoreRunsAgainOnceTheArchiveFileReads) {
    FullAndTwoLogs();
    const std::vector<std::string> source = Contents("Sales");
    Change(9);  // after the last backup: the restore discards it
    EXPECT_EQ(RestoreWhileUnreadable(60, SalesTask(kRstOverwrite), 52), 2);
    EXPECT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_RESTORING);
    {
        // A hold of its own on Sales, as another process's statement has it.
        SqlSimDatabaseHold other;
        std::string error;
        ASSERT_EQ(other.Take(instance.Location(), "Sales", SqlSimDatabaseHold::Mode::kExclusive, error),
                  SqlSimDatabaseHold::Result::kTaken)
            << error;
        const std::vector<std::string> atLog51 = Contents("Sales");
        EXPECT_EQ(Restore(61, SalesTask(kRstOverwrite)), 2);
        EXPECT_NE(CauseTexts(61).find(SqlSimDatabaseHold::kInUseText), std::string::npos) << CauseTexts(61);
        EXPECT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_RESTORING);
        EXPECT_TRUE(Contents("Sales") == atLog51);
    }

    EXPECT_EQ(Restore(62, SalesTask(kRstOverwrite)), 1) << CauseTexts(62);
    ExpectOnlineHolding("Sales", source);
}

// A restore to a point inside log 52 fails reading log 52: the copy stays
// RESTORING at log 51's end, short of the point. Once the file reads, the
// restore continued to the latest time goes on from log 52.
TEST_F(RestoreRunAgain, ACopyWhoseRestoreFailedShortOfItsPointGoesOnFromWhereItStopped) {
    uint64_t point = 0;
    PointInsideTheSecondLog(point);
    EXPECT_EQ(RestoreWhileUnreadable(60, SalesTask(kRstStandby | kRstPointInTime, "SalesDR", point), 52), 2);
    EXPECT_EQ(DatabaseState(instance, "SalesDR"), SQLDB_STATE_RESTORING);

    EXPECT_EQ(Restore(61, SalesTask(kRstOverwrite, "SalesDR")), 1) << CauseTexts(61);
    ExpectOnlineHolding("SalesDR", Contents("Sales"));
}

// STANDBY as a new name to a point inside log 52, one more log, then the
// latest: the restore to the latest time takes log 52 again from the point.
TEST_F(RestoreRunAgain, StandbyCopyAtAPointInsideALogGoesOnToTheLatest) {
    uint64_t point = 0;
    const std::vector<std::string> atThePoint = PointInsideTheSecondLog(point);
    ASSERT_EQ(Restore(60, SalesTask(kRstStandby | kRstPointInTime, "SalesDR", point)), 1) << CauseTexts(60);
    OneMoreLogThenTheLatest({{"SalesDR", atThePoint}}, 61);
}

// The same with copies stopped at and just before a mark inside log 52.
TEST_F(RestoreRunAgain, StandbyCopiesAtAndBeforeAMarkInsideALogGoOnToTheLatest) {
    std::vector<std::string> beforeMark, atMark;
    uint64_t markTime = 0;
    ASSERT_NO_FATAL_FAILURE(MarkInsideTheSecondLog(beforeMark, atMark, markTime));
    ASSERT_EQ(Restore(60, SalesTask(kRstStandby | kRstStopAtMark, "SalesAtMark", markTime)), 1) << CauseTexts(60);
    ASSERT_EQ(Restore(61, SalesTask(kRstStandby | kRstStopBeforeMark, "SalesBeforeMark", markTime)), 1)
        << CauseTexts(61);
    OneMoreLogThenTheLatest({{"SalesAtMark", atMark}, {"SalesBeforeMark", beforeMark}}, 62);
}

// NORECOVERY as a new name after a full and two logs; two more logs; the
// restore continued with OVERWRITE takes only those two.
TEST_F(RestoreRunAgain, NoRecoveryCopyContinuedWithOverwriteAfterTwoMoreLogs) {
    FullAndTwoLogs();
    ASSERT_EQ(Restore(60, SalesTask(kRstNoRecovery, "Copy")), 1) << CauseTexts(60);
    EXPECT_EQ(DatabaseState(instance, "Copy"), SQLDB_STATE_RESTORING);
    jxtest::AwaitSecondAfter();
    for (uint64_t jobId : {53, 54}) {
        Change(jobId);
        ASSERT_EQ(Backup(jobId, "-L"), "1");
    }
    EXPECT_EQ(Restore(61, SalesTask(kRstOverwrite, "Copy")), 1) << CauseTexts(61);
    ExpectOnlineHolding("Copy", Contents("Sales"));
}

// NORECOVERY after a full and a log; a new full and a log; continued: the
// log runs on across the new full.
TEST_F(RestoreRunAgain, NoRecoveryCopyContinuedAcrossANewFull) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    ASSERT_EQ(Restore(60, SalesTask(kRstNoRecovery, "Copy")), 1) << CauseTexts(60);
    jxtest::AwaitSecondAfter();
    Change(3);
    ASSERT_EQ(Backup(52, "-D"), "1");
    Change(4);
    ASSERT_EQ(Backup(53, "-L"), "1");
    EXPECT_EQ(Restore(61, SalesTask(kRstOverwrite, "Copy")), 1) << CauseTexts(61);
    ExpectOnlineHolding("Copy", Contents("Sales"));
}

// Two restores of Sales as new names at once, one held while it records
// its recovery and the other run whole meanwhile: neither meets the other's
// catalogue writes as a failure, and both copies equal Sales.
TEST_F(RestoreRunAgain, TwoRestoresAsNewNamesAtOnceBothComplete) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    int first = 0;
    int second = 0;
    {
        VdiTestHold recovering(VdiTestPoint::kRecovering, 1);
        std::thread copyA([&] { first = Restore(60, SalesTask(0, "CopyA")); });
        const bool held = recovering.WaitHeld();
        if (held) second = Restore(61, SalesTask(0, "CopyB"));
        recovering.Release();
        copyA.join();
        ASSERT_TRUE(held);
    }
    EXPECT_EQ(first, 1) << CauseTexts(60);
    EXPECT_EQ(second, 1) << CauseTexts(61);
    ExpectOnlineHolding("CopyA", Contents("Sales"));
    ExpectOnlineHolding("CopyB", Contents("Sales"));
}

// The restore program is killed once it has put the full's first file in
// place. In place, Sales is left RESTORING, never ONLINE over the full's
// files, and a recovery-only job puts its files back and brings it ONLINE as
// it was. As a new name, the copy is left out of the catalogue, and the same
// restore run again removes what the killed one placed and completes. Either
// way nothing of the killed restore is left beside the files, and Sales's
// next log job completes.
class KilledRestore : public RestoreRunAgain, public ::testing::WithParamInterface<const char*> {};

TEST_P(KilledRestore, LeavesNoDatabaseOnlineOverHalfARestoreAndTheNextJobPutsItsFilesBack) {
    const std::string target = GetParam();
    const bool inPlace = target == "Sales";
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    const std::vector<std::string> backedUp = Contents("Sales");
    Change(9);
    const std::vector<std::string> before = Contents("Sales");
    const JxServeRestoreTask task = SalesTask(kRstOverwrite, inPlace ? "" : target);
    ASSERT_NO_FATAL_FAILURE(RestoreKilledAtItsFirstFile(60, task, target));
    if (inPlace) {
        EXPECT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_RESTORING);
        EXPECT_EQ(Restore(61, SalesTask(kRstRecoveryOnly)), 1) << CauseTexts(61);
    } else {
        EXPECT_EQ(DatabaseState(instance, target), -1) << "the copy is in the catalogue";
        EXPECT_EQ(Restore(61, task), 1) << CauseTexts(61);
    }
    ExpectOnlineHolding(target, inPlace ? before : backedUp);
    for (const SqlSimFileRow& f : Files(target)) {
        std::vector<std::string> names;
        ASSERT_EQ(wz::Fs().ReadDirectory(f.path.substr(0, f.path.rfind('/')), names), 0);
        for (const std::string& name : names) {
            EXPECT_EQ(name.find(".jxold."), std::string::npos) << name;
            EXPECT_EQ(name.find(".jxrestore."), std::string::npos) << name;
        }
    }
    EXPECT_EQ(Backup(53, "-L"), "1");
}

INSTANTIATE_TEST_SUITE_P(Targets, KilledRestore, ::testing::Values("Sales", "Copy"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "Sales" ? "InPlace" : "AsANewName";
                         });

// An in-place restore killed at its first file; Sales dropped and made
// again, in a later second, under the same id, then changed: a
// recovery-only job of Sales puts none of the killed restore's files back
// over the new Sales's own.
TEST_F(RestoreRunAgain, AKilledRestoresFilesAreNotPutBackOverADatabaseMadeAgainUnderItsId) {
    ASSERT_NO_FATAL_FAILURE(FullAndLog());
    int64_t id = 0, again = 0;
    ASSERT_FALSE(instance.DatabaseId("Sales", id).IsError());
    ASSERT_NO_FATAL_FAILURE(RestoreKilledAtItsFirstFile(60, SalesTask(kRstOverwrite), "Sales"));
    DropSales();
    jxtest::AwaitSecondAfter();  // made again in a later second than the dropped one
    ASSERT_NO_FATAL_FAILURE(CreateSales(&again));
    ASSERT_EQ(again, id);
    Change(9);
    const std::vector<std::string> own = Contents("Sales");
    EXPECT_EQ(Restore(61, SalesTask(kRstRecoveryOnly)), 1) << CauseTexts(61);
    ExpectOnlineHolding("Sales", own);
}

}  // namespace
