// The snapshot copy-restore handler: a revert brings back exactly the
// snapped files of the listed databases and leaves them RESTORING at the
// snapshot's LSN; a failure before the files are in place changes nothing;
// files of another client go through the call-back; writer steps are kept.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxSnapRestoreHandler/SnapCopyRestoreHandler.h"
#include "JxSnapRestoreHandler/SnapRestoreHandlerCallback.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimRecoveryPath.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/platform/JxSqlDataReaderWriter/VdiHarness.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {

using vditest::DatabaseState;

constexpr uint64_t kSnapJob = 7;
constexpr uint64_t kInstanceId = 8;

// Answers the file call-backs by copying the node's file itself (both
// "clients" are this machine) and records what it was asked.
struct CopyingCallback : SnapRestoreHandlerCallback {
    bool OnRestoreFile(uint64_t nodeId, SnapCopyIndexFileInfo* file, std::string& result) override {
        nodes.push_back(nodeId);
        requested.push_back(file->nodePath + " -> " + file->targetDirectory);
        if (fail) {
            result = "peer refused";
            return false;
        }
        const std::string target = file->targetDirectory + "/" + file->nodePath.substr(file->nodePath.rfind('/') + 1);
        std::ofstream(target, std::ios::binary | std::ios::trunc) << vditest::ReadAll(file->nodePath);
        return true;
    }
    bool OnRestoreMultiFiles(uint64_t, std::vector<SnapCopyIndexFileInfo>*, std::string&) override { return false; }
    bool OnCreateJRTempDirectory(uint64_t, std::string, std::string&) override { return false; }
    uint64_t OnGetPhysicalFileSize(uint64_t, std::string) override { return 0; }
    bool OnGetFileStreamFiles(uint64_t, std::string, std::string, std::vector<std::string>&, int&) override {
        return false;
    }
    bool OnGetFileStreamFiles_V2(uint64_t, std::string, std::string, SQLPmn::SqlGetFileStreamInfoRsp&) override {
        return false;
    }
    std::vector<uint64_t> nodes;
    std::vector<std::string> requested;
    bool fail = false;
};

class SnapCopyRestoreHandlerTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = vditest::kServer;
        ASSERT_FALSE(sim.Create(server).IsError());
        for (const char* name : {"Sales", "Hr", "Other"}) {
            SqlSimDatabaseSpec db;
            db.name = name;
            ASSERT_FALSE(sim.AddDatabase(db).IsError());
            Change(name, 2, 1);
        }
        ASSERT_TRUE(AppModel::Set(AppModel::ObjectName("instance", kInstanceId), "name", vditest::kServer));
        JXSnapClientAPI::SnapRequest request;
        request.jobId = kSnapJob;
        request.instance = vditest::kServer;
        request.databases = {"Sales", "Hr"};
        request.metadataDirectory = root.path();
        request.levelName = "Full";
        std::vector<std::string> volumes;
        std::string error;
        ASSERT_TRUE(JXSnapClientAPI::snapDatabases(request, volumes, error)) << error;
        ASSERT_EQ(volumes.size(), 1u) << "every database of the instance lies on one volume";
        for (const char* name : {"Sales", "Hr", "Other"}) snapped.push_back(Contents(name));
        salesLsn = State("Sales").currentLsn;
        for (const char* name : {"Sales", "Hr", "Other"}) Change(name, 3, 2);
        options.destinationInstanceId = kInstanceId;
    }

    void Change(const std::string& db, uint32_t pages, uint64_t seed) {
        ASSERT_FALSE(SqlSimChanges(sim).Change({db, pages, seed, "", 0}).IsError());
    }
    std::vector<std::string> Contents(const std::string& db) {
        std::vector<std::string> out;
        for (const std::string& p : vditest::DataFiles(sim, db)) out.push_back(vditest::ReadAll(p));
        return out;
    }
    SqlSimLsnState State(const std::string& db) {
        int64_t id = 0;
        EXPECT_FALSE(sim.DatabaseId(db, id).IsError());
        SqlSimLsnState state;
        EXPECT_FALSE(SqlSimChanges(sim).State(id, state).IsError());
        return state;
    }
    SqlSimRecoveryPath RecoveryPath(const std::string& db) {
        int64_t id = 0;
        EXPECT_FALSE(sim.DatabaseId(db, id).IsError());
        SqlSimRecoveryPath path;
        EXPECT_FALSE(SqlSimDatabaseRecoveryPath(sim, id, path).IsError());
        return path;
    }
    bool Revert(SnapCopyRestoreHandler& handler, const std::list<std::string>& names) {
        return handler.Initialize(2, kSnapJob, 99, options, nullptr, "", "", true, names) &&
               handler.restoreSnapData(root.path());
    }
    // Files of the instance's volume whose names hold `suffix`.
    std::vector<std::string> Leftovers(const std::string& suffix) {
        std::vector<std::string> out;
        const std::string volume = vditest::DataFiles(sim, "Sales")[0].substr(0, vditest::DataFiles(sim, "Sales")[0].rfind('/'));
        std::vector<std::string> names;
        EXPECT_EQ(wz::Fs().ReadDirectory(volume, names), 0);
        for (const std::string& n : names) {
            if (n.find(suffix) != std::string::npos) {
                out.push_back(n);
            }
        }
        return out;
    }
    void Switch(const std::string& step) { root.WriteFile("snaprestore/fail/" + step, ""); }

    SqlSimInstance sim;
    SqlRestoreTaskOptions_t options;
    std::vector<std::vector<std::string>> snapped;  // Sales, Hr, Other as snapped
    uint64_t salesLsn = 0;
};

