// The snapshot engine stand-in: mounts stay under the platform root, a
// failed mount leaves nothing mounted, and a program started for a session
// must present its key to be taken.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxLib/JxProcess.h"
#include "JxSession/CJxNetwork.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/platform/JXSnapHandler/SalesSnapshot.h"
#include "tests/support/TestRoot.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

class SnapEngineTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        std::vector<std::string> volumes;
        ASSERT_TRUE(snaptest::SnapSales(instance, 7, root.path(), volumes));
        ASSERT_EQ(volumes.size(), 1u);
        EXPECT_TRUE(Exists(root.path() + "/7_Full_WRT.xml"));
        EXPECT_TRUE(Exists(root.path() + "/7_Full_BCD.xml"));
        snaps.setSnapJobId(7);
        ASSERT_TRUE(JXSnapClientAPI::getVolumeSnaps(snaps));
        ASSERT_EQ(snaps.numOfSnap(), 1);
    }

    SqlSimInstance instance;
    SMVolSnapInfo snaps;
};

TEST_F(SnapEngineTest, MountsOnlyUnderTheRootAndUnmountsAgain) {
    const std::vector<std::string> outside = {"/tmp/elsewhere/", "relative/", root.path() + "/a/../../x/",
                                              root.path()};
    for (const std::string& bad : outside) {
        snaps.volumeListBegin()->setMountPath(bad);
        EXPECT_FALSE(JXSnapClientAPI::mountVolumes(snaps)) << bad;
    }
    EXPECT_FALSE(Exists("/tmp/elsewhere"));
    EXPECT_TRUE(root.Escapes().empty());

    const std::string mount = root.path() + "/mounts/g1/";
    snaps.volumeListBegin()->setMountPath(mount);
    ASSERT_TRUE(JXSnapClientAPI::mountVolumes(snaps));
    EXPECT_TRUE(Exists(mount + "Sales.mdf"));
    ASSERT_TRUE(JXSnapClientAPI::unmountVolumes(snaps));
    EXPECT_FALSE(Exists(mount));
    EXPECT_TRUE(Exists(snaps.volumeListBegin()->getSnapPath() + "/Sales.mdf")) << "the snapshot itself stays";
}

TEST_F(SnapEngineTest, ProgramThatNeverConnectsBackFailsTheAttach) {
    root.ScaleHelperWaits();
    root.WriteFile("bin/silent", "#!/bin/sh\nexit 0\n");
    ASSERT_EQ(::chmod(root.File("bin/silent").c_str(), 0755), 0);
    ASSERT_TRUE(JxProcess::SetProgramPath("SQLBackup.exe", root.File("bin/silent")));
    jxsExecuteRemoteCommandType command;
    command.program = "SQLBackup.exe";
    command.arguments = {"-jt", "a token with blanks"};
    CJxNetwork session;
    bool timedOut = false;
    EXPECT_TRUE(session.Attach_RemoteCommand("proxy1", &command, nullptr, nullptr, 5, timedOut).IsError());
    EXPECT_TRUE(timedOut);
    EXPECT_FALSE(session.IsConnected());

    char name[] = "prog";
    char* noCaller[] = {name};
    EXPECT_TRUE(session.AttachBackToCaller(1, noCaller, timedOut).IsError());
}

TEST_F(SnapEngineTest, DatabaseListKeepsTheSnapshotsLsnAndRefusesAMalformedFile) {
    std::vector<JXSnapClientAPI::SnapDatabase> databases;
    std::string error;
    ASSERT_TRUE(JXSnapClientAPI::getSnapDatabases(7, databases, error)) << error;
    ASSERT_EQ(databases.size(), 1u);
    EXPECT_EQ(databases[0].name, "Sales");
    EXPECT_EQ(databases[0].baseFullLsn, databases[0].currentLsn + 1) << "a full snapshot is a base";
    EXPECT_EQ(databases[0].files.size(), 2u);

    const std::string list = JXSnapClientAPI::StoreDirectory(7) + "/databases";
    for (const std::string bad : {"database\tSales\tFULL\t1x\t2\t3\n", "file\t0\t1\tSales\tPRIMARY\t/a\n",
                                  "database\tSales\tFULL\t1\t2\t3\nfile\t0\t1\tSales\tPRIMARY\t/a/../b\n"}) {
        ASSERT_TRUE(wz::WriteFileAtomically(list, bad));
        EXPECT_FALSE(JXSnapClientAPI::getSnapDatabases(7, databases, error)) << bad;
        EXPECT_TRUE(databases.empty());
    }
    EXPECT_FALSE(JXSnapClientAPI::getSnapDatabases(8, databases, error)) << "no such snapshot job";
}

TEST_F(SnapEngineTest, ATreeVolumeThatIsNoPlainAbsolutePathIsRefusedWithNothingStored) {
    JXSnapClientAPI::SnapRequest request = snaptest::SalesRequest(9, root.path());
    std::vector<std::string> volumes;
    std::string error;
    for (const std::string& bad : std::vector<std::string>{"data", root.path() + "/a/../b", "/a\tb"}) {
        request.treeVolumes = {bad};
        EXPECT_FALSE(JXSnapClientAPI::snapDatabases(request, volumes, error)) << bad;
        EXPECT_NE(error.find("not a plain absolute path"), std::string::npos) << error;
        EXPECT_FALSE(Exists(JXSnapClientAPI::StoreDirectory(9)));
    }
}

// A database in a restore sequence is refused before anything is snapped
// or recorded for any database of the request.
TEST_F(SnapEngineTest, ADatabaseInARestoreIsRefusedWithNothingStoredOrRecorded) {
    auto historyRows = [&] {
        SimSqlStatement q = instance.Db().Prepare("SELECT COUNT(*) FROM backup_history");
        EXPECT_TRUE(q.Step());
        return q.Int(0);
    };
    const int64_t before = historyRows();
    struct Case {
        int state;
        bool heldByARestore;  // a restore statement is placing its files
        std::string reason;
    };
    for (const Case& c : std::vector<Case>{{SQLDB_STATE_RESTORING, false, "in the middle of a restore"},
                                           {SQLDB_STATE_STANDBY, false, "warm-standby"},
                                           {SQLDB_STATE_ONLINE, true, "in the middle of a restore"}}) {
        SqlSimDatabaseSpec copy;
        copy.name = "Copy" + std::to_string(c.state);
        copy.state = c.state;
        ASSERT_FALSE(instance.AddDatabase(copy).IsError());
        SqlSimDatabaseHold restore;
        std::string holdError;
        if (c.heldByARestore) {
            ASSERT_EQ(restore.Take(instance.Location(), copy.name, SqlSimDatabaseHold::Mode::kExclusive, holdError),
                      SqlSimDatabaseHold::Result::kTaken);
        }
        JXSnapClientAPI::SnapRequest request = snaptest::SalesRequest(9, root.path());
        request.databases.push_back(copy.name);
        std::vector<std::string> volumes;
        std::string error;
        EXPECT_FALSE(JXSnapClientAPI::snapDatabases(request, volumes, error)) << copy.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_FALSE(Exists(JXSnapClientAPI::StoreDirectory(9)));
        EXPECT_EQ(historyRows(), before);
        bool exists = false;
        int64_t id = 0;
        int now = 0;
        ASSERT_FALSE(SqlSimDatabaseState(instance, copy.name, exists, id, now).IsError());
        EXPECT_EQ(now, c.state);
    }
}

}  // namespace
