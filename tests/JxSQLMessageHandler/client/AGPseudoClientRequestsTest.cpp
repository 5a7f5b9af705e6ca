// The pseudo-client test of availability groups and the explicit additions
// to an instance's default subclient.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "tests/JxSQLMessageHandler/client/DiscoveryFixture.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

class PseudoClientTest : public jxtest::DiscoveryTest {
protected:
    void SetUp() override {
        DiscoveryTest::SetUp();
        SqlSimAvailabilityGroupSpec ag1{"ag1", "guid-1"};
        ASSERT_TRUE(instance.AddAvailabilityGroup(ag1).IsSuccess());
    }
    bool IsPseudoClient(const std::string& group) {
        return client.isAGConfiguredAsPseudoClient(kInstanceName, group, dmo, cache);
    }

    CSQLClientDll client;
    CsqlDMO dmo;
    std::unordered_map<std::string, bool> cache;
};

TEST_F(PseudoClientTest, AnswerIsCachedPerGroup) {
    AppModel::Set("client/9", "agGuid", "guid-1");
    EXPECT_TRUE(IsPseudoClient("ag1"));
    AppModel::Set("client/9", "agGuid", "other");  // not asked again
    EXPECT_TRUE(IsPseudoClient("ag1"));
    EXPECT_EQ(cache, (std::unordered_map<std::string, bool>{{"ag1", true}}));
}

TEST_F(PseudoClientTest, UnansweredProcedureIsNotCachedAndAskedAgain) {
    AppModel::Set("client/9", "agGuid", "guid-1");
    AppModel::Set("domain", "storedProceduresUnavailable", "1");
    EXPECT_FALSE(IsPseudoClient("ag1"));
    EXPECT_TRUE(cache.empty());
    AppModel::Set("domain", "storedProceduresUnavailable", "0");
    EXPECT_TRUE(IsPseudoClient("ag1"));
}

TEST_F(PseudoClientTest, UnknownGroupIsCachedAsNotConfigured) {
    EXPECT_FALSE(IsPseudoClient("nosuch"));
    EXPECT_FALSE(IsPseudoClient("ag1"));
    EXPECT_EQ(cache, (std::unordered_map<std::string, bool>{{"nosuch", false}, {"ag1", false}}));
}

class DefaultSubclientAdditionTest : public jxtest::DiscoveryTest {
protected:
    std::vector<std::string> Added() const {
        std::vector<std::string> names;
        for (const JxServeDiscoveredDatabase& d : JxServeDiscoveredDatabases(kApp)) names.push_back(d.name);
        return names;
    }
    CSQLClientDll client;
};

TEST_F(DefaultSubclientAdditionTest, SendsTheReadableDatabasesInNameOrder) {
    ASSERT_TRUE(client.AddUnconfiguredDatabaseToDefaultSubClient(1, kApp, {"stock", "gone", "hr"}));
    EXPECT_EQ(Added(), (std::vector<std::string>{"hr", "stock"}));
    int64_t hrId = 0;
    ASSERT_TRUE(instance.DatabaseId("hr", hrId).IsSuccess());
    EXPECT_EQ(JxServeDiscoveredDatabases(kApp).front().databaseId, static_cast<uint64_t>(hrId));
    EXPECT_EQ(JxServeDiscoveredDatabases(kApp).front().creationTime, 1600000000u);
}

TEST_F(DefaultSubclientAdditionTest, EmptySetMakesNoRequest) {
    JxServeRefuseAutoDiscovery(kApp);
    EXPECT_TRUE(client.AddUnconfiguredDatabaseToDefaultSubClient(1, kApp, {}));
    EXPECT_EQ(EventCount(kEventAutoDiscoverFailed), 0);
}

TEST_F(DefaultSubclientAdditionTest, RefusalFailsWithEventAndMissingEntitiesFail) {
    JxServeRefuseAutoDiscovery(kApp);
    EXPECT_FALSE(client.AddUnconfiguredDatabaseToDefaultSubClient(1, kApp, {"hr"}));
    std::vector<std::string> arguments;
    EXPECT_EQ(EventCount(kEventAutoDiscoverFailed, &arguments), 1);
    EXPECT_EQ(arguments, (std::vector<std::string>{"", kInstanceName, ""}));
    EXPECT_FALSE(client.AddUnconfiguredDatabaseToDefaultSubClient(1, 999, {"hr"}));
}

}  // namespace