TEST_F(SnapCopyRestoreHandlerTest, RevertBringsBackTheListedDatabasesAndLeavesTheVolumesOtherFilesAlone) {
    const std::vector<std::string> otherNow = Contents("Other");
    SnapCopyRestoreHandler handler;
    ASSERT_TRUE(Revert(handler, {"Sales", "Hr"})) << handler.getLastError();
    EXPECT_EQ(handler.getRestoredDatabases(), (std::vector<std::string>{"Sales", "Hr"}));
    EXPECT_EQ(Contents("Sales"), snapped[0]);
    EXPECT_EQ(Contents("Hr"), snapped[1]);
    EXPECT_EQ(Contents("Other"), otherNow);
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_RESTORING);
    EXPECT_EQ(DatabaseState(sim, "Hr"), SQLDB_STATE_RESTORING);
    EXPECT_EQ(DatabaseState(sim, "Other"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(State("Sales").currentLsn, salesLsn);
    EXPECT_EQ(State("Sales").lastFullLsn, salesLsn + 1) << "the snapshot is the base of later log backups";
    EXPECT_TRUE(Leftovers(".jxrevert").empty());
    EXPECT_TRUE(Leftovers(".jxold").empty()) << "a replaced file stayed beside the new ones";
}

// Keeping the log chain, Sales stays on the snapshot's recovery path; a
// revert to an older snapshot forks a new path from it at the snapshot.
TEST_F(SnapCopyRestoreHandlerTest, ARevertToTheNewestSnapshotKeepsTheLogChainAndToAnOlderOneDoesNot) {
    const SqlSimRecoveryPath snapped = RecoveryPath("Sales");
    SnapCopyRestoreHandler newest;
    ASSERT_TRUE(Revert(newest, {"Sales"})) << newest.getLastError();
    EXPECT_EQ(State("Sales").logBackupLsn, salesLsn + 1);
    EXPECT_EQ(RecoveryPath("Sales").id, snapped.id);
    CJxSQLVDI engine;
    ASSERT_TRUE(engine.recoverOnly(L"Sales", vditest::kServer, L"")) << engine.getJXErrorString();
    Change("Sales", 2, 3);
    SqlDataTransferHandler pipeline(true, 77, 7, 2, "cs", 1, 0);
    vditest::Outcome log = vditest::Backup(pipeline, "Sales", 'L', 1);
    ASSERT_TRUE(log.ok) << log.text;
    EXPECT_EQ(log.set.firstLSN, std::to_string(salesLsn + 1)) << "the log goes on from the snapshot";
    ASSERT_TRUE(pipeline.closePipeline(1, false));

    // A later snapshot: the first one is no longer the newest backup.
    JXSnapClientAPI::SnapRequest later;
    later.jobId = kSnapJob + 1;
    later.instance = vditest::kServer;
    later.databases = {"Sales"};
    later.metadataDirectory = root.path();
    later.levelName = "Full";
    std::vector<std::string> volumes;
    std::string error;
    ASSERT_TRUE(JXSnapClientAPI::snapDatabases(later, volumes, error)) << error;
    SnapCopyRestoreHandler older;
    ASSERT_TRUE(Revert(older, {"Sales"})) << older.getLastError();
    EXPECT_EQ(State("Sales").currentLsn, salesLsn);
    EXPECT_EQ(State("Sales").logBackupLsn, 0u);
    const SqlSimRecoveryPath forked = RecoveryPath("Sales");
    EXPECT_NE(forked.id, snapped.id);
    EXPECT_EQ(forked.forkedFrom, snapped.id);
    EXPECT_EQ(forked.forkLsn, salesLsn + 1);
}

TEST_F(SnapCopyRestoreHandlerTest, DatabasesTheSnapshotDoesNotHoldAreLeftAloneAndNoneIsAFailure) {
    SnapCopyRestoreHandler handler;
    ASSERT_TRUE(Revert(handler, {"Sales", "Other"})) << handler.getLastError();
    EXPECT_EQ(handler.getRestoredDatabases(), (std::vector<std::string>{"Sales"}));
    EXPECT_EQ(DatabaseState(sim, "Other"), SQLDB_STATE_ONLINE);

    SnapCopyRestoreHandler none;
    EXPECT_FALSE(Revert(none, {"Other"}));
    EXPECT_TRUE(none.getRestoredDatabases().empty());
    EXPECT_NE(none.getLastError().find("None of the databases"), std::string::npos);
}

TEST_F(SnapCopyRestoreHandlerTest, FailureOrStopBeforeTheFilesAreInPlaceChangesNothing) {
    const std::vector<std::string> salesNow = Contents("Sales");
    const std::vector<std::string> hrNow = Contents("Hr");
    for (const char* step : {"Initialize", "restoreSnapData", "copy"}) {
        Switch(step);
        SnapCopyRestoreHandler handler;
        EXPECT_FALSE(Revert(handler, {"Sales", "Hr"})) << step;
        EXPECT_TRUE(handler.getRestoredDatabases().empty()) << step;
        EXPECT_EQ(Contents("Sales"), salesNow) << step;
        EXPECT_EQ(Contents("Hr"), hrNow) << step;
        EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE) << step;
        EXPECT_TRUE(Leftovers(".jxrevert").empty()) << step;
    }
    JXJobCtrlClient control(99);
    ASSERT_TRUE(JXJobCtrlClient::requestStop(99));
    SnapCopyRestoreHandler stopped;
    stopped.setJobControl(&control);
    EXPECT_FALSE(Revert(stopped, {"Sales", "Hr"}));
    EXPECT_EQ(Contents("Sales"), salesNow);
    EXPECT_TRUE(Leftovers(".jxrevert").empty());
}

