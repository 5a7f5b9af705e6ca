#include "JxsqlAMO/CsqlAMO.h"

#include <gtest/gtest.h>

#include "JxsqlAMO/AmoSimInstance.h"
#include "WzUtils/FXString.h"
#include "tests/support/TestRoot.h"

namespace {

class CsqlAMOTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        AmoSimServerSpec desc;
        desc.name = "olap1/TABULAR";
        ASSERT_FALSE(server.Create(desc).IsError());
        ASSERT_FALSE(server.AddDatabase("Sales Cube", 1700000000).IsError());
        ASSERT_FALSE(server.AddDatabase("a'b]", 1700000001).IsError());
        ASSERT_FALSE(server.AddLogin("analyst", "pw").IsError());
        ASSERT_FALSE(server.AddRemotePartition({"Sales Cube", "Sales", "Orders", "Orders 2020", "olap2"}).IsError());
        ASSERT_FALSE(server.AddRemotePartition({"Sales Cube", "Sales", "Orders", "Orders 2021", "olap3"}).IsError());
        AmoSimServerSpec stopped;
        stopped.name = "olap1/OFF";
        stopped.running = false;
        AmoSimInstance off;
        ASSERT_FALSE(off.Create(stopped).IsError());
    }
    AmoSimInstance server;
    CsqlAMO amo;
};

TEST_F(CsqlAMOTest, ServerInfoListsTheInstancesOfOneHost) {
    std::list<AnalysisServerInfo_t2> servers;
    ASSERT_TRUE(amo.getAnalysisServerInfo("OLAP1", servers));
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers.front().name, "olap1/OFF");
    EXPECT_EQ(servers.front().state, "stopped");
    EXPECT_EQ(servers.back().name, "olap1/TABULAR");
    EXPECT_EQ(servers.back().state, "running");
    std::list<AnalysisServerInfo_t2> none;
    ASSERT_TRUE(amo.getAnalysisServerInfo("elsewhere", none));
    EXPECT_TRUE(none.empty());
}

TEST_F(CsqlAMOTest, DatabasesAndLoginsOfARunningInstance) {
    DatabaseInfo_11_t info;
    ASSERT_TRUE(amo.getDatabases("olap1/tabular", info));
    EXPECT_EQ(std::vector<std::string>(info.names.begin(), info.names.end()),
              (std::vector<std::string>{"Sales Cube", "a'b]"}));
    EXPECT_EQ(info.creationTimes.back(), 1700000001u);

    EXPECT_TRUE(amo.verifyUser("analyst", "pw", "olap1/TABULAR"));
    EXPECT_TRUE(amo.verifyUser("", "", "olap1/TABULAR"));
    EXPECT_FALSE(amo.verifyUser("analyst", "", "olap1/TABULAR"));
    EXPECT_FALSE(amo.verifyUser("analyst", "pw", "olap1/OFF"));
    EXPECT_NE(FXString::ToString(amo.getErrorString()).find("not running"), std::string::npos);
    DatabaseInfo_11_t missing;
    EXPECT_FALSE(amo.getDatabases("olap1/none", missing));
    EXPECT_TRUE(missing.names.empty());
}

TEST_F(CsqlAMOTest, RemotePartitionsOfOneDatabase) {
    std::list<AnalysisRemotePartitionInfo> partitions;
    ASSERT_TRUE(amo.getRemotePartitionInfo(L"sales cube", L"olap1/TABULAR", partitions));
    ASSERT_EQ(partitions.size(), 2u);
    EXPECT_EQ(partitions.front().partition, "Orders 2020");
    EXPECT_EQ(partitions.back().remoteServer, "olap3");

    std::list<AnalysisRemotePartitionInfo> none;
    ASSERT_TRUE(amo.getRemotePartitionInfo(L"a'b]", L"olap1/TABULAR", none));
    EXPECT_TRUE(none.empty());
    EXPECT_FALSE(amo.getRemotePartitionInfo(L"nothere", L"olap1/TABULAR", none));
    EXPECT_FALSE(amo.getRemotePartitionInfo(L"Sales Cube", L"olap9", none));
}

}  // namespace
