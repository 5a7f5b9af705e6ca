// Restores of a database that two subclients back up: subclient 1234 takes
// the whole of Sales (fulls and logs), subclient 1235 is a file/file-group
// subclient holding only its group FG2 (file fulls, file differentials and
// logs). A file backup holds some files only: it begins no chain of the
// whole database, and serves a file-group restore of the groups it holds.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxEntityLib/LiveSyncReplication.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLVDIBase/VdiTestHold.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/restore/LiveSyncTaskSupport.h"
#include "tests/JxSQLCommon/restore/RestoreAfterBackupJobs.h"
#include "tests/support/WallSecond.h"

namespace {

using vditest::DatabaseState;

constexpr uint64_t kWholeDatabase = 1234;
constexpr uint64_t kGroupFG2 = 1235;

class FileSubclientRestoreAfterBackupJobs : public RestoreAfterBackupJobs {
protected:
    void SetUp() override {
        RestoreAfterBackupJobs::SetUp();
        MakeDatabases({"Sales"});
        for (const char* group : {"FG2", "FG3"}) {
            ASSERT_FALSE(instance.AddFileGroup("Sales", group).IsError());
            ASSERT_TRUE(vditest::AddDataFile(instance, "Sales", group, std::string("Sales_") + group));
        }
        // Subclient 1235: a file/file-group subclient of Sales holding FG2.
        const std::string subclient = "subclient/" + std::to_string(kGroupFG2);
        ASSERT_TRUE(AppModel::Set(subclient, "instanceId", "7"));
        ASSERT_TRUE(AppModel::Set(subclient, "name", "fg2"));
        ASSERT_TRUE(AppModel::Set(subclient, "dataBkpStreams", "1"));
        ASSERT_TRUE(AppModel::Set(subclient, "sqlSubclientType", "2"));
        ASSERT_TRUE(AppModel::Set(subclient, "specialSubclientType", "2"));
        ASSERT_TRUE(AppModel::Set(subclient, "property118_1", "Sales"));
        ASSERT_TRUE(AppModel::Set(subclient, "property119_1", "FG2"));
    }

    // Backup jobs `firstJob` on, one of each (subclient, phase "-D", "-I" or
    // "-L") of `schedule` in turn, each after a change of Sales; each job
    // completes.
    void ChangeAndBackUp(uint64_t firstJob, const std::vector<std::pair<uint64_t, std::string>>& schedule) {
        for (const auto& [subclient, phase] : schedule) {
            Change(firstJob);
            BackUp(subclient, firstJob++, phase);
        }
    }
    void Change(uint64_t seed) { ASSERT_FALSE(SqlSimChanges(instance).Change({"Sales", 6, seed, "", 0}).IsError()); }
    void BackUp(uint64_t subclient, uint64_t jobId, const std::string& phase) {
        CSQLBackup job;
        ASSERT_TRUE(jxtest::RunBackupPhase(job, jobId, phase, 1, jxtest::LevelOf(phase), subclient));
        const auto complete = Journal(jobId, "complete");
        ASSERT_FALSE(complete.empty()) << "backup job " << jobId;
        EXPECT_EQ(complete.back().Get("status"), "1") << "backup job " << jobId;
    }

    // Restores the file group `group` of Sales in place to the latest time:
    // it completes, and Sales is ONLINE and holds `source`.
    void RestoreGroupInPlace(const std::string& group, uint64_t jobId, const std::vector<std::string>& source) {
        int status = 0;
        EXPECT_TRUE(RestoreFileGroup("Sales", group, jobId, &status));
        EXPECT_EQ(status, 1) << CauseTexts(jobId);
        EXPECT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_ONLINE);
        EXPECT_TRUE(Contents("Sales") == source);
    }
};