TEST_F(SnapCopyRestoreHandlerTest, APlacingThatFailsHalfWayOrMeetsAnotherStatementsHoldLeavesTheDatabaseAsItWas) {
    const std::vector<std::string> salesNow = Contents("Sales");
    const SqlSimLsnState stateNow = State("Sales");
    {
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.FailCallOn("*.jxrevert.*", jxtest::FsCall::kRename, 2, EIO);  // the second file of Sales
        SnapCopyRestoreHandler handler;
        EXPECT_FALSE(Revert(handler, {"Sales"}));
        EXPECT_EQ(faulty.FiredTotal(), 1);
        EXPECT_NE(handler.getLastError().find("Cannot place"), std::string::npos) << handler.getLastError();
    }
    {
        SqlSimDatabaseHold restoring;
        std::string error;
        ASSERT_EQ(restoring.Take(sim.Location(), "Sales", SqlSimDatabaseHold::Mode::kExclusive, error),
                  SqlSimDatabaseHold::Result::kTaken);
        SnapCopyRestoreHandler handler;
        EXPECT_FALSE(Revert(handler, {"Sales"}));
        EXPECT_NE(handler.getLastError().find(SqlSimDatabaseHold::kInUseText), std::string::npos)
            << handler.getLastError();
    }
    EXPECT_EQ(Contents("Sales"), salesNow);
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(State("Sales").currentLsn, stateNow.currentLsn);
    EXPECT_TRUE(Leftovers(".jxrevert").empty());
    EXPECT_TRUE(Leftovers(".jxold").empty());
    SnapCopyRestoreHandler again;
    EXPECT_TRUE(Revert(again, {"Sales"})) << again.getLastError();
    EXPECT_EQ(Contents("Sales"), snapped[0]);
}

