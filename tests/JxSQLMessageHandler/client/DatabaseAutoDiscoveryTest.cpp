// Database auto-discovery against the host serving the central-server
// stand-in, with a simulated instance and an application model.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "JxLib/FXNamedMutex.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/CSQLCommon.h"
#include "JxSQLCommon/records/CSQLPmnContentFilters.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "WzUtils/auto_lock.h"
#include "tests/JxSQLMessageHandler/client/DiscoveryFixture.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

class DatabaseAutoDiscoveryTest : public jxtest::DiscoveryTest {
protected:
    std::vector<std::string> Discovered() const {
        std::vector<std::string> names;
        for (const JxServeDiscoveredDatabase& d : JxServeDiscoveredDatabases(kApp)) names.push_back(d.name);
        return names;
    }
    bool Discover() {
        CSQLClientDll client;
        return client.autoDiscover(1, kApp, filters, agCache);
    }

    CSQLPmnContentFilters filters;
    std::unordered_map<std::string, bool> agCache;
};

TEST_F(DatabaseAutoDiscoveryTest, ReportsEveryUnconfiguredDatabaseButTempdbWithItsIdAndCreationTime) {
    ASSERT_TRUE(Discover());
    EXPECT_EQ(Discovered(), (std::vector<std::string>{"master", "model", "msdb", "sales", "hr", "stock"}));
    auto stored = JxServeDiscoveredDatabases(kApp);
    int64_t salesId = 0;
    ASSERT_TRUE(instance.DatabaseId("sales", salesId).IsSuccess());
    EXPECT_EQ(stored[3].databaseId, static_cast<uint64_t>(salesId));
    EXPECT_EQ(stored[3].creationTime, 1600000000u);
    EXPECT_EQ(EventCount(kEventAutoDiscoverFailed), 0);
}

TEST_F(DatabaseAutoDiscoveryTest, DatabasesOfDatabaseSubclientsAndDoNotBackupAreNotRediscovered) {
    AddSubclient(101, "daily", 1, {"sales", "master", "model", "msdb"});
    AddSubclient(102, "DO NOT BACKUP", 0, {"hr"});
    AddSubclient(103, "other", 2, {"stock"});  // neither: its content does not count
    ASSERT_TRUE(Discover());
    EXPECT_EQ(Discovered(), (std::vector<std::string>{"stock"}));
}

TEST_F(DatabaseAutoDiscoveryTest, ConfiguredNamesInOtherLetterCaseAreNotDiscoveredAgain) {
    // Discovering "sales" again would back it up twice, once per subclient.
    AddSubclient(101, "daily", 1, {"SALES", "Master", "model", "msdb", "hr", "sToCk"});
    JxServeRefuseAutoDiscovery(kApp);  // would fail a request
    EXPECT_TRUE(Discover());
    EXPECT_TRUE(Discovered().empty());
}

TEST_F(DatabaseAutoDiscoveryTest, NothingNewMakesNoRequest) {
    AddSubclient(101, "daily", 1, {"master", "model", "msdb", "sales", "hr", "stock"});
    JxServeRefuseAutoDiscovery(kApp);  // would fail a request
    EXPECT_TRUE(Discover());
    EXPECT_TRUE(Discovered().empty());
}

TEST_F(DatabaseAutoDiscoveryTest, ExcludedDatabasesAreRecordedAndNotDiscovered) {
    JXPlatformInfo().setString("MSSQLAgent", "sDBExclusionPatterns", "s*");
    ASSERT_TRUE(filters.LoadBackupSelectionPatterns(nullptr).IsSuccess());
    ASSERT_TRUE(Discover());
    EXPECT_EQ(Discovered(), (std::vector<std::string>{"master", "model", "msdb", "hr"}));
    std::list<std::string> excluded;
    filters.GetDBsExcludedFromAutoDiscovery(excluded);
    EXPECT_EQ(excluded, (std::list<std::string>{"sales", "stock"}));
}

TEST_F(DatabaseAutoDiscoveryTest, RefusedAdditionFailsWithCriticalEvent) {
    JxServeRefuseAutoDiscovery(kApp);
    EXPECT_FALSE(Discover());
    std::vector<std::string> arguments;
    EXPECT_EQ(EventCount(kEventAutoDiscoverFailed, &arguments), 1);
    EXPECT_EQ(arguments, (std::vector<std::string>{"N'tempdb'", kInstanceName, "node1"}));
}

TEST_F(DatabaseAutoDiscoveryTest, HeldInstanceMutexSkipsDiscoveryAsDone) {
    JXPlatformInfo().setNumber("MSSQLAgent", "nAutoDiscoverSQLDatabaseTimeout", 0);
    FXNamedMutex other("Global\\jx_mssql_7_DatabaseAutoDiscover");
    auto_lock held(&other, true);
    ASSERT_TRUE(held.IsLocked());
    EXPECT_TRUE(Discover());
    EXPECT_TRUE(Discovered().empty());
    EXPECT_EQ(EventCount(kEventAutoDiscoverFailed), 1);
    held.Unlock();
    EXPECT_TRUE(Discover());
    EXPECT_EQ(Discovered().size(), 6u);
}