// Database full, FG2's file full, a log: a restore of the whole database as
// a new name starts from the database full, never from the file full.
TEST_F(FileSubclientRestoreAfterBackupJobs, AWholeDatabaseRestoreAsANewNameLeavesTheFileFullOut) {
    ChangeAndBackUp(50, {{kWholeDatabase, "-D"}, {kGroupFG2, "-D"}, {kWholeDatabase, "-L"}});

    JxServeRestoreTask task = TaskFor("Sales", "Copy");
    task.optionFlags = kRstOverwrite;
    int status = 0;
    EXPECT_TRUE(RunRestore(60, task, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(instance, "Copy"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents("Copy") == Contents("Sales"));
}

// FG3 is in no file backup: its restore takes the database full and every
// log after it, the log the file subclient took among them.
TEST_F(FileSubclientRestoreAfterBackupJobs, AGroupInNoFileBackupComesBackFromTheFullAndEveryLog) {
    ChangeAndBackUp(
        50, {{kWholeDatabase, "-D"}, {kGroupFG2, "-D"}, {kGroupFG2, "-L"}, {kGroupFG2, "-I"}, {kWholeDatabase, "-L"}});
    Change(55);
    const std::vector<std::string> source = Contents("Sales");
    Damage("Sales", "Sales_FG3");
    BackUp(kWholeDatabase, 55, "-L");  // the tail, with the damaged file

    RestoreGroupInPlace("FG3", 60, source);
}

// FG2 comes back from what its own subclient took: the file full, the file
// differential and the log after them.
TEST_F(FileSubclientRestoreAfterBackupJobs, TheGroupOfTheFileSubclientComesBackFromItsFileFullAndDifferential) {
    ChangeAndBackUp(
        50, {{kWholeDatabase, "-D"}, {kGroupFG2, "-D"}, {kWholeDatabase, "-L"}, {kGroupFG2, "-I"}, {kGroupFG2, "-L"}});
    const std::vector<std::string> source = Contents("Sales");
    Damage("Sales", "Sales_FG2");

    RestoreGroupInPlace("FG2", 60, source);
}

// FG2 and FG3 restored together: FG2's file full lacks FG3, so both come
// back from the database full and every log after it.
TEST_F(FileSubclientRestoreAfterBackupJobs, TwoGroupsComeBackFromABackupHoldingBoth) {
    ChangeAndBackUp(50, {{kWholeDatabase, "-D"}, {kGroupFG2, "-D"}, {kWholeDatabase, "-L"}});
    const std::vector<std::string> source = Contents("Sales");
    Damage("Sales", "Sales_FG2");
    Damage("Sales", "Sales_FG3");
    BackUp(kWholeDatabase, 53, "-L");  // the tail, with the damaged files

    JxServeRestoreTask task = TaskFor("Sales");
    task.databases = {std::string("Sales") + kFileGroupSeparator + "FG2",
                      std::string("Sales") + kFileGroupSeparator + "FG3"};
    task.optionFlags = kRstFileFileGroup | kRstOverwrite;
    int status = 0;
    EXPECT_TRUE(RunRestore(60, task, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(instance, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents("Sales") == source);
}

// FG2's file full (job 52) held once it read its data while a change of FG2
// and the database subclient's log 53 run to their end: log 53 is stored
// before the file full and holds its last LSN. FG2 restored in place takes
// log 53 after the file full.
TEST_F(FileSubclientRestoreAfterBackupJobs, ALogStoredBeforeTheFileFullItFollowsIsRestoredAfterIt) {
    ChangeAndBackUp(50, {{kWholeDatabase, "-D"}, {kWholeDatabase, "-L"}});
    std::string fg2;
    for (const SqlSimFileRow& f : Files("Sales")) fg2 = f.logicalName == "Sales_FG2" ? f.path : fg2;
    {
        VdiTestHold hold(VdiTestPoint::kDataReadEnd, 1);
        std::thread fileFull([&] { BackUp(kGroupFG2, 52, "-D"); });
        EXPECT_TRUE(hold.WaitHeld());
        const std::string before = vditest::ReadAll(fg2);
        EXPECT_FALSE(SqlSimChanges(instance).Change({"Sales", 64, 53, "", 0}).IsError());  // every file, FG2's too
        EXPECT_NE(vditest::ReadAll(fg2), before);
        BackUp(kWholeDatabase, 53, "-L");
        hold.Release();
        fileFull.join();
    }
    ChangeAndBackUp(54, {{kWholeDatabase, "-L"}});
    const std::vector<std::string> source = Contents("Sales");
    Damage("Sales", "Sales_FG2");

    RestoreGroupInPlace("FG2", 60, source);
}

// A live-sync standby of Sales synced between the two subclients' backups:
// the file backups are no part of its chain, the logs of both subclients
// are, and each run leaves it in STANDBY equal to Sales.
TEST_F(FileSubclientRestoreAfterBackupJobs, ALiveSyncStandbyTakesTheLogsOfBothSubclientsAndNoFileBackup) {
    std::string error;
    ASSERT_EQ(LiveSyncReplication().setSiteReplication(SiteRecord(kTask, 11, 0), error, nullptr), 0) << error;
    JxServeRestoreTask task = TaskFor("Sales", "SalesDR");
    task.optionFlags = kRstStandby;  // no OVERWRITE: a live sync forces it
    task.standbyUndoFile = root.File("moved/undo.dat");
    auto syncAndCompare = [&](uint64_t jobId) {
        ReplicationIds(jobId, {{11, "Sales"}});
        int status = 0;
        EXPECT_TRUE(RunRestore(jobId, task, &status)) << "live-sync run " << jobId;
        EXPECT_EQ(status, 1) << "live-sync run " << jobId;
        EXPECT_EQ(DatabaseState(instance, "SalesDR"), SQLDB_STATE_STANDBY) << "live-sync run " << jobId;
        EXPECT_TRUE(Contents("SalesDR") == Contents("Sales")) << "live-sync run " << jobId;
        jxtest::AwaitSecondAfter();  // the next backups end after the standby's restore
    };

    ChangeAndBackUp(50, {{kWholeDatabase, "-D"}});
    syncAndCompare(60);
    ChangeAndBackUp(51, {{kGroupFG2, "-D"}, {kGroupFG2, "-L"}});
    syncAndCompare(61);
    ChangeAndBackUp(53, {{kGroupFG2, "-I"}, {kWholeDatabase, "-L"}});
    syncAndCompare(62);
}

}  // namespace