// Sales's second file cannot be set aside, nor its first put back: Sales is
// SUSPECT, and no backup takes it as whole.
TEST_F(SnapCopyRestoreHandlerTest, ARevertThatCannotPutTheOldFilesBackLeavesTheDatabaseSuspect) {
    {
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.FailCallOn("*.jxold.*", jxtest::FsCall::kRename, 2, EIO, /*sticky=*/true);
        SnapCopyRestoreHandler handler;
        EXPECT_FALSE(Revert(handler, {"Sales"}));
        EXPECT_GE(faulty.Fired(jxtest::FsCall::kRename), 2) << "a setting aside and a putting back failed";
    }
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_SUSPECT);
    SqlDataTransferHandler pipeline(true, 77, 7, 2, "cs", 1, 0);
    EXPECT_EQ(vditest::Backup(pipeline, "Sales", 'D', 1).code, 945);
}

TEST_F(SnapCopyRestoreHandlerTest, MissingSnapshotCopyOrUnknownInstanceIsRefused) {
    SnapCopyRestoreHandler handler;
    options.destinationInstanceId = 999;
    EXPECT_FALSE(handler.Initialize(2, kSnapJob, 99, options, nullptr, "", "", true, {"Sales"}));
    EXPECT_FALSE(handler.restoreSnapData(root.path())) << "not initialised";

    options.destinationInstanceId = kInstanceId;
    const std::string copy = JXSnapClientAPI::StoreDirectory(kSnapJob) + "/1/" +
                             vditest::DataFiles(sim, "Hr")[0].substr(vditest::DataFiles(sim, "Hr")[0].rfind('/') + 1);
    ASSERT_EQ(::unlink(copy.c_str()), 0);
    const std::vector<std::string> salesNow = Contents("Sales");
    EXPECT_FALSE(Revert(handler, {"Sales", "Hr"}));
    EXPECT_NE(handler.getLastError().find("missing"), std::string::npos) << handler.getLastError();
    EXPECT_EQ(Contents("Sales"), salesNow) << "checked before anything is copied";
}

TEST_F(SnapCopyRestoreHandlerTest, FilesOfAnotherClientComeThroughTheCallBack) {
    options.sourceClientId = 3;
    options.destinationClientId = 4;
    SnapCopyRestoreHandler withoutCallback;
    EXPECT_FALSE(Revert(withoutCallback, {"Sales"}));

    CopyingCallback callback;
    SnapCopyRestoreHandler handler;
    handler.setCallback(&callback);
    ASSERT_TRUE(Revert(handler, {"Sales"})) << handler.getLastError();
    EXPECT_EQ(callback.nodes, (std::vector<uint64_t>(callback.requested.size(), 3)));
    EXPECT_EQ(callback.requested.size(), 2u) << "the data file and the log file";
    EXPECT_EQ(Contents("Sales"), snapped[0]);
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_RESTORING);

    Change("Hr", 1, 5);
    callback.fail = true;
    SnapCopyRestoreHandler failing;
    failing.setCallback(&callback);
    EXPECT_FALSE(Revert(failing, {"Hr"}));
    EXPECT_NE(failing.getLastError().find("peer refused"), std::string::npos);
    EXPECT_EQ(DatabaseState(sim, "Hr"), SQLDB_STATE_ONLINE);
}

TEST_F(SnapCopyRestoreHandlerTest, BackupCopyIsAskedForByCopyPrecedence) {
    SnapCopyRestoreHandler handler;
    ASSERT_TRUE(handler.Initialize(2, kSnapJob, 99, options, "Sales", "", "", true, {}));
    EXPECT_FALSE(handler.isBackupCopyRestore());
    options.copyPrecedence = 2;
    ASSERT_TRUE(handler.Initialize(2, kSnapJob, 99, options, "Sales", "", "", true, {}));
    EXPECT_TRUE(handler.isBackupCopyRestore());
}

TEST_F(SnapCopyRestoreHandlerTest, WriterStepsAreRecordedAndCanBeMadeToFail) {
    SnapCopyRestoreHandler handler;
    SqlRestoreDbInfo_t db;
    db.sDbName = "Sales";
    db.newDbName = "Copy";
    handler.setDatabaseInfo(db);
    EXPECT_TRUE(handler.ManipulateXmlMetadata(db));
    Switch("PostVSSRestore");
    EXPECT_TRUE(handler.InitializeVSSRestore());
    EXPECT_FALSE(handler.PostVSSRestore());
    EXPECT_TRUE(handler.PostVSSRestore()) << "a switch fails one call";
    EXPECT_EQ(handler.Steps(), (std::vector<std::string>{"setDatabaseInfo Copy", "ManipulateXmlMetadata Copy",
                                                          "InitializeVSSRestore", "PostVSSRestore", "PostVSSRestore"}));
}

}  // namespace