TEST_F(DatabaseAutoDiscoveryTest, AnotherInstancesMutexDoesNotBlock) {
    JXPlatformInfo().setNumber("MSSQLAgent", "nAutoDiscoverSQLDatabaseTimeout", 0);
    FXNamedMutex other("Global\\jx_mssql_8_DatabaseAutoDiscover");
    auto_lock held(&other, true);
    EXPECT_TRUE(Discover());
    EXPECT_EQ(Discovered().size(), 6u);
}

TEST_F(DatabaseAutoDiscoveryTest, OtherServerTypesTakeNoMutexAndListNothing) {
    AppModel::Set("instance/7", "serverType", "Analysis Services");
    JXPlatformInfo().setNumber("MSSQLAgent", "nAutoDiscoverSQLDatabaseTimeout", 0);
    FXNamedMutex other("Global\\jx_mssql_7_DatabaseAutoDiscover");
    auto_lock held(&other, true);
    EXPECT_TRUE(Discover());
    EXPECT_TRUE(Discovered().empty());
    EXPECT_EQ(EventCount(kEventAutoDiscoverFailed), 0);

    // The subclient-type form takes the mutex whatever the server type.
    CSQLClientDll client;
    EXPECT_TRUE(client.autoDiscover(1, kApp, SUBCLIENT_TYPE_1, filters, agCache));
    EXPECT_EQ(EventCount(kEventAutoDiscoverFailed), 1);
}

TEST_F(DatabaseAutoDiscoveryTest, MissingEntityOrUnreachableInstanceFails) {
    CSQLClientDll client;
    EXPECT_FALSE(client.autoDiscover(1, 999, filters, agCache));
    AppModel::Set("instance/7", "name", "node1/GONE");
    EXPECT_FALSE(Discover());
    EXPECT_TRUE(Discovered().empty());
}

TEST_F(DatabaseAutoDiscoveryTest, DatabasesOfPseudoClientGroupsAreLeftOut) {
    SqlSimAvailabilityGroupSpec ag1{"ag1", "guid-1"};
    SqlSimAvailabilityGroupSpec ag2{"ag2", "guid-2"};
    ASSERT_TRUE(instance.AddAvailabilityGroup(ag1).IsSuccess());
    ASSERT_TRUE(instance.AddAvailabilityGroup(ag2).IsSuccess());
    ASSERT_TRUE(instance.JoinAvailabilityGroup("ag1", "sales").IsSuccess());
    ASSERT_TRUE(instance.JoinAvailabilityGroup("ag2", "hr").IsSuccess());
    AppModel::Set("client/9", "agGuid", "guid-1");  // ag1 is a pseudo-client
    AddSubclient(101, "daily", 1, {"master", "model", "msdb"});
    ASSERT_TRUE(Discover());
    EXPECT_EQ(Discovered(), (std::vector<std::string>{"hr", "stock"}));
    EXPECT_EQ(agCache, (std::unordered_map<std::string, bool>{{"ag1", true}, {"ag2", false}}));
}

class AlwaysOnDiscoveryTest : public DatabaseAutoDiscoveryTest {
protected:
    void SetUp() override {
        DatabaseAutoDiscoveryTest::SetUp();
        SqlSimAvailabilityGroupSpec ag{"ag1", "guid-1"};
        ASSERT_TRUE(instance.AddAvailabilityGroup(ag).IsSuccess());
        for (const char* name : {"sales", "hr", "stock"}) {
            ASSERT_TRUE(instance.JoinAvailabilityGroup("ag1", name).IsSuccess());
        }
    }
    bool Discover(const std::string& group = "ag1") {
        CSQLClientDll client;
        return client.AutoDiscoverForAlwaysON(1, kApp, kInstanceName, group, filters);
    }
};

TEST_F(AlwaysOnDiscoveryTest, ReportsGroupDatabasesNotConfiguredIgnoringCase) {
    AddSubclient(101, "daily", 1, {"SALES"});
    AddSubclient(102, "Do Not Backup", 0, {"hr"});  // counts only with type 1 here
    ASSERT_TRUE(Discover());
    EXPECT_EQ(Discovered(), (std::vector<std::string>{"hr", "stock"}));
    auto stored = JxServeDiscoveredDatabases(kApp);
    int64_t hrId = 0;
    ASSERT_TRUE(instance.DatabaseId("hr", hrId).IsSuccess());
    EXPECT_EQ(stored[0].databaseId, static_cast<uint64_t>(hrId));
    EXPECT_EQ(stored[0].creationTime, 1600000000u);
}

TEST_F(AlwaysOnDiscoveryTest, UnknownGroupFailsAndRefusalRaisesEvent) {
    EXPECT_FALSE(Discover("nosuch"));
    JxServeRefuseAutoDiscovery(kApp);
    EXPECT_FALSE(Discover());
    std::vector<std::string> arguments;
    EXPECT_EQ(EventCount(kEventAutoDiscoverFailed, &arguments), 1);
    EXPECT_EQ(arguments, (std::vector<std::string>{"", kInstanceName, "node1"}));
}

}  // namespace
