// Replacing a database, by a revert to its snapshot or by a full restore,
// ends a file restore left half done on it: no file stays pending, and the
// next log backup is applied to every file of the database.
#include <gtest/gtest.h>

#include <list>
#include <set>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxSnapRestoreHandler/SnapCopyRestoreHandler.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimPendingFiles.h"
#include "tests/platform/JXSnapHandler/SalesSnapshot.h"
#include "tests/platform/JxSqlDataReaderWriter/VdiHarness.h"
#include "tests/support/TestRoot.h"

namespace {

using namespace vditest;

constexpr uint64_t kSnapJob = 7;
constexpr uint64_t kInstanceId = 8;

class RevertEndsFileRestoreTest : public jxtest::RootedTest {
protected:
    // Sales (two data files): a full backup, a snapshot, a log backup after
    // it, then a FILE restore of Sales2 from the full that leaves Sales2
    // pending and the database RESTORING.
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(MakeSales(sim, 1024 * 1024, 1024 * 1024));
        ASSERT_TRUE(AppModel::Set(AppModel::ObjectName("instance", kInstanceId), "name", kServer));
        handler = SqlDataTransferHandler(true, 77, 7, 2, "cs", 1, 0);

        Change(4, 1);
        full = Take('D');
        Change(6, 2);
        std::vector<std::string> volumes;
        std::string error;
        ASSERT_TRUE(
            JXSnapClientAPI::snapDatabases(snaptest::SalesRequest(kSnapJob, root.path(), kServer), volumes, error))
            << error;
        Change(12, 3);
        log = Take('L');
        ASSERT_TRUE(handler.closePipeline(1, false));
        atLog = Contents();

        RestoreOptions o;
        o.replace = true;
        o.files = {"Sales2"};
        Outcome r = Restore("Sales", full, o);
        ASSERT_TRUE(r.ok) << r.text;
        ASSERT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_RESTORING);
        ASSERT_EQ(Pending(), (std::set<std::string>{"Sales2"}));
    }

    void Change(uint32_t pages, uint64_t seed) {
        ASSERT_FALSE(SqlSimChanges(sim).Change({"Sales", pages, seed, "", 0}).IsError());
    }
    std::list<RestoreArchiveInfo> Take(char type) {
        std::list<RestoreArchiveInfo> archives;
        Outcome o = Backup(handler, "Sales", type, 1, &archives);
        EXPECT_TRUE(o.ok) << o.text;
        return archives;
    }
    std::vector<std::string> Contents() {
        std::vector<std::string> out;
        for (const std::string& p : DataFiles(sim, "Sales")) out.push_back(ReadAll(p));
        return out;
    }
    std::set<std::string> Pending() {
        SqlSimPendingFiles pending;
        EXPECT_FALSE(SqlSimGetPendingFiles(sim, "Sales", pending).IsError());
        return pending.logicalNames;
    }
    // The log backup taken after the snapshot, WITH RECOVERY.
    void RestoreTheLog() {
        RestoreOptions o;
        o.recovery = true;
        Outcome r = Restore("Sales", log, o);
        ASSERT_TRUE(r.ok) << r.text;
        EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
        const std::vector<std::string> now = Contents();
        ASSERT_EQ(now.size(), atLog.size());
        for (size_t i = 0; i < now.size(); ++i) EXPECT_TRUE(now[i] == atLog[i]) << "data file " << i;
    }

    SqlSimInstance sim;
    SqlDataTransferHandler handler;
    std::list<RestoreArchiveInfo> full;
    std::list<RestoreArchiveInfo> log;
    std::vector<std::string> atLog;
};

TEST_F(RevertEndsFileRestoreTest, ARevertClearsThePendingFilesAndTheNextLogWritesEveryFile) {
    SqlRestoreTaskOptions_t options;
    options.destinationInstanceId = kInstanceId;
    SnapCopyRestoreHandler revert;
    ASSERT_TRUE(revert.Initialize(2, kSnapJob, 99, options, nullptr, "", "", true, {"Sales"}) &&
                revert.restoreSnapData(root.path()))
        << revert.getLastError();
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_RESTORING);
    EXPECT_TRUE(Pending().empty());
    RestoreTheLog();
}

TEST_F(RevertEndsFileRestoreTest, AFullRestoreClearsThePendingFilesAndTheNextLogWritesEveryFile) {
    RestoreOptions o;
    o.replace = true;
    Outcome r = Restore("Sales", full, o);
    ASSERT_TRUE(r.ok) << r.text;
    EXPECT_TRUE(Pending().empty());
    RestoreTheLog();
}

}  // namespace
