// What a restore job asks the management layer around its restores.
#include <gtest/gtest.h>

#include <filesystem>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimServerInfo.h"
#include "WzUtils/FXString.h"
#include "tests/support/TestRoot.h"

namespace {

class CsqlDMORestore : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = "srv1/prod";
        ASSERT_TRUE(sim.Create(server).IsSuccess());
        SqlSimDatabaseSpec sales;
        sales.name = "sales";
        sales.state = SQLDB_STATE_STANDBY;
        sales.userAccess = "SINGLE_USER";
        ASSERT_TRUE(sim.AddDatabase(sales).IsSuccess());
        ASSERT_TRUE(dmo.initialize("srv1/prod"));
    }
    SqlSimInstance sim;
    CsqlDMO dmo;
};

TEST_F(CsqlDMORestore, DateFormatOfTheInstance) {
    unsigned long format = 0;
    ASSERT_TRUE(dmo.getDateFormat("srv1/prod", format));
    EXPECT_EQ(format, 1u);
    ASSERT_TRUE(SqlSimServerInfo(sim).SetProperty("dateFormat", "DMY").IsSuccess());
    ASSERT_TRUE(dmo.getDateFormat("srv1/prod", format));
    EXPECT_EQ(format, 2u);
    ASSERT_TRUE(SqlSimServerInfo(sim).SetProperty("dateFormat", "julian").IsSuccess());
    EXPECT_FALSE(dmo.getDateFormat("srv1/prod", format));
}

TEST_F(CsqlDMORestore, DatabaseFactsAndModes) {
    EXPECT_TRUE(dmo.isDatabaseExists("SALES"));
    EXPECT_FALSE(dmo.isDatabaseExists("nosuch"));
    EXPECT_TRUE(dmo.isDatabaseStandby("srv1/prod", "sales"));
    EXPECT_FALSE(dmo.isDatabaseStandby("srv1/prod", "msdb"));
    std::string group;
    std::string replica;
    EXPECT_FALSE(dmo.isDatabaseInAvailableGroup("sales", group, replica));
    SqlSimAvailabilityGroupSpec ag;
    ag.name = "ag1";
    ASSERT_TRUE(sim.AddAvailabilityGroup(ag).IsSuccess());
    ASSERT_TRUE(sim.JoinAvailabilityGroup("ag1", "sales").IsSuccess());
    EXPECT_TRUE(dmo.isDatabaseInAvailableGroup("sales", group, replica));
    EXPECT_EQ(group, "ag1");

    EXPECT_TRUE(dmo.dropAllConnectionsToDb("srv1/prod", "sales"));
    EXPECT_FALSE(dmo.dropAllConnectionsToDb("srv1/prod", "nosuch"));
    ASSERT_TRUE(SqlSimServerInfo(sim).SetProperty(SqlSimServerInfo::kUnkillableConnection, "SALES").IsSuccess());
    EXPECT_FALSE(dmo.dropAllConnectionsToDb("srv1/prod", "sales"));
    EXPECT_TRUE(dmo.dropAllConnectionsToDb("srv1/prod", "msdb"));
    EXPECT_TRUE(dmo.SetDatabaseInMultiUserMode("srv1/prod", "sales"));
    EXPECT_FALSE(dmo.SetDatabaseInMultiUserMode("srv1/prod", "nosuch"));
}

TEST_F(CsqlDMORestore, DetachKeepsTheFilesAndRefusesSystemDatabases) {
    std::string error;
    EXPECT_FALSE(dmo.DetachDB("srv1/prod", "master", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(dmo.DetachDB("srv1/prod", "sales", error)) << error;
    EXPECT_FALSE(dmo.isDatabaseExists("sales"));
    int64_t count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path())) {
        if (entry.path().filename().string().rfind("sales", 0) == 0) ++count;
    }
    EXPECT_EQ(count, 2) << "data and log file stay";
}

// A backup or restore statement that runs refuses the database's drop and
// detach at once, as SQL Server does, and the database stays; once it ends
// the drop goes on, of a database in STANDBY too.
TEST_F(CsqlDMORestore, DropAndDetachAreRefusedWhileABackupRuns) {
    {
        SqlSimDatabaseHold backup;  // as a running backup statement holds it
        std::string error;
        ASSERT_EQ(backup.Take(sim.Location(), "SALES", SqlSimDatabaseHold::Mode::kShared, error),
                  SqlSimDatabaseHold::Result::kTaken);
        EXPECT_FALSE(dmo.DeleteDatabase("srv1/prod", "sales"));
        EXPECT_EQ(dmo.getErrorString(), L"Cannot drop database \"sales\" because it is currently in use.");
        EXPECT_FALSE(dmo.DetachDB("srv1/prod", "sales", error));
        EXPECT_EQ(error, "Cannot detach the database 'sales' because it is currently in use.");
        EXPECT_TRUE(dmo.isDatabaseExists("sales"));
    }
    EXPECT_TRUE(dmo.DeleteDatabase("srv1/prod", "sales")) << FXString::ToString(dmo.getErrorString());
    EXPECT_FALSE(dmo.isDatabaseExists("sales"));
}

}  // namespace
