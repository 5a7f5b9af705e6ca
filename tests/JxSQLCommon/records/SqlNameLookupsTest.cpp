#include <gtest/gtest.h>

#include <string>

#include "JXAppMgr/AppModel.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SqlNameLookups.h"
#include "WzUtils/FXErrorUtil.h"
#include "tests/support/TestRoot.h"

using jxtest::RootedTest;

class SqlNameLookupsTest : public RootedTest {};

TEST_F(SqlNameLookupsTest, MachineNameComesFromThePhysicalNodeSetting) {
    JXPlatformInfo().setString("", "sPhysicalNodeName", "node7");
    EXPECT_EQ(GetCurrentMachineName(), "node7");
}

TEST_F(SqlNameLookupsTest, MissingMachineNameGivesEmptyTextAndAnErrorLine) {
    EXPECT_EQ(GetCurrentMachineName(), "");
    EXPECT_NE(jxtest::ReadWholeFile(EvDebug::LogFilePath()).find("Failed to get physical node name with last error [2]."),
              std::string::npos);
}

TEST_F(SqlNameLookupsTest, EveryInstanceUsesTheDefaultPort) {
    std::string port;
    EXPECT_TRUE(GetDefaultSQLInstancePortNo("host/INST1", port));
    EXPECT_EQ(port, "1433");
}

TEST_F(SqlNameLookupsTest, InstanceNamesComeFromTheApplicationModel) {
    AppModel::Set("instance/7", "name", "node1/INST");
    std::string name;
    ASSERT_FALSE(GetSQLPmnInstanceName(7, name).IsError());
    EXPECT_EQ(name, "node1/INST");

    CWzError err = GetSQLPmnInstanceName(0, name);
    EXPECT_EQ(FXErrorUtil::GetJXResult(err), 1991);
    EXPECT_EQ(err.GetMessage(), "Instance ID is invalid.");

    AppModel::Set("instance/8", "clientId", "2");  // an instance without a name
    std::string unnamed;
    err = GetSQLPmnInstanceName(8, unnamed);
    EXPECT_EQ(FXErrorUtil::GetJXResult(err), 1992);
    EXPECT_NE(err.GetMessage().find("Invlid instance name with error code ["), std::string::npos);

    std::string stale = "old name";
    EXPECT_EQ(FXErrorUtil::GetJXResult(GetSQLPmnInstanceName(9, stale)), 1992);  // unknown instance
}

TEST_F(SqlNameLookupsTest, ClientIdsAreLookedUpByNameAndZeroWhenUnknown) {
    AppModel::Set("client/2", "name", "node1");
    EXPECT_EQ(GetClientId("node1"), 2u);
    EXPECT_EQ(GetClientId("node9"), 0u);
    EXPECT_NE(jxtest::ReadWholeFile(EvDebug::LogFilePath()).find("Failed to fetch client ID for client [node9] with error ["),
              std::string::npos);
}
