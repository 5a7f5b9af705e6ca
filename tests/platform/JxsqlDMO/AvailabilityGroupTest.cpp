#include <gtest/gtest.h>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimDescription.h"
#include "Messages/XMLDecoder.h"
#include "tests/support/TestRoot.h"

namespace {

class AvailabilityGroupTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        ASSERT_FALSE(SqlSimApplyDescription(R"(
instance node1/sql
database sales created=1700000000
database "a'b]"
database local
ag AG1 guid=11111111-2222-3333-4444-555555555555 preference=secondary_only
replica AG1 node1/sql role=primary priority=60
replica AG1 node2/sql role=secondary mode=asynchronous_commit failover=manual
agdatabase AG1 sales
agdatabase AG1 "a'b]" sync=synchronizing
ag "AG'2"
instance node3
)")
                         .IsError());
    }
    std::unique_ptr<CNMessageBase> Decode(const std::string& xml, int module, int message) {
        CWzError err;
        std::unique_ptr<CNMessageBase> m = XMLDecoder::decode(xml, &err);
        EXPECT_NE(m, nullptr) << err.AsString() << "\n" << xml;
        if (m) {
            EXPECT_EQ(m->getModule(), module);
            EXPECT_EQ(m->getMessage(), message);
        }
        return m;
    }
    CsqlDMO dmo;
};

TEST_F(AvailabilityGroupTest, GroupListNamesEveryGroupWithTheLocalRole) {
    std::string xml;
    ASSERT_TRUE(dmo.GetAvailabilityGroups(L"node1/sql", xml));
    auto groups = Decode(xml, 30, 145);
    ASSERT_TRUE(groups);
    std::vector<CNMessageBase> list = groups->getlistobject(1, 1);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].getstring(5, 2), "AG'2");
    EXPECT_EQ(list[0].getstring(7, 7), "");  // this instance is no replica of it
    EXPECT_EQ(list[1].getstring(5, 2), "AG1");
    EXPECT_EQ(list[1].getstring(1, 1), "11111111-2222-3333-4444-555555555555");
    EXPECT_EQ(list[1].getstring(6, 6), "SECONDARY_ONLY");
    EXPECT_EQ(list[1].getstring(7, 7), "PRIMARY");
    EXPECT_FALSE(list[1].isSet(8, 8));

    ASSERT_TRUE(dmo.GetAvailabilityGroups(L"node3", xml));
    auto none = Decode(xml, 30, 145);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->getlistobject(1, 1).empty());
    EXPECT_FALSE(dmo.GetAvailabilityGroups(L"node9", xml));
    EXPECT_TRUE(xml.empty());
}

TEST_F(AvailabilityGroupTest, OneGroupAndItsReplicas) {
    std::string xml;
    ASSERT_TRUE(dmo.GetAG(L"node1/sql", "ag1", xml));
    auto group = Decode(xml, 30, 144);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->getstring(5, 2), "AG1");
    EXPECT_FALSE(dmo.GetAG(L"node1/sql", "", xml));
    EXPECT_TRUE(xml.empty());
    EXPECT_FALSE(dmo.GetAG(L"node1/sql", "AG1' OR '1'='1", xml));

    ASSERT_TRUE(dmo.GetAvailabilityGroupReplicas(L"node1/sql", "AG1", xml));
    auto withReplicas = Decode(xml, 30, 144);
    ASSERT_TRUE(withReplicas);
    std::vector<CNMessageBase> replicas = withReplicas->getlistobject(8, 8);
    ASSERT_EQ(replicas.size(), 2u);
    EXPECT_EQ(replicas[0].getstring(1, 1), "node1/sql");
    EXPECT_EQ(replicas[0].getstring(2, 2), "PRIMARY");
    EXPECT_EQ(replicas[0].getint64(5, 5), 60);
    EXPECT_EQ(replicas[1].getstring(1, 1), "node2/sql");
    EXPECT_EQ(replicas[1].getstring(3, 3), "ASYNCHRONOUS_COMMIT");
    EXPECT_EQ(replicas[1].getstring(4, 4), "MANUAL");
    EXPECT_EQ(replicas[1].getstring(6, 6), "TCP://node2:5022");
}

TEST_F(AvailabilityGroupTest, DatabasesOfAGroupOnThisInstance) {
    std::string xml;
    ASSERT_TRUE(dmo.GetAvailabilityDatabases(L"node1/sql", "AG1", xml));
    auto databases = Decode(xml, 30, 693);
    ASSERT_TRUE(databases);
    std::vector<CNMessageBase> list = databases->getlistobject(1, 1);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].getstring(1, 1), "sales");
    EXPECT_EQ(list[0].getint64(5, 5), 1700000000);
    EXPECT_EQ(list[0].getint64(6, 6), 5);
    EXPECT_EQ(list[1].getstring(1, 1), "a'b]");
    EXPECT_EQ(list[1].getstring(7, 7), "SYNCHRONIZING");

    ASSERT_TRUE(dmo.GetAvailabilityDatabases(L"node1/sql", "AG'2", xml));
    auto empty = Decode(xml, 30, 693);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->getlistobject(1, 1).empty());
    EXPECT_FALSE(dmo.GetAvailabilityDatabases(L"node1/sql", "nope", xml));
    EXPECT_FALSE(dmo.GetAvailabilityDatabases(L"", "AG1", xml));
}

}  // namespace
